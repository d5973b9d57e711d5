// The now-playing file's worker: the platform's change notification on the file's folder,
// a settling wait so a writer can finish, and the read that makes the radiotext.
#include "NowPlayingFile.h"

#include "NowPlayingText.h"
#include "SystemCause.h"
#include "SysUtils.h"
#include "WinHandles.h"

#include <windows.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <tuple>
#include <utility>

namespace {

// A change this long without another one ends a write.
constexpr DWORD QuietMs = 150;
// A file changed without pause for this long is read as it stands.
constexpr ULONGLONG SettleLimitMs = 1000;
// How often a file that another program holds is tried again.
constexpr DWORD BusyRetryMs = 100;
// A writer that keeps the file open this long after its last change is not waited for.
constexpr ULONGLONG WriterGraceMs = 2000;
// A file held this long is read as it stands, or reported unreadable until its next change.
constexpr ULONGLONG BusyGiveUpMs = 10000;
// What ends a complete line in a file its writer still holds.
constexpr char LineEnds[] = "\r\n";
// How often a folder that cannot be watched is tried again.
constexpr DWORD FolderRetryMs = 1000;
// Enough for the longest first line that matters, with room for control characters.
constexpr DWORD ReadLimit = 4096;
constexpr DWORD WatchedChanges =
    FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE | FILE_NOTIFY_CHANGE_SIZE;
// Readers only: opening fails while a writer still has the file open.
constexpr DWORD ShareWithReaders = FILE_SHARE_READ | FILE_SHARE_DELETE;
constexpr DWORD ShareWithAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// A handle closed by its kind's Close on leaving its scope.
template <typename Kind>
class TScopedHandle {
public:
    explicit TScopedHandle(HANDLE handle) : handle_(handle) {}
    TScopedHandle(const TScopedHandle&) = delete;
    TScopedHandle& operator=(const TScopedHandle&) = delete;
    ~TScopedHandle() {
        if (Valid()) Kind::Close(handle_);
    }
    bool Valid() const { return handle_ != Kind::Invalid(); }
    HANDLE Get() const { return handle_; }

private:
    HANDLE handle_;
};

struct TEventKind {
    static HANDLE Invalid() { return nullptr; }
    static void Close(HANDLE handle) { CloseHandle(handle); }
};
struct TFileKind {
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE handle) { CloseHandle(handle); }
};
struct TChangeNotificationKind {
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE handle) { FindCloseChangeNotification(handle); }
};

using TEvent = TScopedHandle<TEventKind>;
using TFile = TScopedHandle<TFileKind>;
using TChangeNotification = TScopedHandle<TChangeNotificationKind>;

bool IsBusy(DWORD error) { return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION; }

// The file's first ReadLimit bytes; 0 in error when read, else the system's error code.
std::string ReadStart(const std::string& path, DWORD share, DWORD& error) {
    error = 0;
    TFile file(CreateFileA(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) {
        error = GetLastError();
        return {};
    }
    std::string bytes(ReadLimit, '\0');
    DWORD total = 0;
    while (total < ReadLimit) {
        DWORD got = 0;
        if (!ReadFile(file.Get(), &bytes[total], ReadLimit - total, &got, nullptr)) {
            error = GetLastError();
            return {};
        }
        if (got == 0) break;
        total += got;
    }
    bytes.resize(total);
    return bytes;
}

// The full path, and the folder that holds it (with its separator when it is a root).
std::pair<std::string, std::string> FullPathAndFolder(const std::string& path) {
    char buffer[MAX_PATH];
    char* name = nullptr;
    DWORD length = GetFullPathNameA(path.c_str(), MAX_PATH, buffer, &name);
    std::string full = length > 0 && length < MAX_PATH ? std::string(buffer, length) : path;
    std::size_t separator = full.find_last_of("\\/");
    if (separator == std::string::npos) return {full, "."};
    bool root = separator == 0 || full[separator - 1] == ':';
    return {full, full.substr(0, root ? separator + 1 : separator)};
}

}  // namespace

