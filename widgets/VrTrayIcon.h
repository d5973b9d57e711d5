// TVrCustomTrayIcon / TVrTrayIcon: an icon with a tooltip in the notification area, its mouse
// activity as events, an attached popup menu, and hiding the application there when minimised.
#pragma once

#include "Controls.h"
#include "Icon.h"
#include "NotifyIcon.h"
#include "VrControls.h"

#include <memory>
#include <string>

class TPopupMenu;

class TVrCustomTrayIcon : public TVrComponent {
public:
    explicit TVrCustomTrayIcon(TComponent* owner);
    ~TVrCustomTrayIcon() override;

    // Hides the application's top-level window and the main form.
    void HideApplication();
    // Shows both again with the restore command, the top-level window first.
    void RestoreApplication();
    // The hidden window that receives the notification-area callbacks.
    HWND Handle() const { return window_->Handle(); }

protected:
    TIcon& Icon() { return icon_; }
    // Copies the picture.
    void SetIcon(const TIcon& icon) { icon_.Assign(icon); }
    bool Visible() const { return visible_; }
    void SetVisible(bool visible);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled) { enabled_ = enabled; }
    const std::string& Hint() const { return hint_; }
    void SetHint(const std::string& hint);
    bool ShowHint() const { return showHint_; }
    void SetShowHint(bool showHint);
    TPopupMenu* PopupMenu() const { return popupMenu_; }
    void SetPopupMenu(TPopupMenu* menu);
    bool HideTaskBtn() const { return hideTaskBtn_; }
    void SetHideTaskBtn(bool hide) { hideTaskBtn_ = hide; }
    bool LeftBtnPopup() const { return leftBtnPopup_; }
    void SetLeftBtnPopup(bool popup) { leftBtnPopup_ = popup; }

    // Adds, modifies or deletes the entry so that it matches Visible and Icon.
    void UpdateTrayIcon();
    // The hidden window's procedure; true when the message was handled here.
    bool TrayWndProc(TMessage& message);
    void PopupAtCursor();

    virtual void Click();
    virtual void DblClick();
    virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
    virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
    virtual void MouseMove(TShiftState shift, int x, int y);
    void Notification(TComponent* component, TOperation operation) override;

    // Milliseconds between the tries of an add that the shell refused.
    unsigned AddRetryInterval = 1000;

public:
    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;
    TMouseEvent OnMouseDown;
    TMouseEvent OnMouseUp;
    TMouseMoveEvent OnMouseMove;

private:
    void UpdateTip();
    void AddEntry();
    void StopRetrying();
    void MouseCallback(unsigned mouseMessage);
    // Sees the application window's messages first: minimising may hide it in the tray.
    void ApplicationMessage(const TMessage& message);

    TIcon icon_;
    TNotifyIconData record_;
    std::unique_ptr<TNotifyWindow> window_;
    int applicationHook_ = 0;
    bool visible_ = false;
    bool enabled_ = true;
    std::string hint_;
    bool showHint_ = false;
    TPopupMenu* popupMenu_ = nullptr;
    bool hideTaskBtn_ = false;
    bool leftBtnPopup_ = false;
    bool added_ = false;
    bool clickPending_ = false;
    int retriesLeft_ = 0;
};

class TVrTrayIcon : public TVrCustomTrayIcon {
public:
    using TVrCustomTrayIcon::TVrCustomTrayIcon;
    using TVrCustomTrayIcon::Icon;
    using TVrCustomTrayIcon::SetIcon;
    using TVrCustomTrayIcon::Visible;
    using TVrCustomTrayIcon::SetVisible;
    using TVrCustomTrayIcon::Enabled;
    using TVrCustomTrayIcon::SetEnabled;
    using TVrCustomTrayIcon::Hint;
    using TVrCustomTrayIcon::SetHint;
    using TVrCustomTrayIcon::ShowHint;
    using TVrCustomTrayIcon::SetShowHint;
    using TVrCustomTrayIcon::PopupMenu;
    using TVrCustomTrayIcon::SetPopupMenu;
    using TVrCustomTrayIcon::HideTaskBtn;
    using TVrCustomTrayIcon::SetHideTaskBtn;
    using TVrCustomTrayIcon::LeftBtnPopup;
    using TVrCustomTrayIcon::SetLeftBtnPopup;
    using TVrCustomTrayIcon::AddRetryInterval;
};
