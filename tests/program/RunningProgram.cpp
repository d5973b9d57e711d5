// The whole-program harness: a started process, its window, its trace, its pixels,
// and the program's registry settings seen from the test's side.
#include "RunningProgram.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace {

constexpr char TraceVariable[] = "SONDEL_VIRTUAL_CARD";
constexpr DWORD WindowTimeoutMilliseconds = 15000;
// A message that is not handled in this time means the program hangs (or shows a
// message box inside a handler).
constexpr UINT MessageTimeoutMilliseconds = 10000;
constexpr DWORD PollMilliseconds = 20;
constexpr UINT KilledExitCode = 255;
constexpr WORD BitsPerPixel = 32;
// Wine updates the display from a window's image when its thread has been idle
// this long since the last update.
constexpr DWORD DisplayUpdateMilliseconds = 60;
constexpr int CaptureRounds = 10;

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// The variables of this process with Extra added (or replaced), as a sorted block.
std::vector<char> EnvironmentBlock(const TEnvironment& extra) {
    std::vector<std::string> entries;
    LPCH strings = GetEnvironmentStringsA();
    for (const char* entry = strings; entry && *entry; entry += std::char_traits<char>::length(entry) + 1) {
        std::string text = entry;
        // Entries such as "=C:=C:\" name drive folders; they are kept as they are.
        size_t equals = text.find('=', 1);
        std::string name = Upper(text.substr(0, equals));
        bool replaced = std::any_of(extra.begin(), extra.end(),
                                    [&](const auto& variable) { return Upper(variable.first) == name; });
        if (!replaced) entries.push_back(text);
    }
    if (strings) FreeEnvironmentStringsA(strings);
    for (const auto& variable : extra) entries.push_back(variable.first + "=" + variable.second);
    std::sort(entries.begin(), entries.end(), [](const std::string& a, const std::string& b) {
        return Upper(a.substr(0, a.find('=', 1))) < Upper(b.substr(0, b.find('=', 1)));
    });
    std::vector<char> block;
    for (const std::string& entry : entries) {
        block.insert(block.end(), entry.begin(), entry.end());
        block.push_back('\0');
    }
    block.push_back('\0');
    return block;
}

struct TWindowSearch {
    DWORD processId;
    std::string windowClass;
    bool visibleOnly;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM lParam) {
    auto* search = reinterpret_cast<TWindowSearch*>(lParam);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->processId) return TRUE;
    if (search->visibleOnly && !IsWindowVisible(window)) return TRUE;
    char name[256] = {};
    GetClassNameA(window, name, sizeof name);
    if (search->windowClass != name) return TRUE;
    search->found = window;
    return FALSE;
}

