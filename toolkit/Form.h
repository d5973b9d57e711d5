// TForm: a top-level window whose class is named after the form's class (e.g. "TfoMain").
// Forms start hidden; Show makes the window. OnCreate runs from Application->CreateForm
// (or DoCreate), once the derived form is fully built.
#pragma once

#include "Controls.h"
#include "Icon.h"

#include <functional>
#include <string>
#include <vector>

enum class TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow };
enum class TBorderIcon { biSystemMenu, biMinimize, biMaximize };
using TBorderIcons = TSet<TBorderIcon>;
enum class TPosition { poDesigned, poScreenCenter };
enum class TCloseAction { caNone, caHide, caFree, caMinimize };
using TCloseEvent = std::function<void(TObject* sender, TCloseAction& action)>;
// Why a form closes: the user or the program, the end of the user's session (log-off,
// shutdown), or an installer that closes the program to replace its files and starts it again.
enum class TCloseReason { crUser, crSessionEnd, crAppUpdate };

class TForm : public TCustomControl {
public:
    explicit TForm(TComponent* owner);
    ~TForm() override;

    TFormBorderStyle BorderStyle() const { return borderStyle_; }
    void SetBorderStyle(TFormBorderStyle style);
    TBorderIcons BorderIcons() const { return borderIcons_; }
    void SetBorderIcons(TBorderIcons icons);
    TPosition Position() const { return position_; }
    void SetPosition(TPosition position) { position_ = position; }
    TIcon& Icon() { return icon_; }

    TRect ClientRect() const override;
    void SetBounds(int left, int top, int width, int height) override;
    void SetClientSize(int width, int height) override;
    void SetClientWidth(int width) { SetClientSize(width, ClientHeight()); }
    void SetClientHeight(int height) { SetClientSize(ClientWidth(), height); }

    // Asks OnClose what to do; closing the main form ends the application. The end of
    // the user's session (log-off, shutdown) closes every form the same way.
    void Close();
    // Why the close that runs now (or ran last) happened; crUser until the session's end.
    TCloseReason CloseReason() const { return closeReason_; }
    bool Active() const;
    void BringToFront();

    // An item at the end of the window's system menu (the title bar's icon, Alt+Space).
    void AddSystemMenuItem(const std::string& caption, TNotifyEvent onClick);

    void DoCreate();
    void DoDestroy();

    TNotifyEvent OnCreate;
    TNotifyEvent OnActivate;
    TNotifyEvent OnDeactivate;
    TCloseEvent OnClose;
    TNotifyEvent OnDestroy;
    TNotifyEvent OnShow;
    TNotifyEvent OnHide;
    TNotifyEvent OnPaint;

    void WndProc(TMessage& message) override;

protected:
    void CreateParams(TCreateParams& params) override;
    void CreateWnd() override;
    void CMVisibleChanged() override;
    void Paint() override;
    virtual void Activate();
    virtual void Deactivate();

private:
    void UpdateIcon();
    std::vector<TNotifyEvent> systemMenuItems_;
    TFormBorderStyle borderStyle_ = TFormBorderStyle::bsSizeable;
    TBorderIcons borderIcons_{TBorderIcon::biSystemMenu, TBorderIcon::biMinimize, TBorderIcon::biMaximize};
    TPosition position_ = TPosition::poDesigned;
    TIcon icon_;
    // A client size asked for before the window existed, applied again once it does.
    int requestedClientWidth_ = -1;
    int requestedClientHeight_ = -1;
    bool created_ = false;
    bool destroyed_ = false;
    TCloseReason closeReason_ = TCloseReason::crUser;
};
