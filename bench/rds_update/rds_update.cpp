// rds_update: the time of one "Update RDS" of the started main window on the virtual
// card (83 bytes, each with the memory's wait) against 83 x (178 x 4.7 us + 5 ms),
// and the bytes the memory lost (LOST lines of the trace).
#include "AppBench.h"

#include "CardCommands.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr int Updates = 5;
constexpr size_t ImageBytes = 83;
constexpr double PhaseLimit = 4.7;        // us: the longest standard-mode minimum
constexpr double PausesPerByte = 178;
constexpr double WriteCycle = 5000;       // us: the memory's write cycle
constexpr double Goal = 1.2;

}  // namespace

int main() {
    TSeededRegistry registry;
    TBenchCard bench;
    TBenchWindow window(bench);
    window.Start();
    if (!bench.Reports.empty()) {
        std::printf("start reported: %s\n", bench.Reports[0].c_str());
        return 1;
    }
    TfoMain& form = window.Form();
    std::vector<double> times;
    size_t written = 0;
    size_t lost = 0;
    for (int i = 0; i < Updates; ++i) {
        bench.Card.Trace().ClearEvents();
        const auto start = TBenchClock::now();
        form.Button1Click(&form);
        times.push_back(Microseconds(TBenchClock::now() - start));
        written += CountEvents(bench.Card, "RDS ");
        lost += CountEvents(bench.Card, "LOST ");
    }

    const double limit = ImageBytes * (PausesPerByte * PhaseLimit + WriteCycle);
    const double median = Median(times);
    const double worst = *std::max_element(times.begin(), times.end());
    const double ratio = median / limit;
    const bool complete = written == ImageBytes * Updates && bench.Reports.empty();
    const bool met = ratio <= Goal && lost == 0 && complete;
    std::printf("rds_update (%s build) on the virtual card: \"Update RDS\" of the started window, median of %d\n",
                BuildName(), Updates);
    std::printf("  update %.1f ms (fastest %.1f ms, slowest %.1f ms)\n", median / 1000,
                *std::min_element(times.begin(), times.end()) / 1000, worst / 1000);
    std::printf("  limit 83 x (178 x 4.7 us + 5 ms) = %.1f ms; the program waits %.0f us after each byte\n",
                limit / 1000, RdsMemoryWriteMicroseconds + RdsMemoryMarginMicroseconds);
    std::printf("  ratio %.3f (slowest %.3f); goal: at most %.1f and 0 lost bytes\n", ratio, worst / limit, Goal);
    std::printf("  bytes written %zu of %zu, lost bytes (LOST lines) %zu, error reports %zu\n", written,
                ImageBytes * Updates, lost, bench.Reports.size());
    std::printf("%s\n", met ? "goal met" : "goal NOT met");
    return met ? 0 : 1;
}