namespace {

// How long changing the path or freeing the unit waits for the worker: a file on a
// share that stops answering holds the worker, never the thread that asked.
constexpr DWORD StopWaitMs = 1000;

// A lock that holds no kernel handle: a contended std::mutex of this runtime keeps an
// event it never closes, one more for every path the unit has followed.
class TSlimLock {
public:
    void lock() { AcquireSRWLockExclusive(&lock_); }
    void unlock() { ReleaseSRWLockExclusive(&lock_); }

private:
    SRWLOCK lock_ = SRWLOCK_INIT;
};

// What the worker uses; shared with the unit, so that a worker held up in a read
// outlives the unit without touching anything the unit owned.
class TFollower {
public:
    TFollower(const std::string& path, TNowPlayingFile::TTextHandler onText,
              TNowPlayingFile::TFailureHandler onFailure, TNowPlayingFile::TReader reader)
        : onText_(std::move(onText)), onFailure_(std::move(onFailure)), reader_(std::move(reader)),
          stop_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
        if (!stop_.Valid()) RaiseLastOSError("Cannot follow the now-playing file");
        std::tie(path_, folder_) = FullPathAndFolder(path);
    }
    TFollower(const TFollower&) = delete;
    TFollower& operator=(const TFollower&) = delete;

    // The worker's whole life.
    void Work() { Run(); }
    // Nothing is handed on once this returns; the worker ends as soon as it can.
    void Stop() {
        SetEvent(stop_.Get());
        std::lock_guard<TSlimLock> guard(handing_);
        stopped_ = true;
    }
    unsigned Reads() const { return reads_; }

private:
    enum class TWake { Stop, Change, Timeout, Broken };

    void Run() {
        for (;;) {
            TChangeNotification change(FindFirstChangeNotificationA(folder_.c_str(), FALSE, WatchedChanges));
            if (!change.Valid()) {
                Report("Cannot watch the folder of the now-playing file \"" + path_ + "\": " +
                       SystemCause(GetLastError()) + ".");
                if (Wait(nullptr, FolderRetryMs) == TWake::Stop) return;
                continue;
            }
            TWake wake = Check(change.Get());
            while (wake == TWake::Timeout) {
                wake = Wait(change.Get(), INFINITE);
                if (wake == TWake::Change) wake = Settle(change.Get());
                if (wake == TWake::Timeout) wake = Check(change.Get());
            }
            if (wake == TWake::Stop || Wait(nullptr, FolderRetryMs) == TWake::Stop) return;
        }
    }

    // Waits for the stop, a change in the folder (watched again at once) or the time.
    TWake Wait(HANDLE change, DWORD ms) const {
        const HANDLE handles[] = {stop_.Get(), change};
        const DWORD result = WaitForMultipleObjects(change ? 2 : 1, handles, FALSE, ms);
        if (result == WAIT_OBJECT_0) return TWake::Stop;
        if (result == WAIT_OBJECT_0 + 1) return FindNextChangeNotification(change) ? TWake::Change : TWake::Broken;
        return result == WAIT_TIMEOUT ? TWake::Timeout : TWake::Broken;
    }

    // Waits until the folder has been quiet for QuietMs (Timeout), or SettleLimitMs passed.
    TWake Settle(HANDLE change) const {
        const ULONGLONG start = GetTickCount64();
        TWake wake = TWake::Change;
        while (wake == TWake::Change && GetTickCount64() - start < SettleLimitMs) wake = Wait(change, QuietMs);
        return wake == TWake::Change ? TWake::Timeout : wake;
    }

    std::string Read(bool shareWithWriters, unsigned long& error) {
        ++reads_;
        return reader_ ? reader_(path_, shareWithWriters, error)
                       : ReadStart(path_, shareWithWriters ? ShareWithAll : ShareWithReaders, error);
    }

