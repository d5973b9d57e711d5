// The application window, the message loop, hints and the default error report.
#include "Application.h"

#include "StdCtrls.h"

#include "Controls.h"
#include "Form.h"
#include "SysUtils.h"
#include "Thread.h"

#include "Win.h"
#include <commctrl.h>

#include <memory>

namespace {

constexpr UINT kWakeMessage = WM_APP + 1;
constexpr UINT kReleaseMessage = WM_APP + 2;
constexpr UINT_PTR kHintTimer = 1;
constexpr int kHintOffsetY = 20;
constexpr UINT_PTR kHintToolId = 1;
// Not "TApplication": Wine refuses to make windows of a class of that name.
const char kApplicationClass[] = "TToolkitApplication";

bool g_applicationAlive = false;

std::string ExeTitle() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string name = path;
    size_t slash = name.find_last_of("\\/");
    if (slash != std::string::npos) name = name.substr(slash + 1);
    size_t dot = name.rfind('.');
    if (dot != std::string::npos) name = name.substr(0, dot);
    return name;
}

}  // namespace

struct TApplicationWindow {
    static LRESULT CALLBACK Proc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
        if (!g_applicationAlive || Application->Handle() != window)
            return DefWindowProcA(window, msg, wParam, lParam);
        TMessage message{msg, wParam, lParam, 0};
        try {
            Application->AppMessage(message);
        } catch (const std::exception& error) {
            Application->HandleException(&*Application, error);
        } catch (...) {
            Application->HandleCurrentException(&*Application);
        }
        return static_cast<LRESULT>(message.Result);
    }
};

TApplicationAccess Application;

TApplication* TApplicationAccess::operator->() const { return &**this; }

TApplication& TApplicationAccess::operator*() const {
    static TApplication application;
    return application;
}

bool TApplicationAccess::Alive() const { return g_applicationAlive; }

TApplication::TApplication() : TComponent(nullptr), title_(ExeTitle()) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    WNDCLASSA wc{};
    wc.lpfnWndProc = TApplicationWindow::Proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kApplicationClass;
    RegisterClassA(&wc);
    handle_ = CreateWindowExA(0, kApplicationClass, title_.c_str(),
                              WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX, 0, 0, 0, 0,
                              nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (!handle_) RaiseLastOSError("Creating the application window");
    g_applicationAlive = true;
    HWND window = handle_;
    SetWakeMainThread([window] { PostMessageA(window, kWakeMessage, 0, 0); });
}

TApplication::~TApplication() {
    SetWakeMainThread(nullptr);
    DestroyForms();
    g_applicationAlive = false;
    if (tooltip_) DestroyWindow(tooltip_);
    DestroyWindow(handle_);
}

void TApplication::SetTitle(const std::string& title) {
    title_ = title;
    SetWindowTextA(handle_, title.c_str());
}

void TApplication::Initialize() {}

void TApplication::AddForm(TForm* form) {
    if (!mainForm_) mainForm_ = form;
    form->DoCreate();
}

void TApplication::Run() {
    if (mainForm_) {
        SetWindowPos(handle_, nullptr, GetSystemMetrics(SM_CXSCREEN) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 0, 0,
                     SWP_SHOWWINDOW | SWP_NOACTIVATE | SWP_NOZORDER);
        mainForm_->Show();
    }
    while (!terminated_) HandleMessage();
    // The forms' worker threads end here, while the program is still whole: freed
    // with the application at process exit, they would outlive what they use.
    DestroyForms();
}

void TApplication::DestroyForms() {
    for (int i = 0; i < ComponentCount(); ++i)
        if (auto* form = dynamic_cast<TForm*>(Components(i))) form->DoDestroy();
    DestroyComponents();
    mainForm_ = nullptr;
    mouseControl_ = nullptr;
}

bool TApplication::ProcessMessage(void* raw) {
    MSG& msg = *static_cast<MSG*>(raw);
    if (msg.message == WM_QUIT) {
        terminated_ = true;
        return true;
    }
    if (msg.message == WM_KEYDOWN && msg.wParam == VK_TAB && GetKeyState(VK_CONTROL) >= 0 &&
        GetKeyState(VK_MENU) >= 0) {
        TWinControl* control = nullptr;
        for (HWND window = msg.hwnd; window && !control; window = GetParent(window))
            control = TWinControl::FromHandle(window);
        if (TWinControl* form = control ? GetParentForm(control) : nullptr) {
            form->SelectNext(control, GetKeyState(VK_SHIFT) >= 0);
            return true;
        }
    }
    if (msg.message == WM_KEYDOWN && (msg.wParam == VK_RETURN || msg.wParam == VK_ESCAPE)) {
        TWinControl* control = nullptr;
        for (HWND window = msg.hwnd; window && !control; window = GetParent(window))
            control = TWinControl::FromHandle(window);
        TWinControl* form = control ? GetParentForm(control) : nullptr;
        if (form && DialogKey(*form, msg.hwnd, static_cast<unsigned>(msg.wParam))) return true;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
    return true;
}

void TApplication::ProcessMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) ProcessMessage(&msg);
    CheckSynchronize();
}

