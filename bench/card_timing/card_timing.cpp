// card_timing: times synthesizer frames and RDS byte writes (with the wait the
// program makes between bytes) on the virtual card, against the I2C and memory limits.
#include "CardCommands.h"
#include "PCICard.h"
#include "VirtualCard.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <numeric>
#include <vector>

namespace {

constexpr int Frames = 200;
constexpr int TimedPauses = 2000;
constexpr int TimedWrites = 2000;
constexpr int RdsBytes = 83;
constexpr double PhaseLimit = 4.7;               // us: the longest standard-mode minimum
constexpr double FramePauses = 221;
constexpr double RdsPauses = 178;
constexpr double RdsWriteCycle = 5000;           // us
constexpr double FrameGoal = 1.15;
constexpr double RdsGoal = 1.2;
constexpr uint32_t FirstFrequency = 87500;       // kHz
constexpr uint32_t FrequencyStep = 100;
constexpr uint32_t BandWidth = 20600;
constexpr uint8_t Power = 10;
constexpr int AddressShift = 8;
constexpr int AddressMask = 255;

using TClock = std::chrono::steady_clock;

double Microseconds(TClock::duration duration)
{
    return std::chrono::duration<double, std::micro>(duration).count();
}

} // namespace

int main()
{
    TVirtualCard virtualCard;
    virtualCard.KeepCalls(true);
    UseDriverDevice(&virtualCard);
    TSondelCard card;
    if (!card.OpenCard()) {
        std::printf("open failed: %s\n", card.LastError.c_str());
        return 1;
    }
    card.TransmitterOn();

    std::vector<double> frameTimes;
    const uint64_t pausesBefore = BusPauseCount();
    const size_t callsBefore = virtualCard.Calls().size();
    for (int i = 0; i < Frames; ++i) {
        const uint32_t frequency = FirstFrequency + (FrequencyStep * static_cast<uint32_t>(i)) % BandWidth;
        const auto start = TClock::now();
        card.SetFrequency(frequency, Power);
        frameTimes.push_back(Microseconds(TClock::now() - start));
    }
    const uint64_t framePauses = (BusPauseCount() - pausesBefore) / Frames;
    const size_t frameWrites = (virtualCard.Calls().size() - callsBefore) / Frames;
    const uint32_t frameViolations = virtualCard.TimingViolations();
    const double frameLimit = FramePauses * PhaseLimit;
    const double mean = std::accumulate(frameTimes.begin(), frameTimes.end(), 0.0) / Frames;
    std::sort(frameTimes.begin(), frameTimes.end());
    const double median = frameTimes[Frames / 2];
    const double worst = frameTimes.back();

    const auto pausesStart = TClock::now();
    for (int i = 0; i < TimedPauses; ++i)
        BusPause();
    const double pause = Microseconds(TClock::now() - pausesStart) / TimedPauses;
    // Rewriting the data register as it stands changes no line on the bus.
    const auto writesStart = TClock::now();
    for (int i = 0; i < TimedWrites; ++i)
        WriteRegister(DataRegister, static_cast<uint8_t>(PinImage));
    const double write = Microseconds(TClock::now() - writesStart) / TimedWrites;

    const auto rdsStart = TClock::now();
    for (int address = 0; address < RdsBytes; ++address) {
        WriteRdsByte(static_cast<uint8_t>(address >> AddressShift), static_cast<uint8_t>(address & AddressMask),
                     static_cast<uint8_t>('A' + address % 26));
        WaitForRdsMemory();
    }
    const double rdsTime = Microseconds(TClock::now() - rdsStart);
    const double rdsLimit = RdsBytes * (RdsPauses * PhaseLimit + RdsWriteCycle);
    const uint32_t violations = virtualCard.TimingViolations();

    card.TransmitterOff();
    card.CloseCard();
    UseDriverDevice(nullptr);

    const double frameRatio = mean / frameLimit;
    const double rdsRatio = rdsTime / rdsLimit;
    std::printf("card_timing (%s build) on the virtual card, no trace file\n",
                sizeof(void*) == 8 ? "x86_64" : "i686");
    std::printf("synthesizer frames: %d, bus pause at least %.1f us\n", Frames, BusPauseMicroseconds);
    std::printf("  mean %.1f us, median %.1f us, worst %.1f us; limit 221 x 4.7 us = %.1f us\n", mean, median, worst,
                frameLimit);
    std::printf("  ratio: mean %.3f, median %.3f, worst %.3f (goal: at most %.2f)\n", frameRatio,
                median / frameLimit, worst / frameLimit, FrameGoal);
    std::printf("  each: %llu pauses (measured alone: %.2f us each) and %zu register writes (%.2f us each)\n",
                static_cast<unsigned long long>(framePauses), pause, frameWrites, write);
    std::printf("  timing violations: %u\n", frameViolations);
    std::printf("RDS bytes: %d, each followed by the memory's wait of %.0f us\n", RdsBytes,
                RdsMemoryWriteMicroseconds + RdsMemoryMarginMicroseconds);
    std::printf("  total %.1f ms; limit 83 x (178 x 4.7 us + 5 ms) = %.1f ms\n", rdsTime / 1000, rdsLimit / 1000);
    std::printf("  ratio %.3f (goal: at most %.1f)\n", rdsRatio, RdsGoal);
    std::printf("  lost writes: %u, timing violations: %u\n", virtualCard.LostWrites(), violations - frameViolations);

    const bool met = frameRatio <= FrameGoal && violations == 0 && rdsRatio <= RdsGoal && virtualCard.LostWrites() == 0;
    std::printf("%s\n", met ? "goals met" : "goals NOT met");
    return met ? 0 : 1;
}