BOOL CALLBACK AddWindow(HWND window, LPARAM list) {
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

HWND FindWindowOf(DWORD processId, const std::string& windowClass, bool visibleOnly) {
    TWindowSearch search{processId, windowClass, visibleOnly, nullptr};
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::string SystemMessage(DWORD code) {
    char text[512] = {};
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text, sizeof text,
                   nullptr);
    return text;
}

[[noreturn]] void RaiseLastError(const std::string& what) {
    throw std::runtime_error(what + ": " + SystemMessage(GetLastError()));
}

// A DC of a window, given back on scope exit.
class TWindowDc {
public:
    explicit TWindowDc(HWND window) : window_(window), dc_(GetDC(window)) {
        if (!dc_) RaiseLastError("GetDC");
    }
    TWindowDc(const TWindowDc&) = delete;
    TWindowDc& operator=(const TWindowDc&) = delete;
    ~TWindowDc() { ReleaseDC(window_, dc_); }
    HDC Get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// A 32-bit top-down DIB section selected into its own memory DC.
class TCaptureBitmap {
public:
    TCaptureBitmap(int width, int height) : dc_(CreateCompatibleDC(nullptr)) {
        if (!dc_) RaiseLastError("CreateCompatibleDC");
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = BitsPerPixel;
        info.bmiHeader.biCompression = BI_RGB;
        bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits_, nullptr, 0);
        if (!bitmap_) {
            DeleteDC(dc_);
            RaiseLastError("CreateDIBSection");
        }
        previous_ = SelectObject(dc_, bitmap_);
    }
    TCaptureBitmap(const TCaptureBitmap&) = delete;
    TCaptureBitmap& operator=(const TCaptureBitmap&) = delete;
    ~TCaptureBitmap() {
        SelectObject(dc_, previous_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    HDC Dc() const { return dc_; }
    // The pixel as 0x00BBGGRR; the section holds 0x00RRGGBB.
    COLORREF At(int index) const {
        DWORD pixel = static_cast<const DWORD*>(bits_)[index];
        return RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
    }

private:
    HDC dc_;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ previous_ = nullptr;
    void* bits_ = nullptr;
};

// An opened registry key, closed on scope exit.
class TKey {
public:
    TKey(HKEY root, const std::string& path, bool create) {
        LONG result = create ? RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_,
                                               nullptr)
                             : RegOpenKeyExA(root, path.c_str(), 0, KEY_ALL_ACCESS, &key_);
        if (result != ERROR_SUCCESS) key_ = nullptr;
        if (create && !key_) throw std::runtime_error("Cannot create key " + path + ": " + SystemMessage(result));
    }
    TKey(const TKey&) = delete;
    TKey& operator=(const TKey&) = delete;
    ~TKey() {
        if (key_) RegCloseKey(key_);
    }
    HKEY Get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

constexpr char SettingsBasePath[] = "Software\\Dravik Electronics\\SONDEL ULTRA";
constexpr char SettingsKeyPath[] = "Software\\Dravik Electronics\\SONDEL ULTRA\\v2.0";
constexpr char RunKeyPath[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr char RunValueName[] = "SONDEL ULTRA 3.0";

void PutString(const std::string& path, const std::string& name, const std::string& text) {
    TKey key(HKEY_LOCAL_MACHINE, path, true);
    LONG result = RegSetValueExA(key.Get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                 static_cast<DWORD>(text.size() + 1));
    if (result != ERROR_SUCCESS) throw std::runtime_error("Cannot write " + name + ": " + SystemMessage(result));
}

std::string GetString(const std::string& path, const std::string& name) {
    TKey key(HKEY_LOCAL_MACHINE, path, false);
    if (!key.Get()) return ProgramRegistry::Absent;
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExA(key.Get(), name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return ProgramRegistry::Absent;
    std::string text(size, '\0');
    if (RegQueryValueExA(key.Get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&text[0]), &size) !=
        ERROR_SUCCESS)
        return ProgramRegistry::Absent;
    text.resize(std::min<size_t>(size, text.size()));
    while (!text.empty() && text.back() == '\0') text.pop_back();
    return text;
}

// Starts Exe on a fresh trace at TracePath with the Extra variables.
PROCESS_INFORMATION StartProcess(const std::string& exe, const std::string& tracePath, const TEnvironment& extra,
                                 const std::string& arguments = "") {
    std::vector<char> environment = ProgramEnvironment(tracePath, extra);
    std::string commandLine = "\"" + exe + "\"" + (arguments.empty() ? "" : " " + arguments);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (!CreateProcessA(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, environment.data(), nullptr,
                        &startup, &started))
        RaiseLastError("Cannot start " + exe);
    CloseHandle(started.hThread);
    return started;
}

}  // namespace

std::vector<char> ProgramEnvironment(const std::string& tracePath, const TEnvironment& extra) {
    DeleteFileA(tracePath.c_str());
    TEnvironment variables = extra;
    variables.emplace_back(TraceVariable, tracePath);
    return EnvironmentBlock(variables);
}

HWND FindProcessWindow(DWORD processId, const std::string& windowClass) {
    return FindWindowOf(processId, windowClass, true);
}

HWND FindAnyProcessWindow(DWORD processId, const std::string& windowClass) {
    return FindWindowOf(processId, windowClass, false);
}

DWORD RunToEnd(const std::string& exe, const std::string& tracePath, DWORD timeoutMilliseconds,
               const std::string& arguments) {
    PROCESS_INFORMATION started = StartProcess(exe, tracePath, {}, arguments);
    TProcessHandle process;
    process.Reset(started.hProcess);
    if (WaitForSingleObject(process.Get(), timeoutMilliseconds) != WAIT_OBJECT_0) {
        TerminateProcess(process.Get(), KilledExitCode);
        WaitForSingleObject(process.Get(), INFINITE);
        throw std::runtime_error(exe + " did not end");
    }
    DWORD code = 0;
    GetExitCodeProcess(process.Get(), &code);
    return code;
}

TRunningProgram::TRunningProgram(const std::string& exe, const std::string& windowClass,
                                 const std::string& tracePath, const TEnvironment& extra, TWindowWait wait)
    : tracePath_(tracePath) {
    PROCESS_INFORMATION started = StartProcess(exe, tracePath_, extra);
    process_.Reset(started.hProcess);
    processId_ = started.dwProcessId;
    WaitForWindow(exe, windowClass, wait);
}

TRunningProgram::TRunningProgram(DWORD processId, const std::string& windowClass, const std::string& tracePath,
                                 TWindowWait wait)
    : tracePath_(tracePath), processId_(processId) {
    process_.Reset(OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE | PROCESS_QUERY_INFORMATION, FALSE, processId));
    if (!process_.Get()) RaiseLastError("Cannot open process " + std::to_string(processId));
    WaitForWindow("Process " + std::to_string(processId), windowClass, wait);
}

void TRunningProgram::WaitForWindow(const std::string& name, const std::string& windowClass, TWindowWait wait) {
    DWORD waited = 0;
    while (!(window_ = FindWindowOf(processId_, windowClass, wait == TWindowWait::Shown))) {
        if (!Running()) throw std::runtime_error(name + " ended before it showed a " + windowClass + " window");
        if (waited >= WindowTimeoutMilliseconds) {
            TerminateProcess(process_.Get(), KilledExitCode);
            throw std::runtime_error(name + " showed no " + windowClass + " window");
        }
        Sleep(PollMilliseconds);
        waited += PollMilliseconds;
    }
    Settle();
}

TRunningProgram::~TRunningProgram() {
    if (Running()) {
        TerminateProcess(process_.Get(), KilledExitCode);
        WaitForSingleObject(process_.Get(), INFINITE);
    }
}

LRESULT TRunningProgram::Send(UINT message, WPARAM wParam, LPARAM lParam) const {
    return SendTo(window_, message, wParam, lParam);
}

LRESULT TRunningProgram::SendTo(HWND target, UINT message, WPARAM wParam, LPARAM lParam) const {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(target, message, wParam, lParam, SMTO_NORMAL, MessageTimeoutMilliseconds, &result))
        throw std::runtime_error("The program's window did not handle message " + std::to_string(message));
    return static_cast<LRESULT>(result);
}

void TRunningProgram::Post(UINT message, WPARAM wParam, LPARAM lParam) const {
    if (!PostMessageA(window_, message, wParam, lParam)) RaiseLastError("PostMessage");
}

void TRunningProgram::Settle() const { Send(WM_NULL); }

void TRunningProgram::ClickAt(int x, int y) const {
    HWND target = window_;
    POINT point{x, y};
    for (;;) {
        HWND child = ChildWindowFromPointEx(target, point,
                                            CWP_SKIPINVISIBLE | CWP_SKIPDISABLED | CWP_SKIPTRANSPARENT);
        if (!child || child == target) break;
        MapWindowPoints(target, child, &point, 1);
        target = child;
    }
    // Sent rather than posted: a window's thread handles the messages sent to it
    // before anything posted, so after posts a WM_NULL could return before the click.
    const LPARAM at = MAKELPARAM(point.x, point.y);
    const std::pair<UINT, WPARAM> presses[] = {{WM_MOUSEMOVE, 0}, {WM_LBUTTONDOWN, MK_LBUTTON}, {WM_LBUTTONUP, 0}};
    for (const auto& press : presses) SendTo(target, press.first, press.second, at);
    Settle();
}

// A window's thread paints only once its queue is empty, so what is invalid now
// is painted here, parents before their children, each paint handled at once.
void TRunningProgram::PaintPending() const {
    std::vector<HWND> windows{window_};
    EnumChildWindows(window_, AddWindow, reinterpret_cast<LPARAM>(&windows));
    for (HWND window : windows)
        if (GetUpdateRect(window, nullptr, FALSE)) SendTo(window, WM_PAINT);
    Settle();
}

SIZE TRunningProgram::OuterSize() const {
    RECT bounds{};
    if (!GetWindowRect(window_, &bounds)) RaiseLastError("GetWindowRect");
    return SIZE{bounds.right - bounds.left, bounds.bottom - bounds.top};
}

bool TRunningProgram::Visible() const { return IsWindowVisible(window_) != FALSE; }

bool TRunningProgram::Running() const { return WaitForSingleObject(process_.Get(), 0) == WAIT_TIMEOUT; }

DWORD TRunningProgram::Close(DWORD timeoutMilliseconds) {
    PostMessageA(window_, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process_.Get(), timeoutMilliseconds) != WAIT_OBJECT_0)
        throw std::runtime_error("The program did not end after WM_CLOSE");
    DWORD code = 0;
    GetExitCodeProcess(process_.Get(), &code);
    return code;
}