    // Reads the file once its writer is done and hands on its text; Timeout when done. A
    // writer that holds the file past the grace is read beside it, and its text goes once
    // its line is ended, or as it stands once the writer has held it BusyGiveUpMs.
    TWake Check(HANDLE change) {
        ULONGLONG start = GetTickCount64();
        for (;;) {
            const ULONGLONG held = GetTickCount64() - start;
            unsigned long error = 0;
            std::string bytes = Read(false, error);
            if (IsBusy(error) && held >= WriterGraceMs) {
                unsigned long besideError = 0;
                const std::string beside = Read(true, besideError);
                if (besideError == 0 && (beside.find_first_of(LineEnds) != std::string::npos || held >= BusyGiveUpMs)) {
                    bytes = beside;
                    error = 0;
                }
            }
            if (Stopping()) return TWake::Stop;
            if (error == 0) {
                reported_ = false;
                Deliver(NowPlayingText(bytes, GetACP()));
                return TWake::Timeout;
            }
            if (!IsBusy(error) || held >= BusyGiveUpMs) {
                Report("Cannot read the now-playing file \"" + path_ + "\": " + SystemCause(error) + ".");
                return TWake::Timeout;
            }
            TWake wake = Wait(change, BusyRetryMs);
            if (wake == TWake::Change) {
                wake = Settle(change);
                start = GetTickCount64();
            }
            if (wake != TWake::Timeout) return wake;
        }
    }

    bool Stopping() const { return WaitForSingleObject(stop_.Get(), 0) == WAIT_OBJECT_0; }

    void Deliver(const std::string& text) {
        if (delivered_ && text == lastText_) return;
        std::lock_guard<TSlimLock> guard(handing_);
        if (stopped_) return;
        lastText_ = text;
        delivered_ = true;
        onText_(text);
    }

    void Report(const std::string& message) {
        if (reported_) return;
        std::lock_guard<TSlimLock> guard(handing_);
        if (stopped_) return;
        reported_ = true;
        onFailure_(message);
    }

    const TNowPlayingFile::TTextHandler onText_;
    const TNowPlayingFile::TFailureHandler onFailure_;
    const TNowPlayingFile::TReader reader_;
    TEvent stop_;
    std::string path_;
    std::string folder_;
    std::atomic<unsigned> reads_{0};
    // Held while a handler runs; once stopped, none runs again.
    TSlimLock handing_;
    bool stopped_ = false;
    // The worker's own: the text handed on last, and whether a failure is reported.
    std::string lastText_;
    bool delivered_ = false;
    bool reported_ = false;
};

}  // namespace

// The worker is a thread of the system's own: the runtime's threads keep an event now and
// then after they are joined, one more for every path the unit has followed.
class TNowPlayingFile::TWatch {
public:
    TWatch(const std::string& path, const TTextHandler& onText, const TFailureHandler& onFailure,
           const TReader& reader)
        : follower_(std::make_shared<TFollower>(path, onText, onFailure, reader)) {
        auto held = std::make_unique<std::shared_ptr<TFollower>>(follower_);
        worker_.Reset(CreateThread(nullptr, 0, &TWatch::Work, held.get(), 0, nullptr));
        if (!worker_.Get()) RaiseLastOSError("Cannot follow the now-playing file");
        held.release();
    }
    TWatch(const TWatch&) = delete;
    TWatch& operator=(const TWatch&) = delete;
    // A worker held in a read past the wait ends on its own; it keeps what it uses.
    ~TWatch() {
        follower_->Stop();
        WaitForSingleObject(worker_.Get(), StopWaitMs);
    }
    unsigned Reads() const { return follower_->Reads(); }

private:
    static DWORD WINAPI Work(void* held) {
        std::unique_ptr<std::shared_ptr<TFollower>> follower(static_cast<std::shared_ptr<TFollower>*>(held));
        (*follower)->Work();
        return 0;
    }

    std::shared_ptr<TFollower> follower_;
    TKernelHandle worker_;
};

TNowPlayingFile::TNowPlayingFile(TTextHandler onText, TFailureHandler onFailure, TReader reader)
    : onText_(std::move(onText)), onFailure_(std::move(onFailure)), reader_(std::move(reader)) {}

TNowPlayingFile::~TNowPlayingFile() = default;

void TNowPlayingFile::SetPath(const std::string& path) {
    if (path == path_) return;
    watch_.reset();
    path_.clear();
    if (!path.empty()) watch_ = std::make_unique<TWatch>(path, onText_, onFailure_, reader_);
    path_ = path;
}

unsigned TNowPlayingFile::Reads() const { return watch_ ? watch_->Reads() : 0; }
