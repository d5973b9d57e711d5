// Top-level forms: window styles, client size, activation and closing.
#include "Form.h"

#include "Application.h"
#include "SysUtils.h"

#include "Win.h"

namespace {

// The platform's own system commands start here; the low four bits of a command are its own.
constexpr WPARAM SystemCommandFirst = 0xF000;
constexpr WPARAM SystemCommandMask = 0xFFF0;
constexpr WPARAM SystemMenuIdStep = 0x10;

DWORD FormStyle(TFormBorderStyle border, TBorderIcons icons) {
    DWORD style = WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
    switch (border) {
    case TFormBorderStyle::bsNone: return style | WS_POPUP;
    case TFormBorderStyle::bsSingle: style |= WS_CAPTION | WS_BORDER; break;
    case TFormBorderStyle::bsSizeable: style |= WS_CAPTION | WS_THICKFRAME; break;
    case TFormBorderStyle::bsDialog: style |= WS_CAPTION | DS_MODALFRAME; break;
    case TFormBorderStyle::bsToolWindow: style |= WS_CAPTION; break;
    }
    if (icons.Contains(TBorderIcon::biSystemMenu)) {
        style |= WS_SYSMENU;
        if (border != TFormBorderStyle::bsDialog && border != TFormBorderStyle::bsToolWindow) {
            if (icons.Contains(TBorderIcon::biMinimize)) style |= WS_MINIMIZEBOX;
            if (icons.Contains(TBorderIcon::biMaximize)) style |= WS_MAXIMIZEBOX;
        }
    }
    return style;
}

DWORD FormExStyle(TFormBorderStyle border) {
    if (border == TFormBorderStyle::bsDialog) return WS_EX_DLGMODALFRAME;
    if (border == TFormBorderStyle::bsToolWindow) return WS_EX_TOOLWINDOW;
    return 0;
}

}  // namespace

TForm::TForm(TComponent* owner) : TCustomControl(owner) {
    SetVisible(false);
    SetColor(clBtnFace);
    SetBounds(0, 0, 320, 240);
    Font().SetColor(clWindowText);
    icon_.OnChange = [this](TObject*) { UpdateIcon(); };
}

TForm::~TForm() { DoDestroy(); }

void TForm::DoCreate() {
    if (created_) return;
    created_ = true;
    if (OnCreate) OnCreate(this);
}

void TForm::DoDestroy() {
    if (destroyed_) return;
    destroyed_ = true;
    if (OnDestroy) OnDestroy(this);
}

void TForm::SetBorderStyle(TFormBorderStyle style) {
    if (style == borderStyle_) return;
    borderStyle_ = style;
    RecreateWnd();
}

void TForm::SetBorderIcons(TBorderIcons icons) {
    if (icons == borderIcons_) return;
    borderIcons_ = icons;
    RecreateWnd();
}

void TForm::CreateParams(TCreateParams& params) {
    TCustomControl::CreateParams(params);
    params.Style = FormStyle(borderStyle_, borderIcons_);
    params.ExStyle = FormExStyle(borderStyle_);
    params.WndParent = Application->Handle();
    if (position_ == TPosition::poScreenCenter) {
        params.X = (GetSystemMetrics(SM_CXSCREEN) - Width()) / 2;
        params.Y = (GetSystemMetrics(SM_CYSCREEN) - Height()) / 2;
    }
}

void TForm::CreateWnd() {
    TCustomControl::CreateWnd();
    UpdateIcon();
    if (requestedClientWidth_ >= 0) SetClientSize(requestedClientWidth_, requestedClientHeight_);
}

void TForm::SetBounds(int left, int top, int width, int height) {
    requestedClientWidth_ = requestedClientHeight_ = -1;
    TCustomControl::SetBounds(left, top, width, height);
}

void TForm::UpdateIcon() {
    if (!HandleAllocated()) return;
    SendMessageA(Handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_.Handle()));
    SendMessageA(Handle(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_.Handle()));
}

TRect TForm::ClientRect() const {
    if (HandleAllocated()) return TCustomControl::ClientRect();
    RECT frame{0, 0, 0, 0};
    AdjustWindowRectEx(&frame, FormStyle(borderStyle_, borderIcons_), FALSE, FormExStyle(borderStyle_));
    return Rect(0, 0, Width() - (frame.right - frame.left), Height() - (frame.bottom - frame.top));
}