std::vector<std::string> TRunningProgram::Trace(const std::string& kind) const {
    return Trace(std::vector<std::string>{kind});
}

std::vector<std::string> TRunningProgram::Trace(const std::vector<std::string>& kinds) const {
    std::vector<std::string> lines;
    std::ifstream file(tracePath_);
    std::string line;
    while (std::getline(file, line)) {
        if (line.empty() || line[0] == '#') continue;
        size_t stamp = line.find(' ');
        if (stamp == std::string::npos) continue;
        std::string event = line.substr(stamp + 1);
        std::string kind = event.substr(0, event.find(' '));
        if (std::find(kinds.begin(), kinds.end(), kind) != kinds.end()) lines.push_back(event);
    }
    return lines;
}

bool TRunningProgram::WaitForTrace(const std::string& kind, size_t count, DWORD timeoutMilliseconds) const {
    for (DWORD waited = 0;; waited += PollMilliseconds) {
        if (Trace(kind).size() >= count) return true;
        if (waited >= timeoutMilliseconds) return false;
        Sleep(PollMilliseconds);
    }
}

TCapture TRunningProgram::CaptureNow(int x, int y, int width, int height) const {
    TCaptureBitmap bitmap(width, height);
    {
        TWindowDc window(window_);
        if (!BitBlt(bitmap.Dc(), 0, 0, width, height, window.Get(), x, y, SRCCOPY)) RaiseLastError("BitBlt");
    }
    GdiFlush();
    TCapture capture;
    capture.Width = width;
    capture.Height = height;
    for (int i = 0; i < width * height; ++i) capture.Pixels.push_back(bitmap.At(i));
    return capture;
}

