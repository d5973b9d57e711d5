// matrix_paint: repaints a ten-cell LED matrix on a shown form many times and prints the
// time per paint; then scrolls it at 25 ms for ten seconds from each tick source and prints the CPU share.
#include "Application.h"
#include "Form.h"
#include "VrMatrix.h"

#include <windows.h>

#include <chrono>
#include <cstdio>

namespace {

constexpr int Paints = 10000;
constexpr int WarmUpPaints = 100;
constexpr int Leds = 10;
constexpr int ScrollInterval = 25;              // ms, as the main window's scroll text
constexpr auto ScrollRun = std::chrono::seconds(10);
constexpr double PaintGoal = 0.3;               // ms a paint
constexpr double CpuGoal = 1.0;                 // % of the elapsed time
constexpr double HundredNanosecondsPerSecond = 1e7;
constexpr double Percent = 100;

using TClock = std::chrono::steady_clock;

// User and kernel time of the whole process, in seconds.
double ProcessCpuSeconds()
{
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto seconds = [](const FILETIME& time) {
        ULARGE_INTEGER value;
        value.LowPart = time.dwLowDateTime;
        value.HighPart = time.dwHighDateTime;
        return static_cast<double>(value.QuadPart) / HundredNanosecondsPerSecond;
    };
    return seconds(kernel) + seconds(user);
}

double Seconds(TClock::duration duration)
{
    return std::chrono::duration<double>(duration).count();
}

} // namespace

int main()
{
    TForm form(nullptr);
    form.SetClientSize(200, 60);
    auto* matrix = new TVrMatrix(&form);
    matrix->SetParent(&form);
    matrix->SetLeds(Leds);
    matrix->SetText("100.000MHz");
    form.Show();
    Application->ProcessMessages();

    for (int i = 0; i < WarmUpPaints; ++i)
        matrix->Repaint();
    TClock::time_point start = TClock::now();
    for (int i = 0; i < Paints; ++i)
        matrix->Repaint();
    double paintMs = Seconds(TClock::now() - start) * 1000 / Paints;
    std::printf("paint: %d paints of a %d-cell matrix (%d x %d), %.4f ms a paint (goal %.1f ms): %.2f of the goal\n",
                Paints, Leds, matrix->Width(), matrix->Height(), paintMs, PaintGoal, paintMs / PaintGoal);

    matrix->SetText("SONDEL 2005 RDS 100.000MHz");
    matrix->SetTimeInterval(ScrollInterval);
    for (bool threaded : {true, false}) {
        int passes = 0;
        matrix->OnScrollDone = [&passes](TObject*) { ++passes; };
        matrix->SetThreaded(threaded);
        double cpuBefore = ProcessCpuSeconds();
        start = TClock::now();
        matrix->SetAutoScroll(true);
        while (TClock::now() - start < ScrollRun)
            Application->HandleMessage();
        matrix->SetAutoScroll(false);
        double elapsed = Seconds(TClock::now() - start);
        double cpuShare = (ProcessCpuSeconds() - cpuBefore) / elapsed * Percent;
        std::printf("scroll (%s ticks): %.1f s at %d ms a step (%d passes), CPU %.2f %% of the elapsed time "
                    "(goal %.1f %%): %.2f of the goal\n",
                    threaded ? "worker thread" : "window-message timer", elapsed, ScrollInterval, passes, cpuShare,
                    CpuGoal, cpuShare / CpuGoal);
    }
    return 0;
}