void TApplication::HandleMessage() {
    MSG msg;
    if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ProcessMessage(&msg);
        return;
    }
    if (CheckSynchronize()) return;
    WaitMessage();
}

void TApplication::Terminate() { PostQuitMessage(0); }

void TApplication::Minimize() {
    ShowWindow(handle_, SW_MINIMIZE);
    if (OnMinimize) OnMinimize(this);
}

void TApplication::Restore() {
    ShowWindow(handle_, SW_RESTORE);
    if (mainForm_ && mainForm_->HandleAllocated()) SetForegroundWindow(mainForm_->Handle());
    if (OnRestore) OnRestore(this);
}

void TApplication::HandleException(TObject* sender, const std::exception& error) {
    if (OnException) OnException(sender, error);
    else ShowException(error);
}

void TApplication::HandleCurrentException(TObject* sender) {
    try {
        throw;
    } catch (const std::exception& error) {
        HandleException(sender, error);
    } catch (...) {
        HandleException(sender, Exception("Unknown error"));
    }
}

void TApplication::ShowException(const std::exception& error) {
    MessageBox(error.what(), title_, MsgBox::Ok | MsgBox::IconError);
}

int TApplication::MessageBox(const std::string& text, const std::string& caption, unsigned flags) {
    if (MessageBoxHook) return MessageBoxHook(text, caption, flags);
    HWND owner = GetActiveWindow();
    if (!owner && mainForm_ && mainForm_->HandleAllocated()) owner = mainForm_->Handle();
    if (!owner) owner = handle_;
    return MessageBoxA(owner, text.c_str(), caption.c_str(), flags);
}

int TApplication::HookMainWindow(TWindowHook hook) {
    int id = nextHook_++;
    hooks_[id] = std::move(hook);
    return id;
}

void TApplication::UnhookMainWindow(int id) { hooks_.erase(id); }

void TApplication::AppMessage(TMessage& message) {
    std::map<int, TWindowHook> hooks = hooks_;
    for (auto& entry : hooks)
        if (entry.second(message)) return;
    switch (message.Msg) {
    case kWakeMessage:
        CheckSynchronize();
        return;
    case kReleaseMessage:
        delete reinterpret_cast<TForm*>(message.LParam);
        return;
    case WM_TIMER:
        if (message.WParam == kHintTimer) {
            KillTimer(handle_, kHintTimer);
            ShowHintNow();
            return;
        }
        break;
    case WM_CLOSE:
        if (mainForm_) mainForm_->Close();
        return;
    default:
        break;
    }
    message.Result = DefWindowProcA(handle_, message.Msg, message.WParam, message.LParam);
}

void TApplication::ReleaseForm(TForm* form) {
    PostMessageA(handle_, kReleaseMessage, 0, reinterpret_cast<LPARAM>(form));
}

void TApplication::SetMouseControl(TControl* control) {
    if (control == mouseControl_) return;
    TControl* previous = mouseControl_;
    mouseControl_ = control;
    CancelHint();
    if (previous) previous->Perform(Msg::MouseLeave);
    if (control && mouseControl_ == control) {
        control->Perform(Msg::MouseEnter);
        if (control->ShowHint() && !control->Hint().empty())
            SetTimer(handle_, kHintTimer, static_cast<UINT>(HintPause), nullptr);
    }
}

void TApplication::ControlDestroyed(TControl* control) {
    if (mouseControl_ != control) return;
    mouseControl_ = nullptr;
    CancelHint();
}

void TApplication::ShowHintNow() {
    if (!mouseControl_ || !mouseControl_->ShowHint() || mouseControl_->Hint().empty()) return;
    shownHint_ = mouseControl_->Hint();
    TTTOOLINFOA tool{};
    tool.cbSize = TTTOOLINFOA_V2_SIZE;
    tool.uFlags = TTF_TRACK | TTF_ABSOLUTE;
    tool.hwnd = handle_;
    tool.uId = kHintToolId;
    tool.lpszText = const_cast<char*>(shownHint_.c_str());
    if (!tooltip_) {
        tooltip_ = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                                   CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, handle_, nullptr,
                                   GetModuleHandleA(nullptr), nullptr);
        if (!tooltip_) return;
        SendMessageA(tooltip_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
    }
    SendMessageA(tooltip_, TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&tool));
    POINT cursor{};
    GetCursorPos(&cursor);
    SendMessageA(tooltip_, TTM_TRACKPOSITION, 0, MAKELPARAM(cursor.x, cursor.y + kHintOffsetY));
    SendMessageA(tooltip_, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&tool));
    hintShowing_ = true;
}

void TApplication::CancelHint() {
    KillTimer(handle_, kHintTimer);
    if (!hintShowing_) return;
    TTTOOLINFOA tool{};
    tool.cbSize = TTTOOLINFOA_V2_SIZE;
    tool.hwnd = handle_;
    tool.uId = kHintToolId;
    SendMessageA(tooltip_, TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&tool));
    hintShowing_ = false;
    shownHint_.clear();
}
