// The tray icon: keeps the notification-area record, turns the shell's callbacks into events,
// re-adds the entry when the taskbar is made anew and retries an add the shell refused.
#include "VrTrayIcon.h"

#include "Application.h"
#include "Form.h"
#include "Menus.h"

namespace {
// The size message and its minimised reason, as the application window receives them.
constexpr unsigned kSizeMessage = 0x0005;
constexpr std::uintptr_t kSizeMinimized = 1;
constexpr unsigned kRetryTimer = 1;
// Refused adds are tried this many times more (the shell may not be up yet at log-on).
constexpr int kAddRetries = 5;

HWND MainFormHandle() {
    TForm* form = Application->MainForm();
    return form ? form->Handle() : nullptr;
}
}  // namespace

TVrCustomTrayIcon::TVrCustomTrayIcon(TComponent* owner) : TVrComponent(owner) {
    icon_.OnChange = [this](TObject*) { UpdateTrayIcon(); };
    window_ = std::make_unique<TNotifyWindow>([this](TMessage& message) { return TrayWndProc(message); });
    record_.SetWindow(window_->Handle());
    if (!Designing())
        applicationHook_ = Application->HookMainWindow([this](TMessage& message) {
            ApplicationMessage(message);
            return false;
        });
}

TVrCustomTrayIcon::~TVrCustomTrayIcon() {
    SetVisible(false);
    StopRetrying();
    icon_.OnChange = nullptr;
    if (applicationHook_) Application->UnhookMainWindow(applicationHook_);
}

void TVrCustomTrayIcon::SetVisible(bool visible) {
    if (visible == visible_) return;
    visible_ = visible;
    UpdateTrayIcon();
}

void TVrCustomTrayIcon::SetHint(const std::string& hint) {
    if (hint == hint_) return;
    hint_ = hint;
    UpdateTip();
}

void TVrCustomTrayIcon::SetShowHint(bool showHint) {
    if (showHint == showHint_) return;
    showHint_ = showHint;
    UpdateTip();
}

void TVrCustomTrayIcon::UpdateTip() {
    record_.SetTip(showHint_ ? hint_ : std::string());
    UpdateTrayIcon();
}

void TVrCustomTrayIcon::SetPopupMenu(TPopupMenu* menu) {
    if (menu == popupMenu_) return;
    if (popupMenu_) popupMenu_->RemoveFreeNotification(this);
    popupMenu_ = menu;
    if (popupMenu_) popupMenu_->FreeNotification(this);
}

void TVrCustomTrayIcon::Notification(TComponent* component, TOperation operation) {
    TVrComponent::Notification(component, operation);
    if (operation == TOperation::opRemove && component == popupMenu_) popupMenu_ = nullptr;
}

void TVrCustomTrayIcon::UpdateTrayIcon() {
    if (icon_.Empty() || Designing()) return;
    if (!visible_) {
        StopRetrying();
        if (added_) {
            NotifyIconShell().Notify(NotifyIconMessage::Delete, record_);
            added_ = false;
        }
        return;
    }
    record_.SetIcon(icon_.Handle());
    if (added_)
        NotifyIconShell().Notify(NotifyIconMessage::Modify, record_);
    else
        AddEntry();
}

void TVrCustomTrayIcon::AddEntry() {
    if (NotifyIconShell().Notify(NotifyIconMessage::Add, record_)) {
        added_ = true;
        StopRetrying();
        return;
    }
    if (retriesLeft_ > 0) return;
    retriesLeft_ = kAddRetries;
    window_->StartTimer(kRetryTimer, AddRetryInterval);
}

void TVrCustomTrayIcon::StopRetrying() {
    if (retriesLeft_ == 0) return;
    retriesLeft_ = 0;
    window_->StopTimer(kRetryTimer);
}

bool TVrCustomTrayIcon::TrayWndProc(TMessage& message) {
    if (message.Msg == TNotifyIconData::kCallbackMessage) {
        if (enabled_) MouseCallback(static_cast<unsigned>(message.LParam));
        return true;
    }
    if (message.Msg == TaskbarCreatedMessage()) {
        // The new taskbar has none of the old entries.
        added_ = false;
        UpdateTrayIcon();
        return true;
    }
    if (message.Msg == Msg::Timer && message.WParam == kRetryTimer) {
        // A refusal here keeps counting down rather than starting over.
        if (!added_) UpdateTrayIcon();
        if (retriesLeft_ > 0 && --retriesLeft_ == 0) window_->StopTimer(kRetryTimer);
        return true;
    }
    return false;
}

void TVrCustomTrayIcon::MouseCallback(unsigned mouseMessage) {
    const TShiftState shift = KeyboardShiftState();
    const TPoint at = CursorScreenPos();
    switch (mouseMessage) {
    case Msg::MouseMove:
        MouseMove(shift, at.X, at.Y);
        break;
    case Msg::LButtonDown:
        MouseDown(TMouseButton::mbLeft, shift + TShiftKey::ssLeft, at.X, at.Y);
        clickPending_ = true;
        if (leftBtnPopup_) {
            clickPending_ = false;
            PopupAtCursor();
        }
        break;
    case Msg::LButtonUp:
        if (clickPending_) {
            clickPending_ = false;
            Click();
        }
        MouseUp(TMouseButton::mbLeft, shift + TShiftKey::ssLeft, at.X, at.Y);
        break;
    case Msg::RButtonDown:
        MouseDown(TMouseButton::mbRight, shift + TShiftKey::ssRight, at.X, at.Y);
        PopupAtCursor();
        break;
    case Msg::RButtonUp:
        MouseUp(TMouseButton::mbRight, shift + TShiftKey::ssRight, at.X, at.Y);
        break;
    case Msg::MButtonDown:
        MouseDown(TMouseButton::mbMiddle, shift + TShiftKey::ssMiddle, at.X, at.Y);
        break;
    case Msg::MButtonUp:
        MouseUp(TMouseButton::mbMiddle, shift + TShiftKey::ssMiddle, at.X, at.Y);
        break;
    case Msg::LButtonDblClk:
    case Msg::RButtonDblClk:
    case Msg::MButtonDblClk:
        DblClick();
        break;
    default:
        break;
    }
}

void TVrCustomTrayIcon::PopupAtCursor() {
    if (!popupMenu_) return;
    const TPoint at = CursorScreenPos();
    Application->ProcessMessages();
    ForegroundWindow(MainFormHandle());
    popupMenu_->Popup(at.X, at.Y);
    PostNullMessage(MainFormHandle());
}

void TVrCustomTrayIcon::ApplicationMessage(const TMessage& message) {
    if (message.Msg == kSizeMessage && message.WParam == kSizeMinimized && hideTaskBtn_) {
        HideApplication();
        SetVisible(true);
    }
}

void TVrCustomTrayIcon::HideApplication() {
    HideWindow(Application->Handle());
    HideWindow(MainFormHandle());
}

void TVrCustomTrayIcon::RestoreApplication() {
    RestoreWindow(Application->Handle());
    RestoreWindow(MainFormHandle());
}

void TVrCustomTrayIcon::Click() {
    if (OnClick) OnClick(this);
}

void TVrCustomTrayIcon::DblClick() {
    if (OnDblClick) OnDblClick(this);
}

void TVrCustomTrayIcon::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    if (OnMouseDown) OnMouseDown(this, button, shift, x, y);
}

void TVrCustomTrayIcon::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    if (OnMouseUp) OnMouseUp(this, button, shift, x, y);
}

void TVrCustomTrayIcon::MouseMove(TShiftState shift, int x, int y) {
    if (OnMouseMove) OnMouseMove(this, shift, x, y);
}
