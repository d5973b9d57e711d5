// TThread: a worker thread made suspended and started with Start; Synchronize runs a call
// on the window thread while the worker waits. (There is no Suspend: a worker that must
// pause waits on an event of its own.)
#pragma once

#include "Classes.h"

#include <atomic>
#include <exception>
#include <functional>
#include <memory>

enum class TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

class TThread : public TObject {
public:
    TThread();
    // Terminates and waits for the thread when it was started.
    ~TThread() override;

    void Start();
    bool Started() const { return started_; }
    void Terminate() { terminated_ = true; }
    bool Terminated() const { return terminated_; }
    bool Finished() const { return finished_; }
    // Waits until Execute has returned; on the window thread it keeps serving Synchronize.
    void WaitFor();
    TThreadPriority Priority() const { return priority_; }
    void SetPriority(TThreadPriority priority);
    unsigned long ThreadID() const { return threadId_; }
    // The exception that ended Execute, if any.
    std::exception_ptr FatalException() const { return fatal_; }

    // Runs Method on the window thread and waits for it; an exception it raises is raised
    // again here. Called on the window thread, it runs Method at once.
    static void Synchronize(const std::function<void()>& method);

protected:
    virtual void Execute() = 0;

private:
    static unsigned long __stdcall ThreadProc(void* self);
    void* handle_ = nullptr;
    unsigned long threadId_ = 0;
    bool started_ = false;
    std::atomic<bool> terminated_{false};
    std::atomic<bool> finished_{false};
    std::atomic<bool> abandoned_{false};
    TThreadPriority priority_ = TThreadPriority::tpNormal;
    std::exception_ptr fatal_;
};

// The thread that runs the windows (the process's first thread).
bool IsMainThread();
// Runs the calls that workers are waiting on; true when there was one. Window thread only.
bool CheckSynchronize();
// Called by Synchronize after queueing a call, to wake the window thread.
void SetWakeMainThread(std::function<void()> wake);
