// The threaded timer: its worker loop, the hand-over of ticks to the window
// thread, the window-message source, and a stop that neither hangs nor ticks late.
#include "VrThreads.h"

#include "Application.h"

#include <chrono>
#include <vector>

namespace {

constexpr unsigned InitialInterval = 1000;

// Sources released from inside their own tick are still running that tick (a
// worker waits for its hand-over, a message timer is inside its handler), so
// they are freed at a later release, once no tick runs on the window thread.
std::vector<std::unique_ptr<TVrTimerThread>>& StoppedThreads()
{
    static std::vector<std::unique_ptr<TVrTimerThread>> threads;
    return threads;
}

std::vector<std::unique_ptr<TTimer>>& StoppedSystemTimers()
{
    static std::vector<std::unique_ptr<TTimer>> timers;
    return timers;
}

int TicksRunning = 0;   // window thread only

// Asked from the worker: the application is only looked at, never made there.
bool ApplicationQuitting()
{
    return Application.Alive() && Application->Terminated();
}

void FreeStoppedSources()
{
    std::vector<std::unique_ptr<TVrTimerThread>>& threads = StoppedThreads();
    for (auto it = threads.begin(); it != threads.end();) {
        if ((*it)->Finished())
            it = threads.erase(it);
        else
            ++it;
    }
    if (TicksRunning == 0)
        StoppedSystemTimers().clear();
}

} // namespace

TVrTimerThread::TVrTimerThread(TVrTimer& timer) : timer_(timer), interval_(InitialInterval) {}

TVrTimerThread::~TVrTimerThread()
{
    Stop();
    WaitFor();
}

void TVrTimerThread::SetInterval(unsigned interval)
{
    std::lock_guard<std::mutex> guard(lock_);
    interval_ = interval;
}

void TVrTimerThread::Pause()
{
    std::lock_guard<std::mutex> guard(lock_);
    paused_ = true;
    signalled_ = true;
    ++schedule_;
    wake_.notify_all();
}

void TVrTimerThread::Resume()
{
    {
        std::lock_guard<std::mutex> guard(lock_);
        paused_ = false;
        signalled_ = true;
        wake_.notify_all();
    }
    if (!Started())
        Start();
}

bool TVrTimerThread::Running()
{
    std::lock_guard<std::mutex> guard(lock_);
    return !paused_ && !Terminated();
}

void TVrTimerThread::Stop()
{
    Terminate();
    Resume();
}

void TVrTimerThread::DoTimer()
{
    timer_.Timer();
}

void TVrTimerThread::DoTimerOf(unsigned schedule)
{
    {
        // A tick that fell due before the timer was paused or reprogrammed is dropped.
        std::lock_guard<std::mutex> guard(lock_);
        if (schedule != schedule_)
            return;
    }
    DoTimer();
}

void TVrTimerThread::Execute()
{
    while (!Terminated()) {
        unsigned schedule;
        {
            std::unique_lock<std::mutex> guard(lock_);
            signalled_ = false;
            wake_.wait(guard, [this] { return !paused_ || Terminated(); });
            if (Terminated())
                break;
            // A wake before the timeout (a pause, a new interval, a stop) is no tick.
            if (wake_.wait_for(guard, std::chrono::milliseconds(interval_), [this] { return signalled_; }))
                continue;
            schedule = schedule_;
        }
        if (Terminated() || ApplicationQuitting())
            continue;
        if (timer_.SyncEvent())
            Synchronize([this, schedule] { DoTimerOf(schedule); });
        else
            DoTimerOf(schedule);
    }
}

TVrTimer::TVrTimer(TComponent* owner) : TVrComponent(owner) {}

TVrTimer::~TVrTimer()
{
    *alive_ = false;
    enabled_ = false;
    // The worker is gone before the handler, which it may be reading unsynchronised.
    ReleaseTimer();
    OnTimer = nullptr;
}

void TVrTimer::SetEnabled(bool enabled)
{
    if (enabled_ == enabled)
        return;
    enabled_ = enabled;
    // Disabling pauses the source as well: a timer that is off wakes nothing.
    if (enabled || allocated_)
        UpdateTimer();
}

void TVrTimer::SetInterval(unsigned interval)
{
    if (interval_ == interval)
        return;
    interval_ = interval;
    if (enabled_)
        UpdateTimer();
}

void TVrTimer::SetTimerType(TVrTimerType type)
{
    if (timerType_ == type)
        return;
    ReleaseTimer();
    timerType_ = type;
    if (enabled_)
        UpdateTimer();
}

void TVrTimer::SetPriority(TThreadPriority priority)
{
    if (priority_ == priority)
        return;
    priority_ = priority;
    if (timerType_ == TVrTimerType::ttThread && enabled_)
        UpdateTimer();
}

bool TVrTimer::Running() const
{
    if (systemTimer_)
        return systemTimer_->Enabled();
    return thread_ && thread_->Running();
}

void TVrTimer::Loaded()
{
    TVrComponent::Loaded();
    UpdateTimer();
}

void TVrTimer::Timer()
{
    if (!enabled_ || !OnTimer)
        return;
    const bool onWindowThread = IsMainThread();
    // The handler may free this timer: keep what is needed after it returns.
    const TNotifyEvent handler = OnTimer;
    const std::shared_ptr<bool> alive = alive_;
    if (onWindowThread) {
        ticking_ = true;
        ++TicksRunning;
    }
    try {
        handler(this);
    } catch (const std::exception& error) {
        Application->HandleException(this, error);
    } catch (...) {
        Application->HandleCurrentException(this);
    }
    if (onWindowThread) {
        --TicksRunning;
        if (*alive)
            ticking_ = false;
    }
}

void TVrTimer::UpdateTimer()
{
    if (Designing())
        return;
    if (!allocated_)
        AllocateTimer();
    const bool run = interval_ != 0 && enabled_ && OnTimer;
    if (timerType_ == TVrTimerType::ttSystem) {
        systemTimer_->SetEnabled(false);
        systemTimer_->SetInterval(interval_);
        systemTimer_->SetEnabled(run);
        return;
    }
    thread_->Pause();
    thread_->SetInterval(interval_);
    if (!run)
        return;
    thread_->SetPriority(priority_);
    thread_->Resume();
}

void TVrTimer::AllocateTimer()
{
    if (timerType_ == TVrTimerType::ttSystem) {
        systemTimer_ = std::make_unique<TTimer>(nullptr);
        systemTimer_->SetEnabled(false);
        systemTimer_->SetOnTimer([this](TObject*) { Timer(); });
    } else {
        thread_ = std::make_unique<TVrTimerThread>(*this);
    }
    allocated_ = true;
}

void TVrTimer::ReleaseTimer()
{
    FreeStoppedSources();
    if (!allocated_)
        return;
    if (systemTimer_) {
        systemTimer_->SetEnabled(false);
        if (ticking_)
            StoppedSystemTimers().push_back(std::move(systemTimer_));
        systemTimer_.reset();
    }
    if (thread_) {
        thread_->Stop();
        if (ticking_)
            StoppedThreads().push_back(std::move(thread_));
        thread_.reset();
    }
    allocated_ = false;
}
