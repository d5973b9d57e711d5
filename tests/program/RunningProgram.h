// Drives a whole program under test from outside: starts it on the virtual card,
// finds its window, posts mouse clicks, reads its card trace and captures its pixels.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

// A process handle that is closed on scope exit.
class TProcessHandle {
public:
    TProcessHandle() = default;
    TProcessHandle(const TProcessHandle&) = delete;
    TProcessHandle& operator=(const TProcessHandle&) = delete;
    ~TProcessHandle() { Reset(nullptr); }
    void Reset(HANDLE handle) {
        if (handle_) CloseHandle(handle_);
        handle_ = handle;
    }
    HANDLE Get() const { return handle_; }

private:
    HANDLE handle_ = nullptr;
};

// The colours of a rectangle of a window's client area, row by row.
struct TCapture {
    int Width = 0;
    int Height = 0;
    std::vector<COLORREF> Pixels;
    COLORREF At(int x, int y) const { return Pixels.at(static_cast<size_t>(y) * Width + x); }
};

using TEnvironment = std::vector<std::pair<std::string, std::string>>;

// Which window counts as the program's: only a shown one, or also a hidden one
// (a program that starts in the notification area).
enum class TWindowWait { Shown, Any };

class TRunningProgram {
public:
    // Starts Exe with SONDEL_VIRTUAL_CARD = TracePath (a stale trace is deleted first)
    // and the Extra variables, and waits for its top-level window of WindowClass.
    // Raises std::runtime_error when it cannot start or shows no such window in time.
    TRunningProgram(const std::string& exe, const std::string& windowClass, const std::string& tracePath,
                    const TEnvironment& extra = {}, TWindowWait wait = TWindowWait::Shown);
    // Takes over the process of that id, which another program started with the
    // variables of ProgramEnvironment(TracePath), and waits for its window as above.
    TRunningProgram(DWORD processId, const std::string& windowClass, const std::string& tracePath,
                    TWindowWait wait = TWindowWait::Shown);
    // Ends the process if it still runs.
    ~TRunningProgram();
    TRunningProgram(const TRunningProgram&) = delete;
    TRunningProgram& operator=(const TRunningProgram&) = delete;

    HWND Window() const { return window_; }
    DWORD ProcessId() const { return processId_; }

    // Returns once the window's thread has handled every message sent before.
    void Settle() const;
    // Press and release of the left button at a point of the window's client area,
    // delivered to the child window under it (windowless widgets get it through their
    // parent), each message handled before the next is sent.
    void ClickAt(int x, int y) const;
    // Any message, sent and handled before the call returns.
    LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    // Any message to another window of the program, sent and handled before the call returns.
    LRESULT SendTo(HWND target, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    // Any message, posted (the call returns at once).
    void Post(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;

    SIZE OuterSize() const;
    bool Visible() const;
    bool Running() const;

    // Asks the window to close and waits for the process; its exit code. Raises
    // std::runtime_error when it does not end in time.
    DWORD Close(DWORD timeoutMilliseconds = 10000);

    // The trace lines of one kind ("SYNTH", "RDS", "CARRIER", "STEREO", "LOST", ...)
    // or of several, in their order, without the time stamp: "SYNTH 100100 5".
    std::vector<std::string> Trace(const std::string& kind) const;
    std::vector<std::string> Trace(const std::vector<std::string>& kinds) const;
    // Waits until the trace holds at least Count lines of the kind; whether it did.
    bool WaitForTrace(const std::string& kind, size_t count, DWORD timeoutMilliseconds = 5000) const;

    // The colours of a rectangle of the client area as the screen shows it once
    // every pending paint is done (for a still picture; at most about a second).
    TCapture Capture(int x, int y, int width, int height) const;

private:
    void WaitForWindow(const std::string& name, const std::string& windowClass, TWindowWait wait);
    void PaintPending() const;
    TCapture CaptureNow(int x, int y, int width, int height) const;

    std::string tracePath_;
    TProcessHandle process_;
    DWORD processId_ = 0;
    HWND window_ = nullptr;
};

// This process's variables with SONDEL_VIRTUAL_CARD = TracePath (a stale trace there is
// deleted) and the Extra ones added or replaced, as the block CreateProcess takes.
std::vector<char> ProgramEnvironment(const std::string& tracePath, const TEnvironment& extra = {});

// Runs Exe (given Arguments) with SONDEL_VIRTUAL_CARD = TracePath to its end; its exit
// code. Raises std::runtime_error when it cannot start or does not end in time (it is ended then).
DWORD RunToEnd(const std::string& exe, const std::string& tracePath, DWORD timeoutMilliseconds = 10000,
               const std::string& arguments = "");

// Finds the visible top-level window of Class owned by the process; nullptr if none.
HWND FindProcessWindow(DWORD processId, const std::string& windowClass);
// Same, also hidden windows.
HWND FindAnyProcessWindow(DWORD processId, const std::string& windowClass);

// The program's settings under HKEY_LOCAL_MACHINE, as the program sees them.
namespace ProgramRegistry {

// What Get returns for a value that is not there.
extern const char* const Absent;

void PutSetting(const std::string& name, const std::string& text);
std::string GetSetting(const std::string& name);
// Removes the program's whole settings key.
void ClearSettings();

void PutRunEntry(const std::string& text);
std::string GetRunEntry();
void ClearRunEntry();

}  // namespace ProgramRegistry
