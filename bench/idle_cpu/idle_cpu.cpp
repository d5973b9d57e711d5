// idle_cpu: sondel.exe on the virtual card, left alone for a while (20 s unless the
// first argument gives other seconds) in each of its idle states: the compact view, the
// options view with the notice scrolling, and minimised to the tray. Prints the
// process's CPU time (user and kernel) over each as a share of one core's wall time.
#include "RunningProgram.h"

#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>

namespace {

constexpr int DefaultSeconds = 20;
constexpr int MaxSeconds = 600;
constexpr char MainClass[] = "TfoMain";
// The arrow's middle in the window's client area.
constexpr POINT Arrow{216, 20};
constexpr LONG OptionsWidth = 392;
// What starting, a view change or hiding leaves to do is done before a measurement.
constexpr DWORD SettleMilliseconds = 1000;
constexpr DWORD HideTimeoutMilliseconds = 5000;
constexpr DWORD PollMilliseconds = 20;
constexpr double HundredNanosecondsPerSecond = 1e7;
constexpr double Percent = 100.0;

double Seconds(const FILETIME& time) {
    return (static_cast<unsigned long long>(time.dwHighDateTime) << 32 | time.dwLowDateTime) /
           HundredNanosecondsPerSecond;
}

// The process's user plus kernel time in seconds, summed over the threads it has now:
// Wine keeps no true total for another process (its figure misses most threads), only
// each thread's. No thread of the program ends while it idles, so nothing is lost.
double CpuSeconds(DWORD processId) {
    const HANDLE list = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (list == INVALID_HANDLE_VALUE) throw std::runtime_error("Cannot list the threads");
    TProcessHandle snapshot;
    snapshot.Reset(list);
    double total = 0;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot.Get(), &entry); more; more = Thread32Next(snapshot.Get(), &entry)) {
        if (entry.th32OwnerProcessID != processId) continue;
        TProcessHandle thread;
        thread.Reset(OpenThread(THREAD_QUERY_INFORMATION, FALSE, entry.th32ThreadID));
        FILETIME created, ended, kernel, user;
        if (thread.Get() && GetThreadTimes(thread.Get(), &created, &ended, &kernel, &user))
            total += Seconds(kernel) + Seconds(user);
    }
    return total;
}

double WallSeconds() {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// The program's CPU share of one core, in percent, over Seconds of being left alone.
double IdleShare(DWORD processId, int seconds) {
    Sleep(SettleMilliseconds);
    const double cpuBefore = CpuSeconds(processId);
    const double wallBefore = WallSeconds();
    Sleep(static_cast<DWORD>(seconds) * 1000);
    return Percent * (CpuSeconds(processId) - cpuBefore) / (WallSeconds() - wallBefore);
}

bool WaitUntilHidden(const TRunningProgram& program) {
    for (DWORD waited = 0; waited < HideTimeoutMilliseconds; waited += PollMilliseconds) {
        if (!program.Visible()) return true;
        Sleep(PollMilliseconds);
    }
    return !program.Visible();
}

int Run(int seconds) {
    // A clean first start: the program seeds its settings from its design state.
    ProgramRegistry::ClearSettings();
    TRunningProgram program(SONDEL_EXE, MainClass, BENCH_FOLDER "/idle_cpu.trace.txt");
    std::printf("sondel.exe on the virtual card, CPU time as a share of one core over %d s each:\n", seconds);
    const double compact = IdleShare(program.ProcessId(), seconds);
    std::printf("  compact view                      %6.3f %%   (goal: at most 0.1 %%)\n", compact);

    program.ClickAt(Arrow.x, Arrow.y);
    if (program.OuterSize().cx != OptionsWidth) throw std::runtime_error("The arrow did not open the options view");
    const double options = IdleShare(program.ProcessId(), seconds);
    std::printf("  options view, notice scrolling    %6.3f %%   (goal: under 2 %%)\n", options);

    program.Send(WM_SYSCOMMAND, SC_MINIMIZE);
    if (!WaitUntilHidden(program)) throw std::runtime_error("Minimising did not hide the window in the tray");
    const double tray = IdleShare(program.ProcessId(), seconds);
    std::printf("  minimised to the tray             %6.3f %%   (goal: at most 0.1 %%)\n", tray);

    program.Close();
    ProgramRegistry::ClearSettings();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    int seconds = argc > 1 ? std::atoi(argv[1]) : DefaultSeconds;
    if (seconds < 1 || seconds > MaxSeconds) seconds = DefaultSeconds;
    try {
        return Run(seconds);
    } catch (const std::exception& error) {
        std::printf("idle_cpu: %s\n", error.what());
        return 1;
    }
}
