// app_timing: on the virtual card with a seeded registry, (a) the main window's start
// (created, FormCreate, FormActivate's restore) against the card commands of the start
// timed alone, and (b) one step-button click, from the mouse messages (sent to the form's
// window at the button's middle, as the platform delivers them) to the
// last register write of its synthesizer frame, against one bare SetFrequency.
#include "AppBench.h"

#include "Application.h"
#include "PCICard.h"
#include "VrNavigator.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int Starts = 11;
constexpr int Clicks = 51;
constexpr int BareCommands = 51;
// Paints and other work left by a click are done before the next one.
constexpr int SettleMilliseconds = 20;
// The restore with power on: the Power LED's handler (carrier on, tune), the power-on
// step (carrier on, tune), the power level's track bar (tune), then stereo.
constexpr size_t RestoreFrames = 5;
constexpr uint32_t StepKHz = 100;

struct TCommandTimes {
    std::vector<double> Open, Restore;
};

// The card commands of the start on a fresh card, in the restore's order, without the window.
void TimeStartCommands(TCommandTimes& times) {
    TBenchCard bench;
    TSondelCard card;
    auto start = TBenchClock::now();
    card.OpenCard();
    times.Open.push_back(Microseconds(TBenchClock::now() - start));
    start = TBenchClock::now();
    card.TransmitterOn();
    card.SetFrequency(SeededFrequency, SeededPower);
    card.TransmitterOn();
    card.SetFrequency(SeededFrequency, SeededPower);
    card.SetFrequency(SeededFrequency, SeededPower);
    card.SetStereo();
    times.Restore.push_back(Microseconds(TBenchClock::now() - start));
    card.CloseCard();
}

// Returns false (with the reason printed) when a start did not run the full tune path.
bool TimeStart(std::vector<double>& times) {
    TBenchCard bench;
    TBenchWindow window(bench);
    const auto start = TBenchClock::now();
    window.Start();
    times.push_back(Microseconds(TBenchClock::now() - start));
    const size_t frames = CountEvents(bench.Card, "SYNTH");
    if (!bench.Reports.empty() || frames != RestoreFrames || CountEvents(bench.Card, "STEREO on") != 1) {
        std::printf("start did not restore as seeded: %zu frames, %zu reports%s%s\n", frames, bench.Reports.size(),
                    bench.Reports.empty() ? "" : ", first: ", bench.Reports.empty() ? "" : bench.Reports[0].c_str());
        return false;
    }
    return true;
}

// Clicks "Increase by 100KHz" Clicks times; false when a click did not send exactly one frame.
bool TimeClicks(std::vector<double>& times) {
    TBenchCard bench;
    TBenchWindow window(bench);
    window.Start();
    TfoMain& form = window.Form();
    form.Show();
    Testing::PumpMessages(SettleMilliseconds);
    const TPoint middle{form.VrMediaButton2->Width() / 2, form.VrMediaButton2->Height() / 2};
    uint32_t expected = SeededFrequency;
    for (int i = 0; i < Clicks; ++i) {
        bench.Card.Trace().ClearEvents();
        expected += StepKHz;
        const auto start = TBenchClock::now();
        Testing::MouseDown(form.VrMediaButton2, middle.X, middle.Y);
        Testing::MouseUp(form.VrMediaButton2, middle.X, middle.Y);
        Application->ProcessMessages();
        const std::string frame = "SYNTH " + std::to_string(expected) + " " + std::to_string(SeededPower);
        if (CountEvents(bench.Card, "SYNTH") != 1 || CountEvents(bench.Card, frame) != 1 || !bench.Reports.empty()) {
            std::printf("click %d did not send \"%s\" alone\n", i + 1, frame.c_str());
            return false;
        }
        times.push_back(Microseconds(bench.Device.LastCall() - start));
        Testing::PumpMessages(SettleMilliseconds);
    }
    return true;
}

std::vector<double> TimeBareFrequencies() {
    TBenchCard bench;
    TSondelCard card;
    card.OpenCard();
    card.TransmitterOn();
    std::vector<double> times;
    for (int i = 0; i < BareCommands; ++i) {
        const uint32_t frequency = SeededFrequency + StepKHz * static_cast<uint32_t>(i + 1);
        const auto start = TBenchClock::now();
        card.SetFrequency(frequency, SeededPower);
        times.push_back(Microseconds(TBenchClock::now() - start));
    }
    card.CloseCard();
    return times;
}

}  // namespace

int main() {
    TSeededRegistry registry;
    TCommandTimes commands;
    std::vector<double> starts;
    // Alternating keeps both figures under the same load of the machine.
    for (int i = 0; i < Starts; ++i) {
        if (!TimeStart(starts)) return 1;
        TimeStartCommands(commands);
    }
    std::vector<double> clicks;
    if (!TimeClicks(clicks)) return 1;
    const std::vector<double> bare = TimeBareFrequencies();

    const double start = Median(starts);
    const double open = Median(commands.Open);
    const double restoreCommands = Median(commands.Restore);
    const double click = Median(clicks);
    const double setFrequency = Median(bare);

    std::printf("app_timing (%s build) on the virtual card, seeded registry (power on, stereo)\n", BuildName());
    std::printf("start: TfoMain created, FormCreate, FormActivate's restore; median of %d\n", Starts);
    std::printf("  start %.1f ms (fastest %.1f ms, slowest %.1f ms)\n", start / 1000,
                *std::min_element(starts.begin(), starts.end()) / 1000,
                *std::max_element(starts.begin(), starts.end()) / 1000);
    std::printf("  card commands alone (medians): OpenCard %.1f us; the restore's TransmitterOn, SetFrequency,\n"
                "  TransmitterOn, SetFrequency, SetFrequency, SetStereo %.1f us\n", open, restoreCommands);
    std::printf("  restore's commands %.1f us: ratio %.1f; with OpenCard %.1f us: ratio %.1f\n", restoreCommands,
                start / restoreCommands, open + restoreCommands, start / (open + restoreCommands));
    std::printf("step click (\"Increase by 100KHz\"): mouse messages to the last register write; median of %d\n",
                Clicks);
    std::printf("  click %.1f us (fastest %.1f us, slowest %.1f us)\n", click,
                *std::min_element(clicks.begin(), clicks.end()), *std::max_element(clicks.begin(), clicks.end()));
    std::printf("  bare SetFrequency %.1f us (median of %d): ratio %.2f\n", setFrequency, BareCommands,
                click / setFrequency);
    return 0;
}
