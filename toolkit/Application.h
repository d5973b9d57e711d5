// TApplication: the title, the forms, the message loop and the default error report.
// Reach it through the global Application (made on first use).
#pragma once

#include "Classes.h"
#include "Types.h"

#include <exception>
#include <functional>
#include <map>
#include <string>
#include <vector>

class TControl;
class TForm;

using TExceptionEvent = std::function<void(TObject* sender, const std::exception& error)>;
// Sees a message to the application window before it is handled; true means handled.
using TWindowHook = std::function<bool(TMessage& message)>;
using TMessageBoxHook = std::function<int(const std::string& text, const std::string& caption, unsigned flags)>;

// Message box flags and answers (the platform's values).
namespace MsgBox {
constexpr unsigned Ok = 0x00;
constexpr unsigned OkCancel = 0x01;
constexpr unsigned YesNo = 0x04;
constexpr unsigned IconError = 0x10;
constexpr unsigned IconQuestion = 0x20;
constexpr unsigned IconWarning = 0x30;
constexpr unsigned IconInformation = 0x40;
constexpr int IdOk = 1;
constexpr int IdCancel = 2;
constexpr int IdYes = 6;
constexpr int IdNo = 7;
}  // namespace MsgBox

class TApplication : public TComponent {
public:
    TApplication();
    ~TApplication() override;

    const std::string& Title() const { return title_; }
    void SetTitle(const std::string& title);
    // The hidden top-level window that owns the forms and their taskbar entry.
    HWND Handle() const { return handle_; }
    TForm* MainForm() const { return mainForm_; }

    void Initialize();
    // Makes a form owned by the application (the first one is the main form) and runs its OnCreate.
    template <typename T>
    T* CreateForm(T*& reference) {
        T* form = new T(this);
        reference = form;
        AddForm(form);
        return form;
    }
    // Shows the main form and runs the message loop until the application terminates,
    // then frees the forms.
    void Run();
    // Handles every message waiting now, and the calls other threads asked to run here.
    void ProcessMessages();
    // Waits for one message and handles it.
    void HandleMessage();
    void Terminate();
    // The message loop has received the quit message.
    bool Terminated() const { return terminated_; }
    void Minimize();
    void Restore();
    TNotifyEvent OnMinimize;
    TNotifyEvent OnRestore;

    // The default error report: OnException when assigned, else ShowException.
    TExceptionEvent OnException;
    void HandleException(TObject* sender, const std::exception& error);
    // Reports the exception in flight (for catch (...) blocks).
    void HandleCurrentException(TObject* sender);
    // A message box with the error's message and the application's title.
    void ShowException(const std::exception& error);
    // Shows a message box, or asks MessageBoxHook (tests) instead.
    int MessageBox(const std::string& text, const std::string& caption, unsigned flags);
    TMessageBoxHook MessageBoxHook;

    int HookMainWindow(TWindowHook hook);
    void UnhookMainWindow(int id);

    // Tooltips: the hint of the control under the mouse shows after HintPause milliseconds.
    int HintPause = 500;
    void CancelHint();
    bool HintShowing() const { return hintShowing_; }
    const std::string& ShownHint() const { return shownHint_; }

    // The control under the mouse; changing it sends mouse-leave and mouse-enter.
    TControl* MouseControl() const { return mouseControl_; }
    void SetMouseControl(TControl* control);
    void ControlDestroyed(TControl* control);
    // Frees a form once the message that asked for it has been handled.
    void ReleaseForm(TForm* form);

private:
    void AddForm(TForm* form);
    void DestroyForms();
    bool ProcessMessage(void* msg);
    void ShowHintNow();
    void AppMessage(TMessage& message);
    friend struct TApplicationWindow;

    std::string title_;
    HWND handle_ = nullptr;
    HWND tooltip_ = nullptr;
    TForm* mainForm_ = nullptr;
    bool terminated_ = false;
    std::map<int, TWindowHook> hooks_;
    int nextHook_ = 1;
    TControl* mouseControl_ = nullptr;
    bool hintShowing_ = false;
    std::string shownHint_;
};

struct TApplicationAccess {
    TApplication* operator->() const;
    TApplication& operator*() const;
    // The application exists (it has been made and not yet destroyed).
    bool Alive() const;
};
extern TApplicationAccess Application;
