// The main window's benches: a scratch registry seeded with every setting, the
// virtual card behind a device that stamps its last transfer, and a window started as the program does.
#pragma once

#include "Testing.h"
#include "VirtualCard.h"
#include "WinDrvr.h"
#include "unMain.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

using TBenchClock = std::chrono::steady_clock;

double Microseconds(TBenchClock::duration duration);
double Median(std::vector<double> values);
const char* BuildName();
// The trace events that start with Kind.
size_t CountEvents(TVirtualCard& card, const std::string& kind);

// HKEY_LOCAL_MACHINE mapped onto a scratch key for the object's life, with all
// seventeen settings present and valid (the transmitter powered on, stereo).
class TSeededRegistry {
public:
    TSeededRegistry();

private:
    Testing::TRegistryOverride override_;
};

// The seeded values the restore tunes to.
constexpr uint32_t SeededFrequency = 98500;   // kHz
constexpr uint8_t SeededPower = 12;

// Forwards every driver call to the virtual card and notes when the last one ended.
class TStampedDevice : public TDriverDevice {
public:
    explicit TStampedDevice(TDriverDevice& inner) : inner_(inner) {}
    HANDLE Open() override { return inner_.Open(); }
    void Close(HANDLE device) override { inner_.Close(device); }
    uint32_t Call(HANDLE device, uint32_t code, void* record, uint32_t length) override;
    TBenchClock::time_point LastCall() const { return lastCall_; }

private:
    TDriverDevice& inner_;
    TBenchClock::time_point lastCall_{};
};

// A fresh virtual card (events kept in memory, no trace file) in use for the
// object's life, the card command module started afresh, error reports and
// message boxes recorded instead of shown.
class TBenchCard {
public:
    TBenchCard();
    ~TBenchCard();
    TBenchCard(const TBenchCard&) = delete;
    TBenchCard& operator=(const TBenchCard&) = delete;

    TVirtualCard Card;
    TStampedDevice Device{Card};
    std::vector<std::string> Reports;
};

// The main window on a bench card: created, FormCreate, FormActivate (the restore), closed at the end.
class TBenchWindow {
public:
    explicit TBenchWindow(TBenchCard& card) : card_(card) {}
    ~TBenchWindow();
    TBenchWindow(const TBenchWindow&) = delete;
    TBenchWindow& operator=(const TBenchWindow&) = delete;

    void Start();
    TfoMain& Form() { return *form_; }

private:
    TBenchCard& card_;
    std::unique_ptr<TfoMain> form_;
};
