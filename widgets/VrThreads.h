// TVrTimer: a timer component whose ticks come from a worker thread of its own
// (handed over to the window thread by default) or from a window-message timer.
#pragma once

#include "Thread.h"
#include "Timer.h"
#include "VrControls.h"

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>

class TVrTimer;

enum class TVrTimerType { ttThread, ttSystem };

// Waits on a wake event with the timer's interval as the timeout, and ticks the
// timer at each timeout; paused, it waits until resumed or stopped.
class TVrTimerThread : public TThread {
public:
    explicit TVrTimerThread(TVrTimer& timer);
    // Stops the worker and waits for it to leave its loop.
    ~TVrTimerThread() override;

    void SetInterval(unsigned interval);
    void Pause();
    void Resume();
    // Resumed and not stopped: the worker wakes at every interval.
    bool Running();
    // Ends the loop: resumes, terminates and wakes the worker.
    void Stop();
    void DoTimer();

protected:
    void Execute() override;

private:
    TVrTimer& timer_;
    std::mutex lock_;
    std::condition_variable wake_;
    bool signalled_ = false;
    bool paused_ = true;
    unsigned interval_ = 1000;
    // Counts the pauses; a tick carries the count it was timed under.
    unsigned schedule_ = 0;
    void DoTimerOf(unsigned schedule);
};

class TVrTimer : public TVrComponent {
public:
    explicit TVrTimer(TComponent* owner);
    // Stops every tick first; a tick never arrives afterwards.
    ~TVrTimer() override;

    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);
    unsigned Interval() const { return interval_; }
    void SetInterval(unsigned interval);
    // Thread source only: run the tick on the window thread (true) or on the worker.
    bool SyncEvent() const { return syncEvent_; }
    void SetSyncEvent(bool syncEvent) { syncEvent_ = syncEvent; }
    TVrTimerType TimerType() const { return timerType_; }
    void SetTimerType(TVrTimerType type);
    TThreadPriority Priority() const { return priority_; }
    void SetPriority(TThreadPriority priority);
    TNotifyEvent OnTimer;

    // Whether a tick source exists now.
    bool Allocated() const { return allocated_; }
    // Whether the source delivers ticks now (a paused or stopped one wakes nothing).
    bool Running() const;

protected:
    friend class TVrTimerThread;
    void Loaded() override;
    // Calls OnTimer while enabled; an exception from it goes to the application's report.
    virtual void Timer();

private:
    void UpdateTimer();
    void AllocateTimer();
    void ReleaseTimer();

    std::atomic<bool> enabled_{true};
    unsigned interval_ = 1000;
    bool syncEvent_ = true;
    TVrTimerType timerType_ = TVrTimerType::ttThread;
    TThreadPriority priority_ = TThreadPriority::tpNormal;
    bool allocated_ = false;
    // True while OnTimer runs on the window thread.
    bool ticking_ = false;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    std::unique_ptr<TTimer> systemTimer_;
    std::unique_ptr<TVrTimerThread> thread_;
};
