// Worker threads and the hand-over of calls to the window thread.
#include "Thread.h"

#include "SysUtils.h"

#include "Win.h"

#include <deque>
#include <mutex>

namespace {

const DWORD g_mainThreadId = GetCurrentThreadId();

struct TSyncRequest {
    const std::function<void()>* method;
    HANDLE done;
    std::exception_ptr error;
};

std::mutex& SyncLock() {
    static std::mutex lock;
    return lock;
}
std::deque<TSyncRequest*>& SyncQueue() {
    static std::deque<TSyncRequest*> queue;
    return queue;
}
std::function<void()>& WakeMainThread() {
    static std::function<void()> wake;
    return wake;
}
// Signalled whenever a request is queued, so a window thread waiting for a worker wakes.
HANDLE SyncEvent() {
    static HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    return event;
}

int PriorityLevel(TThreadPriority priority) {
    static const int levels[] = {THREAD_PRIORITY_IDLE,    THREAD_PRIORITY_LOWEST,  THREAD_PRIORITY_BELOW_NORMAL,
                                 THREAD_PRIORITY_NORMAL,  THREAD_PRIORITY_ABOVE_NORMAL, THREAD_PRIORITY_HIGHEST,
                                 THREAD_PRIORITY_TIME_CRITICAL};
    return levels[static_cast<int>(priority)];
}

}  // namespace

bool IsMainThread() { return GetCurrentThreadId() == g_mainThreadId; }

void SetWakeMainThread(std::function<void()> wake) {
    std::lock_guard<std::mutex> guard(SyncLock());
    WakeMainThread() = std::move(wake);
}

bool CheckSynchronize() {
    if (!IsMainThread()) return false;
    bool ran = false;
    for (;;) {
        TSyncRequest* request;
        {
            std::lock_guard<std::mutex> guard(SyncLock());
            if (SyncQueue().empty()) return ran;
            request = SyncQueue().front();
            SyncQueue().pop_front();
        }
        try {
            (*request->method)();
        } catch (...) {
            request->error = std::current_exception();
        }
        ran = true;
        SetEvent(request->done);
    }
}

void TThread::Synchronize(const std::function<void()>& method) {
    if (IsMainThread()) {
        method();
        return;
    }
    HANDLE done = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (!done) RaiseLastOSError("CreateEvent");
    TSyncRequest request{&method, done, nullptr};
    std::function<void()> wake;
    {
        std::lock_guard<std::mutex> guard(SyncLock());
        SyncQueue().push_back(&request);
        wake = WakeMainThread();
    }
    SetEvent(SyncEvent());
    if (wake) wake();
    WaitForSingleObject(done, INFINITE);
    CloseHandle(done);
    if (request.error) std::rethrow_exception(request.error);
}

TThread::TThread() {
    DWORD id = 0;
    handle_ = CreateThread(nullptr, 0, ThreadProc, this, CREATE_SUSPENDED, &id);
    if (!handle_) RaiseLastOSError("CreateThread");
    threadId_ = id;
}

TThread::~TThread() {
    if (started_ && !finished_) {
        Terminate();
        WaitFor();
    }
    if (!started_) {
        // Never started: let it run out without calling Execute.
        abandoned_ = true;
        ResumeThread(handle_);
        WaitForSingleObject(handle_, INFINITE);
    }
    CloseHandle(handle_);
}

unsigned long __stdcall TThread::ThreadProc(void* self) {
    auto* thread = static_cast<TThread*>(self);
    if (thread->abandoned_) return 0;
    try {
        thread->Execute();
    } catch (...) {
        thread->fatal_ = std::current_exception();
    }
    thread->finished_ = true;
    return 0;
}

void TThread::Start() {
    if (started_) throw EInvalidOperation("Thread already started");
    started_ = true;
    ResumeThread(handle_);
}

void TThread::WaitFor() {
    if (!started_) return;
    if (!IsMainThread()) {
        WaitForSingleObject(handle_, INFINITE);
        return;
    }
    HANDLE handles[] = {handle_, SyncEvent()};
    for (;;) {
        DWORD woke = WaitForMultipleObjects(2, handles, FALSE, INFINITE);
        if (woke == WAIT_OBJECT_0) break;
        CheckSynchronize();
    }
    CheckSynchronize();
}

void TThread::SetPriority(TThreadPriority priority) {
    if (!SetThreadPriority(handle_, PriorityLevel(priority))) RaiseLastOSError("SetThreadPriority");
    priority_ = priority;
}
