// scroll_text: the scroll text as the main window has it (113 x 25, lime on black, 10-pixel
// edges, right to left, threaded, every 25 ms): the time one tick takes on screen, and the
// process's CPU time as a share of the elapsed time over a 10-second run.
#include "Application.h"
#include "Form.h"
#include "VrScrollText.h"

#include <windows.h>

#include <chrono>
#include <cstdio>

namespace {

constexpr int Ticks = 10000;
constexpr double RunSeconds = 10;
constexpr int Interval = 25;                      // ms
constexpr double TickGoal = 0.3;                  // ms
constexpr double CpuGoal = 1.0;                   // % of the elapsed time
constexpr double FileTimeUnitsPerSecond = 1e7;    // 100 ns units
constexpr const char* Notice =
    "(c) 2004 Dravik Electronics Ltd. - visit our web site for support, program updates "
    "and the latest information";

using TClock = std::chrono::steady_clock;

double Seconds(TClock::duration duration) { return std::chrono::duration<double>(duration).count(); }

double ProcessCpuSeconds() {
    FILETIME creation, exit, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &creation, &exit, &kernel, &user);
    auto value = [](const FILETIME& time) {
        return (static_cast<unsigned long long>(time.dwHighDateTime) << 32 | time.dwLowDateTime) /
               FileTimeUnitsPerSecond;
    };
    return value(kernel) + value(user);
}

} // namespace

int main() {
    TForm* form = nullptr;
    Application->CreateForm(form);
    form->SetClientSize(386, 316);
    form->SetColor(clBlack);
    auto* text = new TVrScrollText(form);
    text->SetParent(form);
    text->SetBounds(232, 98, 113, 25);
    text->SetParentColor(false);
    text->SetColor(clBlack);
    text->SetParentFont(false);
    text->Font().SetName("Orbit-B BT");
    text->Font().SetHeight(-16);
    text->Font().SetColor(clLime);
    text->SetEdgeWidth(10);
    text->SetScrollDirection(TScrollDirection::sdRightToLeft);
    text->SetThreaded(true);
    text->SetInterval(Interval);
    text->SetCaption(Notice);
    form->Show();
    Application->ProcessMessages();

    const TClock::time_point tickStart = TClock::now();
    for (int i = 0; i < Ticks; ++i) text->ScrollTick();
    const double tickMs = Seconds(TClock::now() - tickStart) * 1000 / Ticks;

    int moves = 0;
    int last = text->ScrollOffset();
    text->SetActive(true);
    const double cpuStart = ProcessCpuSeconds();
    const TClock::time_point runStart = TClock::now();
    // The program's own loop: wait for a message, handle it (each tick arrives as one).
    while (Seconds(TClock::now() - runStart) < RunSeconds) {
        Application->HandleMessage();
        if (text->ScrollOffset() != last) {
            ++moves;
            last = text->ScrollOffset();
        }
    }
    const double elapsed = Seconds(TClock::now() - runStart);
    const double cpuShare = (ProcessCpuSeconds() - cpuStart) / elapsed * 100;
    text->SetActive(false);

    std::printf("scroll text tick: %.4f ms per tick over %d ticks (goal under %.1f ms: %s)\n", tickMs, Ticks, TickGoal,
                tickMs < TickGoal ? "met" : "missed");
    std::printf("scroll text run: %d ticks in %.1f s (%.1f ms apart), CPU %.2f %% of the elapsed time "
                "(goal under %.0f %%: %s)\n",
                moves, elapsed, moves ? elapsed * 1000 / moves : 0.0, cpuShare, CpuGoal, cpuShare < CpuGoal ? "met" : "missed");
    return 0;
}
