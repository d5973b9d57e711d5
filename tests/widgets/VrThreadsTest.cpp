// The threaded timer: ticks on the window thread from both sources, switching
// while running, stopping inside a tick, failing handlers, and clean destruction.
#include "VrThreads.h"

#include "Application.h"
#include "SysUtils.h"

#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// Runs the window thread's messages and hand-overs for a while.
void Pump(int milliseconds)
{
    const Clock::time_point end = Clock::now() + std::chrono::milliseconds(milliseconds);
    while (Clock::now() < end) {
        Application->ProcessMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

struct TTickLog {
    int Ticks = 0;
    int OffWindowThread = 0;
    void Watch(TVrTimer& timer)
    {
        timer.OnTimer = [this](TObject*) {
            ++Ticks;
            if (!IsMainThread())
                ++OffWindowThread;
        };
    }
};

class VrTimerTest : public ::testing::TestWithParam<TVrTimerType> {
};

} // namespace

TEST(VrTimer, InitialValuesAndNoSourceUntilNeeded)
{
    TVrTimer timer(nullptr);
    EXPECT_TRUE(timer.Enabled());
    EXPECT_EQ(timer.Interval(), 1000u);
    EXPECT_TRUE(timer.SyncEvent());
    EXPECT_EQ(timer.TimerType(), TVrTimerType::ttThread);
    EXPECT_EQ(timer.Priority(), TThreadPriority::tpNormal);
    EXPECT_FALSE(timer.Allocated());
    TTickLog log;
    log.Watch(timer);
    Pump(50);
    EXPECT_FALSE(timer.Allocated());
    EXPECT_EQ(log.Ticks, 0);
}

TEST_P(VrTimerTest, TicksArriveOnTheWindowThreadAtTheInterval)
{
    TVrTimer timer(nullptr);
    timer.SetTimerType(GetParam());
    TTickLog log;
    log.Watch(timer);
    timer.SetEnabled(false);
    timer.SetInterval(40);
    timer.SetEnabled(true);
    Pump(420);
    EXPECT_GE(log.Ticks, 5);
    EXPECT_LE(log.Ticks, 11);
    EXPECT_EQ(log.OffWindowThread, 0);
}

TEST_P(VrTimerTest, IntervalZeroOrNoHandlerGivesNoTicks)
{
    TVrTimer timer(nullptr);
    timer.SetTimerType(GetParam());
    TTickLog log;
    log.Watch(timer);
    timer.SetInterval(0);
    Pump(80);
    EXPECT_EQ(log.Ticks, 0);

    TVrTimer silent(nullptr);
    silent.SetTimerType(GetParam());
    silent.SetInterval(10);
    Pump(50);
    log.Watch(silent);
    Pump(50);
    EXPECT_EQ(log.Ticks, 0);
}

TEST_P(VrTimerTest, DisablingStopsTicksAndEnablingTakesTheNewInterval)
{
    TVrTimer timer(nullptr);
    timer.SetTimerType(GetParam());
    TTickLog log;
    log.Watch(timer);
    timer.SetInterval(20);
    Pump(120);
    EXPECT_GT(log.Ticks, 0);
    EXPECT_TRUE(timer.Running());
    timer.SetEnabled(false);
    // The source is paused too, not only its ticks dropped: an idle timer wakes nothing.
    EXPECT_FALSE(timer.Running());
    Pump(30);
    int stopped = log.Ticks;
    Pump(120);
    EXPECT_EQ(log.Ticks, stopped);
    timer.SetInterval(200);
    timer.SetEnabled(true);
    EXPECT_TRUE(timer.Running());
    Pump(120);
    EXPECT_EQ(log.Ticks, stopped);
    Pump(200);
    EXPECT_GE(log.Ticks, stopped + 1);
}

TEST_P(VrTimerTest, StoppingInsideATickEndsTheTicks)
{
    TVrTimer timer(nullptr);
    timer.SetTimerType(GetParam());
    int ticks = 0;
    timer.OnTimer = [&](TObject* sender) {
        ++ticks;
        static_cast<TVrTimer*>(sender)->SetEnabled(false);
    };
    timer.SetInterval(10);
    Pump(150);
    EXPECT_EQ(ticks, 1);
}

TEST_P(VrTimerTest, AFailingHandlerIsReportedAndTheTicksGoOn)
{
    TVrTimer timer(nullptr);
    timer.SetTimerType(GetParam());
    int reports = 0;
    std::string message;
    Application->OnException = [&](TObject*, const std::exception& error) {
        ++reports;
        message = error.what();
    };
    int ticks = 0;
    timer.OnTimer = [&](TObject*) {
        ++ticks;
        throw std::runtime_error("tick failed");
    };
    timer.SetInterval(15);
    Pump(200);
    Application->OnException = nullptr;
    EXPECT_GE(ticks, 3);
    EXPECT_EQ(reports, ticks);
    EXPECT_EQ(message, "tick failed");
}

TEST_P(VrTimerTest, DestroyingARunningTimerNeitherHangsNorTicksLater)
{
    int ticks = 0;
    auto* timer = new TVrTimer(nullptr);
    timer->SetTimerType(GetParam());
    timer->OnTimer = [&](TObject*) { ++ticks; };
    timer->SetInterval(5);
    Pump(60);
    EXPECT_GT(ticks, 0);
    delete timer;
    int atDestruction = ticks;
    Pump(60);
    EXPECT_EQ(ticks, atDestruction);

    // Freed by its own handler, and by its owner.
    TVrTimer* self = new TVrTimer(nullptr);
    self->SetTimerType(GetParam());
    int selfTicks = 0;
    self->OnTimer = [&](TObject* sender) {
        ++selfTicks;
        delete static_cast<TVrTimer*>(sender);
    };
    self->SetInterval(5);
    Pump(80);
    EXPECT_EQ(selfTicks, 1);

    auto owner = std::make_unique<TComponent>(nullptr);
    auto* owned = new TVrTimer(owner.get());
    owned->SetTimerType(GetParam());
    int ownedTicks = 0;
    owned->OnTimer = [&](TObject*) { ++ownedTicks; };
    owned->SetInterval(5);
    Pump(40);
    owner.reset();
    int atOwnerEnd = ownedTicks;
    Pump(40);
    EXPECT_EQ(ownedTicks, atOwnerEnd);
}

TEST(VrTimer, SwitchingTheSourceWhileRunning)
{
    TVrTimer timer(nullptr);
    TTickLog log;
    log.Watch(timer);
    timer.SetInterval(20);
    Pump(100);
    int threaded = log.Ticks;
    EXPECT_GT(threaded, 0);
    timer.SetTimerType(TVrTimerType::ttSystem);
    EXPECT_TRUE(timer.Allocated());
    Pump(150);
    EXPECT_GT(log.Ticks, threaded);
    timer.SetTimerType(TVrTimerType::ttThread);
    int system = log.Ticks;
    Pump(150);
    EXPECT_GT(log.Ticks, system);
    EXPECT_EQ(log.OffWindowThread, 0);
}

TEST(VrTimer, UnsynchronisedTicksRunOnTheWorker)
{
    TVrTimer timer(nullptr);
    std::atomic<int> offThread{0};
    timer.OnTimer = [&](TObject*) {
        if (!IsMainThread())
            ++offThread;
    };
    timer.SetSyncEvent(false);
    timer.SetInterval(10);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    timer.SetEnabled(false);
    EXPECT_GT(offThread.load(), 0);
}

INSTANTIATE_TEST_SUITE_P(BothSources, VrTimerTest, ::testing::Values(TVrTimerType::ttThread, TVrTimerType::ttSystem));