TCapture TRunningProgram::Capture(int x, int y, int width, int height) const {
    PaintPending();
    // Another process's window is read from the display, which the program updates
    // from its own image of the window only when it has been idle for a moment: the
    // pixels count once two reads, each after such a moment, agree.
    TCapture capture = CaptureNow(x, y, width, height);
    for (int round = 0; round < CaptureRounds; ++round) {
        Sleep(DisplayUpdateMilliseconds);
        Settle();
        Sleep(PollMilliseconds);
        TCapture again = CaptureNow(x, y, width, height);
        bool stable = again.Pixels == capture.Pixels;
        capture = std::move(again);
        if (stable && round > 0) break;
    }
    return capture;
}

namespace ProgramRegistry {

const char* const Absent = "<absent>";

void PutSetting(const std::string& name, const std::string& text) { PutString(SettingsKeyPath, name, text); }

std::string GetSetting(const std::string& name) { return GetString(SettingsKeyPath, name); }

void ClearSettings() {
    LONG result = RegDeleteTreeA(HKEY_LOCAL_MACHINE, SettingsBasePath);
    if (result != ERROR_SUCCESS && result != ERROR_FILE_NOT_FOUND)
        throw std::runtime_error("Cannot clear the settings: " + SystemMessage(result));
}

void PutRunEntry(const std::string& text) { PutString(RunKeyPath, RunValueName, text); }

std::string GetRunEntry() { return GetString(RunKeyPath, RunValueName); }

void ClearRunEntry() {
    TKey key(HKEY_LOCAL_MACHINE, RunKeyPath, false);
    if (key.Get()) RegDeleteValueA(key.Get(), RunValueName);
}

}  // namespace ProgramRegistry