void TForm::SetClientSize(int width, int height) {
    RECT frame{0, 0, width, height};
    AdjustWindowRectEx(&frame, FormStyle(borderStyle_, borderIcons_), FALSE, FormExStyle(borderStyle_));
    SetBounds(Left(), Top(), frame.right - frame.left, frame.bottom - frame.top);
    TRect client = ClientRect();
    if (client.Width() != width || client.Height() != height)
        SetBounds(Left(), Top(), Width() + width - client.Width(), Height() + height - client.Height());
    if (!HandleAllocated()) {
        requestedClientWidth_ = width;
        requestedClientHeight_ = height;
    }
}

void TForm::CMVisibleChanged() {
    if (Visible()) {
        ShowWindow(Handle(), SW_SHOWNORMAL);
        if (OnShow) OnShow(this);
    } else if (HandleAllocated()) {
        ShowWindow(Handle(), SW_HIDE);
        if (OnHide) OnHide(this);
    }
}

void TForm::Close() {
    TCloseAction action = TCloseAction::caHide;
    if (OnClose) OnClose(this, action);
    if (action == TCloseAction::caNone) return;
    if (Application->MainForm() == this) {
        Hide();
        Application->Terminate();
        return;
    }
    switch (action) {
    case TCloseAction::caHide: Hide(); break;
    case TCloseAction::caMinimize: ShowWindow(Handle(), SW_MINIMIZE); break;
    case TCloseAction::caFree: Hide(); Application->ReleaseForm(this); break;
    case TCloseAction::caNone: break;
    }
}

bool TForm::Active() const { return HandleAllocated() && GetActiveWindow() == const_cast<TForm*>(this)->Handle(); }

void TForm::BringToFront() {
    if (HandleAllocated()) SetForegroundWindow(Handle());
}

void TForm::Activate() {
    if (OnActivate) OnActivate(this);
}

void TForm::Deactivate() {
    if (OnDeactivate) OnDeactivate(this);
}

void TForm::Paint() {
    if (OnPaint) OnPaint(this);
}

void TForm::AddSystemMenuItem(const std::string& caption, TNotifyEvent onClick) {
    HMENU menu = GetSystemMenu(Handle(), FALSE);
    if (!menu) RaiseLastOSError("GetSystemMenu");
    systemMenuItems_.push_back(std::move(onClick));
    const UINT_PTR id = systemMenuItems_.size() * SystemMenuIdStep;
    if (systemMenuItems_.size() == 1) AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    if (!AppendMenuA(menu, MF_STRING, id, caption.c_str())) RaiseLastOSError("AppendMenu");
}

void TForm::WndProc(TMessage& message) {
    switch (message.Msg) {
    case WM_CLOSE:
        Close();
        return;
    case WM_ACTIVATE:
        TCustomControl::WndProc(message);
        if (LOWORD(message.WParam) == WA_INACTIVE) Deactivate();
        else Activate();
        return;
    case WM_QUERYENDSESSION:
        message.Result = TRUE;
        return;
    case WM_ENDSESSION:
        // The user logs off, the machine shuts down, or an installer closes the program
        // for an update: the process may be ended as soon as this returns, so the form's
        // close runs now.
        if (message.WParam) {
            closeReason_ = (message.LParam & ENDSESSION_CLOSEAPP) ? TCloseReason::crAppUpdate
                                                                   : TCloseReason::crSessionEnd;
            Close();
        }
        return;
    case WM_SYSCOMMAND: {
        const size_t item = (message.WParam & SystemCommandMask) / SystemMenuIdStep;
        if (message.WParam < SystemCommandFirst && item >= 1 && item <= systemMenuItems_.size()) {
            if (systemMenuItems_[item - 1]) systemMenuItems_[item - 1](this);
            return;
        }
        if ((message.WParam & SystemCommandMask) == SC_MINIMIZE && Application->MainForm() == this) {
            Application->Minimize();
            return;
        }
        break;
    }
    default:
        break;
    }
    TCustomControl::WndProc(message);
}
