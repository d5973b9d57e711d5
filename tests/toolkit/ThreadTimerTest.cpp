// Synchronize from workers, message timers and the application's window hooks.
#include "Application.h"
#include "SysUtils.h"
#include "Testing.h"
#include "Thread.h"
#include "Timer.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>

namespace {

class TWorker : public TThread {
public:
    std::function<void()> Body;

protected:
    void Execute() override { Body(); }
};

}  // namespace

TEST(Thread, SynchronizeRunsOnTheWindowThreadWhileTheWorkerWaits) {
    Application->ProcessMessages();
    std::atomic<int> stage{0};
    bool onMain = false;
    TWorker worker;
    worker.Body = [&] {
        TThread::Synchronize([&] {
            onMain = IsMainThread();
            stage = 1;
        });
        stage = stage == 1 ? 2 : -1;
    };
    worker.Start();
    EXPECT_TRUE(Testing::PumpUntil([&] { return stage == 2; }));
    EXPECT_TRUE(onMain);
    worker.WaitFor();
    EXPECT_TRUE(worker.Finished());
}

TEST(Thread, WaitForOnTheWindowThreadServesSynchronize) {
    int ticks = 0;
    TWorker worker;
    worker.Body = [&] {
        for (int i = 0; i < 3; ++i) TThread::Synchronize([&] { ++ticks; });
    };
    worker.Start();
    worker.WaitFor();
    EXPECT_EQ(ticks, 3);
}

TEST(Thread, ExceptionInSynchronizedCallReachesTheWorker) {
    std::string caught;
    TWorker worker;
    worker.Body = [&] {
        try {
            TThread::Synchronize([] { throw Exception("boom"); });
        } catch (const Exception& error) {
            caught = error.what();
        }
    };
    worker.Start();
    worker.WaitFor();
    EXPECT_EQ(caught, "boom");
}

TEST(Thread, NeverStartedThreadIsFreedWithoutRunning) {
    bool ran = false;
    {
        TWorker worker;
        worker.Body = [&] { ran = true; };
    }
    EXPECT_FALSE(ran);
}

TEST(Timer, TicksOnlyWithHandlerIntervalAndEnabled) {
    TTimer timer(nullptr);
    int ticks = 0;
    timer.SetInterval(10);
    Testing::PumpMessages(60);
    timer.SetOnTimer([&](TObject* sender) {
        EXPECT_EQ(sender, &timer);
        ++ticks;
    });
    EXPECT_TRUE(Testing::PumpUntil([&] { return ticks >= 2; }));
    timer.SetEnabled(false);
    int stopped = ticks;
    Testing::PumpMessages(60);
    EXPECT_EQ(ticks, stopped);
    timer.SetEnabled(true);
    timer.SetInterval(0);
    Testing::PumpMessages(60);
    EXPECT_EQ(ticks, stopped);
}

TEST(Timer, HandlerErrorIsReportedAndTicksGoOn) {
    Testing::TErrorRecorder errors;
    TTimer timer(nullptr);
    timer.SetInterval(10);
    int ticks = 0;
    timer.SetOnTimer([&](TObject*) {
        ++ticks;
        throw Exception("tick failed");
    });
    EXPECT_TRUE(Testing::PumpUntil([&] { return ticks >= 3; }));
    timer.SetEnabled(false);
    ASSERT_GE(errors.Messages.size(), 3u);
    EXPECT_EQ(errors.Messages[0], "tick failed");
}

TEST(Timer, DesignedOrLoadingTimerDoesNotTick) {
    TTimer timer(nullptr);
    int ticks = 0;
    timer.BeginLoading();
    timer.SetInterval(10);
    timer.SetOnTimer([&](TObject*) { ++ticks; });
    Testing::PumpMessages(60);
    EXPECT_EQ(ticks, 0);
    timer.EndLoading();
    EXPECT_TRUE(Testing::PumpUntil([&] { return ticks >= 1; }));
}

TEST(Application, HookSeesApplicationWindowMessages) {
    std::vector<unsigned> seen;
    int id = Application->HookMainWindow([&](TMessage& message) {
        if (message.Msg == Msg::User + 7) {
            seen.push_back(message.Msg);
            message.Result = 42;
            return true;
        }
        return false;
    });
    EXPECT_EQ(SendMessageA(Application->Handle(), WM_USER + 7, 0, 0), 42);
    Application->UnhookMainWindow(id);
    SendMessageA(Application->Handle(), WM_USER + 7, 0, 0);
    EXPECT_EQ(seen.size(), 1u);
}
