// TWinControl: the window behind a control, message dispatch, painting of windowless
// children, mouse routing, focus and tab order; and TCustomControl.
#include "Controls.h"

#include "Application.h"
#include "Screen.h"
#include "SysUtils.h"
#include "WinHandles.h"

#include <windowsx.h>

#include <algorithm>
#include <set>

namespace {

int g_dispatchDepth = 0;
int g_nextControlId = 100;

LRESULT CALLBACK ToolkitWndProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    return static_cast<LRESULT>(TWinControl::Dispatch(window, msg, wParam, lParam));
}

void RegisterToolkitClass(const std::string& name, UINT style) {
    static std::set<std::string> registered;
    if (registered.count(name)) return;
    WNDCLASSA wc{};
    wc.style = style;
    wc.lpfnWndProc = ToolkitWndProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = name.c_str();
    if (!RegisterClassA(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) RaiseLastOSError("RegisterClass");
    registered.insert(name);
}

TShiftState KeyShift() {
    TShiftState shift;
    if (GetKeyState(VK_SHIFT) < 0) shift.Include(TShiftKey::ssShift);
    if (GetKeyState(VK_CONTROL) < 0) shift.Include(TShiftKey::ssCtrl);
    if (GetKeyState(VK_MENU) < 0) shift.Include(TShiftKey::ssAlt);
    return shift;
}

bool IsMouseMessage(unsigned msg) { return msg >= WM_MOUSEFIRST && msg <= WM_MBUTTONDBLCLK; }

class TPaintScope {
public:
    TPaintScope(HWND window, HDC given) : window_(window), dc_(given) {
        if (!dc_) {
            dc_ = BeginPaint(window_, &ps_);
            own_ = true;
        }
    }
    TPaintScope(const TPaintScope&) = delete;
    TPaintScope& operator=(const TPaintScope&) = delete;
    ~TPaintScope() {
        if (own_) EndPaint(window_, &ps_);
    }
    HDC Get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
    PAINTSTRUCT ps_{};
    bool own_ = false;
};

}  // namespace

struct TWinControl::Impl {
    HWND handle = nullptr;
    WNDPROC defaultProc = nullptr;
    TGdiHandle<HFONT> font;
    TGdiHandle<HBRUSH> brush;
    TColor brushColor = clNone;
    TControl* captureControl = nullptr;
    bool creating = false;
};

TWinControl::TWinControl(TComponent* owner) : TControl(owner), impl_(std::make_unique<Impl>()) {}

TWinControl::~TWinControl() {
    MarkDestroying();
    while (!controls_.empty()) delete controls_.back();
    DestroyComponents();
    if (impl_->handle) {
        HWND window = impl_->handle;
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        if (impl_->defaultProc)
            SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(impl_->defaultProc));
        impl_->handle = nullptr;
        DestroyWindow(window);
    }
}

TWinControl* TWinControl::FromHandle(HWND window) {
    if (!window) return nullptr;
    return reinterpret_cast<TWinControl*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

bool TWinControl::IsPlatformControl() const { return impl_->defaultProc != nullptr; }

std::intptr_t TWinControl::Dispatch(HWND window, unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
    TWinControl* control = FromHandle(window);
    if (!control) return DefWindowProcA(window, msg, wParam, lParam);
    if (!control->impl_->handle) control->impl_->handle = window;
    TMessage message{msg, wParam, lParam, 0};
    ++g_dispatchDepth;
    try {
        control->WndProc(message);
    } catch (const std::exception& error) {
        Application->HandleException(control, error);
    } catch (...) {
        Application->HandleCurrentException(control);
    }
    if (--g_dispatchDepth == 0) TControlCanvas::FreeDeviceContexts();
    if (msg == WM_NCDESTROY) {
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        control->impl_->handle = nullptr;
        control->impl_->defaultProc = nullptr;
    }
    return message.Result;
}

HWND TWinControl::Handle() {
    if (!impl_->handle && !impl_->creating) {
        TWinControl* parent = Parent();
        if (parent && !parent->HandleAllocated()) parent->HandleNeeded();
        if (!impl_->handle) CreateWnd();
    }
    if (!impl_->handle) throw EInvalidOperation("Control '" + Name() + "' has no parent window");
    return impl_->handle;
}

bool TWinControl::HandleAllocated() const { return impl_->handle != nullptr; }

void TWinControl::CreateParams(TCreateParams& params) {
    params.Caption = TControl::Text();
    params.Style = WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    if (Visible()) params.Style |= WS_VISIBLE;
    if (!Enabled()) params.Style |= WS_DISABLED;
    params.X = Left();
    params.Y = Top();
    params.Width = Width();
    params.Height = Height();
    if (Parent()) params.WndParent = Parent()->Handle();
    params.WinClassName = ClassName();
    params.ClassStyle = CS_DBLCLKS;
}

void TWinControl::CreateWnd() {
    TCreateParams params;
    CreateParams(params);
    if ((params.Style & WS_CHILD) && !params.WndParent)
        throw EInvalidOperation("Control '" + Name() + "' has no parent window");
    bool platform = !params.SysClassName.empty();
    if (!platform) RegisterToolkitClass(params.WinClassName, params.ClassStyle);
    HMENU id = (params.Style & WS_CHILD) ? reinterpret_cast<HMENU>(static_cast<INT_PTR>(g_nextControlId++)) : nullptr;
    impl_->creating = true;
    HWND window = CreateWindowExA(params.ExStyle, platform ? params.SysClassName.c_str() : params.WinClassName.c_str(),
                                  params.Caption.c_str(), params.Style, params.X, params.Y, params.Width,
                                  params.Height, params.WndParent, id, GetModuleHandleA(nullptr), this);
    impl_->creating = false;
    if (!window) RaiseLastOSError("CreateWindowEx");
    impl_->handle = window;
    if (platform) {
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        impl_->defaultProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ToolkitWndProc)));
    }
    SendMessageA(window, WM_SETFONT, reinterpret_cast<WPARAM>(FontHandle()), FALSE);
    for (TControl* control : controls_)
        if (auto* child = dynamic_cast<TWinControl*>(control))
            if (!child->HandleAllocated()) child->CreateWnd();
}

void TWinControl::DestroyWnd() { DestroyHandle(); }

void TWinControl::DestroyHandle() {
    if (!impl_->handle) return;
    SetTextRaw(Text());
    for (TControl* control : controls_)
        if (auto* child = dynamic_cast<TWinControl*>(control)) child->DestroyHandle();
    DestroyWindow(impl_->handle);
    impl_->handle = nullptr;
    impl_->defaultProc = nullptr;
}

void TWinControl::RecreateWnd() {
    if (!HandleAllocated()) return;
    DestroyWnd();
    HandleNeeded();
}

void* TWinControl::FontHandle() {
    if (!impl_->font) {
        TFontStyles style = Font().Style();
        impl_->font.Reset(CreateFontA(Font().Height(), 0, 0, 0, style.Contains(TFontStyle::fsBold) ? FW_BOLD : FW_NORMAL,
                                      style.Contains(TFontStyle::fsItalic), style.Contains(TFontStyle::fsUnderline),
                                      style.Contains(TFontStyle::fsStrikeOut), static_cast<DWORD>(Font().Charset()),
                                      OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY,
                                      DEFAULT_PITCH | FF_DONTCARE, Font().Name().c_str()));
    }
    return impl_->font.Get();
}

TControl* TWinControl::Controls(int index) const {
    if (index < 0 || index >= ControlCount()) throw EListError("List index out of bounds (" + IntToStr(index) + ")");
    return controls_[static_cast<size_t>(index)];
}

void TWinControl::InsertControl(TControl* control) {
    controls_.push_back(control);
    control->parent_ = this;
    if (control->ParentColor()) control->CMParentColorChanged();
    if (control->ParentFont()) control->CMParentFontChanged();
    if (auto* child = dynamic_cast<TWinControl*>(control)) {
        if (HandleAllocated()) child->HandleNeeded();
    } else {
        control->Invalidate();
    }
    if (control->Align() != TAlign::alNone) AlignControls();
}

void TWinControl::RemoveControl(TControl* control) {
    auto it = std::find(controls_.begin(), controls_.end(), control);
    if (it == controls_.end()) return;
    if (impl_->captureControl == control) impl_->captureControl = nullptr;
    if (auto* child = dynamic_cast<TWinControl*>(control)) {
        child->DestroyHandle();
    } else {
        control->Invalidate();
    }
    controls_.erase(std::find(controls_.begin(), controls_.end(), control));
    control->parent_ = nullptr;
}

TControl* TWinControl::ControlAtPos(TPoint point, bool allowDisabled) const {
    for (auto it = controls_.rbegin(); it != controls_.rend(); ++it) {
        TControl* control = *it;
        if (dynamic_cast<TWinControl*>(control)) continue;
        if (!control->Visible() || (!control->Enabled() && !allowDisabled)) continue;
        if (control->BoundsRect().Contains(point)) return control;
    }
    return nullptr;
}

TControl* TWinControl::CaptureControl() const { return impl_->captureControl; }
void TWinControl::SetCaptureControl(TControl* control) { impl_->captureControl = control; }

void TWinControl::SetBounds(int left, int top, int width, int height) {
    if (left == Left() && top == Top() && width == Width() && height == Height()) return;
    if (HandleAllocated()) {
        SetWindowPos(impl_->handle, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
        // The window may refuse a size (a captioned window has a minimum width): keep what it took.
        TRect actual = WindowBounds();
        ApplyBounds(actual.Left, actual.Top, actual.Width(), actual.Height());
    } else {
        ApplyBounds(left, top, width, height);
    }
}

TRect TWinControl::WindowBounds() const {
    RECT r{};
    GetWindowRect(impl_->handle, &r);
    HWND parent = GetParent(impl_->handle);
    if (parent && (GetWindowLongA(impl_->handle, GWL_STYLE) & WS_CHILD))
        MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return TRect{r.left, r.top, r.right, r.bottom};
}

TRect TWinControl::ClientRect() const {
    if (!impl_->handle) return TControl::ClientRect();
    RECT r{};
    GetClientRect(impl_->handle, &r);
    return TRect{r.left, r.top, r.right, r.bottom};
}

std::string TWinControl::Text() const {
    if (!impl_->handle) return TControl::Text();
    int length = GetWindowTextLengthA(impl_->handle);
    std::string text(static_cast<size_t>(length) + 1, '\0');
    int copied = GetWindowTextA(impl_->handle, &text[0], length + 1);
    text.resize(static_cast<size_t>(copied));
    return text;
}

void TWinControl::SetTextRaw(const std::string& text) {
    TControl::SetTextRaw(text);
    if (impl_->handle) SetWindowTextA(impl_->handle, text.c_str());
}

void TWinControl::Invalidate() {
    if (!impl_->handle) return;
    InvalidateRect(impl_->handle, nullptr, !ControlStyle().Contains(TControlStyleFlag::csOpaque));
}

void TWinControl::Update() {
    if (impl_->handle) UpdateWindow(impl_->handle);
}

void TWinControl::Repaint() {
    Invalidate();
    Update();
}

void TWinControl::PaintTo(TCanvas& canvas, int x, int y) {
    HDC dc = canvas.Handle();
    TSavedDC saved(dc);
    OffsetViewportOrgEx(dc, x, y, nullptr);
    IntersectClipRect(dc, 0, 0, Width(), Height());
    Perform(WM_ERASEBKGND, reinterpret_cast<std::uintptr_t>(dc), 0);
    Perform(WM_PAINT, reinterpret_cast<std::uintptr_t>(dc), 0);
    for (TControl* control : controls_)
        if (auto* child = dynamic_cast<TWinControl*>(control))
            if (child->Visible()) child->PaintTo(canvas, child->Left(), child->Top());
}

void TWinControl::PaintControls(HDC dc, TControl* first) {
    bool started = first == nullptr;
    for (TControl* control : controls_) {
        if (!started) {
            if (control != first) continue;
            started = true;
        }
        if (dynamic_cast<TWinControl*>(control) || !control->Visible()) continue;
        RECT bounds{control->Left(), control->Top(), control->Left() + control->Width(),
                    control->Top() + control->Height()};
        if (!RectVisible(dc, &bounds)) continue;
        TSavedDC saved(dc);
        OffsetViewportOrgEx(dc, control->Left(), control->Top(), nullptr);
        IntersectClipRect(dc, 0, 0, control->Width(), control->Height());
        control->Perform(WM_PAINT, reinterpret_cast<std::uintptr_t>(dc), 0);
    }
}

void TWinControl::PaintWindow(HDC dc) {
    if (!IsPlatformControl()) return;
    TMessage message{WM_PAINT, reinterpret_cast<std::uintptr_t>(dc), 0, 0};
    DefaultHandler(message);
}

void TWinControl::EraseBackground(HDC dc) {
    TSavedDC saved(dc);
    for (TControl* control : controls_) {
        if (dynamic_cast<TWinControl*>(control) || !control->Visible()) continue;
        if (control->ControlStyle().Contains(TControlStyleFlag::csOpaque))
            ExcludeClipRect(dc, control->Left(), control->Top(), control->Left() + control->Width(),
                            control->Top() + control->Height());
    }
    TGdiHandle<HBRUSH> brush(CreateSolidBrush(ColorToRGB(Color())));
    RECT r{0, 0, Width(), Height()};
    FillRect(dc, &r, brush.Get());
}

void TWinControl::PaintHandler(TMessage& message) {
    TPaintScope paint(impl_->handle, reinterpret_cast<HDC>(message.WParam));
    HDC dc = paint.Get();
    {
        TSavedDC saved(dc);
        for (TControl* control : controls_) {
            if (dynamic_cast<TWinControl*>(control) || !control->Visible()) continue;
            if (control->ControlStyle().Contains(TControlStyleFlag::csOpaque))
                ExcludeClipRect(dc, control->Left(), control->Top(), control->Left() + control->Width(),
                                control->Top() + control->Height());
        }
        PaintWindow(dc);
    }
    PaintControls(dc, nullptr);
}

std::intptr_t TWinControl::CNCtlColor(HDC dc) {
    SetTextColor(dc, ColorToRGB(Font().Color()));
    SetBkColor(dc, ColorToRGB(Color()));
    if (!impl_->brush || impl_->brushColor != Color()) {
        impl_->brush.Reset(CreateSolidBrush(ColorToRGB(Color())));
        impl_->brushColor = Color();
    }
    return reinterpret_cast<std::intptr_t>(impl_->brush.Get());
}

void TWinControl::CMColorChanged() {
    TControl::CMColorChanged();
    for (TControl* control : std::vector<TControl*>(controls_)) control->CMParentColorChanged();
}

void TWinControl::CMFontChanged() {
    impl_->font.Reset();
    if (impl_->handle) SendMessageA(impl_->handle, WM_SETFONT, reinterpret_cast<WPARAM>(FontHandle()), TRUE);
    TControl::CMFontChanged();
    for (TControl* control : std::vector<TControl*>(controls_)) control->CMParentFontChanged();
}

void TWinControl::CMEnabledChanged() {
    if (impl_->handle) EnableWindow(impl_->handle, Enabled());
    TControl::CMEnabledChanged();
}

void TWinControl::CMVisibleChanged() {
    if (Visible() && Parent() && Parent()->HandleAllocated()) HandleNeeded();
    if (impl_->handle) ShowWindow(impl_->handle, Visible() ? SW_SHOW : SW_HIDE);
}

void TWinControl::Resize() {
    AlignControls();
    TControl::Resize();
}

void TWinControl::AlignControls() {
    TRect area = ClientRect();
    for (TAlign pass : {TAlign::alTop, TAlign::alBottom, TAlign::alLeft, TAlign::alRight, TAlign::alClient}) {
        for (TControl* control : controls_) {
            if (control->Align() != pass || !control->Visible()) continue;
            switch (pass) {
            case TAlign::alTop:
                control->SetBounds(area.Left, area.Top, area.Width(), control->Height());
                area.Top += control->Height();
                break;
            case TAlign::alBottom:
                control->SetBounds(area.Left, area.Bottom - control->Height(), area.Width(), control->Height());
                area.Bottom -= control->Height();
                break;
            case TAlign::alLeft:
                control->SetBounds(area.Left, area.Top, control->Width(), area.Height());
                area.Left += control->Width();
                break;
            case TAlign::alRight:
                control->SetBounds(area.Right - control->Width(), area.Top, control->Width(), area.Height());
                area.Right -= control->Width();
                break;
            default:
                control->SetBounds(area.Left, area.Top, area.Width(), area.Height());
                break;
            }
        }
    }
}

bool TWinControl::Focused() const { return impl_->handle && GetFocus() == impl_->handle; }

bool TWinControl::CanFocus() const {
    for (const TControl* control = this; control; control = control->Parent())
        if (!control->Visible() || !control->Enabled()) return false;
    return true;
}

void TWinControl::SetFocus() { ::SetFocus(Handle()); }

int TWinControl::TabOrder() const {
    if (!Parent()) return -1;
    int order = 0;
    for (TControl* control : Parent()->controls_) {
        if (control == this) return order;
        if (dynamic_cast<TWinControl*>(control)) ++order;
    }
    return -1;
}

void TWinControl::SetTabOrder(int order) {
    TWinControl* parent = Parent();
    if (!parent) return;
    auto& list = parent->controls_;
    list.erase(std::find(list.begin(), list.end(), this));
    int seen = 0;
    auto it = list.begin();
    for (; it != list.end(); ++it) {
        if (!dynamic_cast<TWinControl*>(*it)) continue;
        if (seen == order) break;
        ++seen;
    }
    list.insert(it, this);
}

namespace {
void CollectTabStops(const TWinControl* parent, std::vector<TWinControl*>& out) {
    for (int i = 0; i < parent->ControlCount(); ++i) {
        auto* child = dynamic_cast<TWinControl*>(parent->Controls(i));
        if (!child) continue;
        out.push_back(child);
        CollectTabStops(child, out);
    }
}
}  // namespace

TWinControl* TWinControl::FindNextControl(TWinControl* current, bool forward) const {
    std::vector<TWinControl*> all;
    CollectTabStops(this, all);
    if (all.empty()) return nullptr;
    auto it = std::find(all.begin(), all.end(), current);
    size_t start = it == all.end() ? (forward ? all.size() - 1 : 0) : static_cast<size_t>(it - all.begin());
    size_t count = all.size();
    for (size_t step = 1; step <= count; ++step) {
        size_t index = forward ? (start + step) % count : (start + count - step % count) % count;
        TWinControl* candidate = all[index];
        if (candidate->TabStop() && candidate->CanFocus()) return candidate;
    }
    return nullptr;
}

void TWinControl::SelectNext(TWinControl* current, bool forward) {
    if (TWinControl* next = FindNextControl(current, forward)) next->SetFocus();
}

void TWinControl::BroadcastFocusChanged(TWinControl* focused) {
    CMFocusChanged(focused);
    for (TControl* control : std::vector<TControl*>(controls_))
        if (auto* child = dynamic_cast<TWinControl*>(control)) child->BroadcastFocusChanged(focused);
}

void TWinControl::KeyDown(unsigned& key, TShiftState shift) {
    if (OnKeyDown) OnKeyDown(this, key, shift);
}

void TWinControl::KeyPress(char& key) {
    if (OnKeyPress) OnKeyPress(this, key);
}

void TWinControl::KeyUp(unsigned& key, TShiftState shift) {
    if (OnKeyUp) OnKeyUp(this, key, shift);
}

void TWinControl::DoEnter() {
    if (OnEnter) OnEnter(this);
}

void TWinControl::DoExit() {
    if (OnExit) OnExit(this);
}

void TWinControl::TrackMouseControl(TControl* control) {
    Application->SetMouseControl(control);
    POINT cursor{};
    GetCursorPos(&cursor);
    if (control && WindowFromPoint(cursor) == impl_->handle) {
        TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, impl_->handle, 0};
        TrackMouseEvent(&track);
    }
}

bool TWinControl::BroadcastDialogChar(char key) {
    for (TControl* control : controls_) {
        if (control->CMDialogChar(key)) return true;
        auto* container = dynamic_cast<TWinControl*>(control);
        if (container && container->BroadcastDialogChar(key)) return true;
    }
    return false;
}

bool TWinControl::RouteMouseToChild(TMessage& message) {
    TPoint point{GET_X_LPARAM(message.LParam), GET_Y_LPARAM(message.LParam)};
    TControl* target = nullptr;
    if (GetCapture() == impl_->handle) {
        target = impl_->captureControl;
    } else {
        target = ControlAtPos(point, false);
    }
    if (message.Msg == WM_MOUSEMOVE) {
        TControl* under = ClientRect().Contains(point) ? ControlAtPos(point, false) : nullptr;
        if (!under && ClientRect().Contains(point)) under = this;
        TrackMouseControl(under);
    }
    if (!target) return false;
    TMessage routed = message;
    routed.LParam = MAKELPARAM(point.X - target->Left(), point.Y - target->Top());
    target->WndProc(routed);
    message.Result = routed.Result;
    return true;
}

void TWinControl::WndProc(TMessage& message) {
    HWND window = impl_->handle;
    switch (message.Msg) {
    case WM_PAINT:
    case WM_PRINTCLIENT:
        PaintHandler(message);
        return;
    case WM_ERASEBKGND:
        if (IsPlatformControl()) break;
        if (!ControlStyle().Contains(TControlStyleFlag::csOpaque))
            EraseBackground(reinterpret_cast<HDC>(message.WParam));
        message.Result = 1;
        return;
    case WM_COMMAND:
        if (TWinControl* child = FromHandle(reinterpret_cast<HWND>(message.LParam))) {
            if (child != this) {
                child->CNCommand(HIWORD(message.WParam));
                return;
            }
        }
        break;
    case WM_DRAWITEM: {
        auto* item = reinterpret_cast<DRAWITEMSTRUCT*>(message.LParam);
        if (TWinControl* child = FromHandle(item->hwndItem)) {
            if (child != this) {
                child->CNDrawItem(item);
                message.Result = TRUE;
                return;
            }
        }
        break;
    }
    case WM_MEASUREITEM:
        if (window) {
            if (TWinControl* child = FromHandle(GetDlgItem(window, static_cast<int>(message.WParam)))) {
                child->CNMeasureItem(reinterpret_cast<void*>(message.LParam));
                message.Result = TRUE;
                return;
            }
        }
        break;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN: {
        TWinControl* child = FromHandle(reinterpret_cast<HWND>(message.LParam));
        if (child && child != this) {
            message.Result = child->CNCtlColor(reinterpret_cast<HDC>(message.WParam));
            return;
        }
        if (IsPlatformControl()) {
            message.Result = CNCtlColor(reinterpret_cast<HDC>(message.WParam));
            return;
        }
        break;
    }
    case WM_SETFOCUS:
        DefaultHandler(message);
        DoEnter();
        if (TWinControl* form = GetParentForm(this)) form->BroadcastFocusChanged(this);
        return;
    case WM_KILLFOCUS:
        DefaultHandler(message);
        DoExit();
        return;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: {
        unsigned key = static_cast<unsigned>(message.WParam);
        KeyDown(key, KeyShift());
        if (key == 0) return;
        message.WParam = key;
        break;
    }
    case WM_KEYUP:
    case WM_SYSKEYUP: {
        unsigned key = static_cast<unsigned>(message.WParam);
        KeyUp(key, KeyShift());
        if (key == 0) return;
        message.WParam = key;
        break;
    }
    case WM_CHAR: {
        char key = static_cast<char>(message.WParam);
        KeyPress(key);
        if (key == 0) return;
        message.WParam = static_cast<unsigned char>(key);
        break;
    }
    case WM_SYSCHAR: {
        TWinControl* form = GetParentForm(this);
        if (form && form->BroadcastDialogChar(static_cast<char>(message.WParam))) return;
        break;
    }
    case WM_WINDOWPOSCHANGED: {
        DefaultHandler(message);
        TRect actual = WindowBounds();
        ApplyBounds(actual.Left, actual.Top, actual.Width(), actual.Height());
        // Shown, hidden, minimised or restored: the bounds alone may not tell.
        NotifyViewChanged();
        return;
    }
    case WM_SETCURSOR:
        if (LOWORD(message.LParam) == HTCLIENT && reinterpret_cast<HWND>(message.WParam) == window) {
            POINT cursor{};
            GetCursorPos(&cursor);
            ::ScreenToClient(window, &cursor);
            TControl* control = impl_->captureControl;
            if (!control) control = ControlAtPos(Point(cursor.x, cursor.y), false);
            if (!control) control = this;
            if (control->Cursor() != crDefault) {
                ::SetCursor(Screen->Cursors(control->Cursor()));
                message.Result = TRUE;
                return;
            }
        }
        break;
    case WM_MOUSELEAVE: {
        TControl* under = Application->MouseControl();
        if (under == this || (under && under->Parent() == this && !dynamic_cast<TWinControl*>(under)))
            Application->SetMouseControl(nullptr);
        break;
    }
    case WM_CAPTURECHANGED:
        impl_->captureControl = nullptr;
        break;
    default:
        if (IsMouseMessage(message.Msg)) {
            if (RouteMouseToChild(message)) return;
        }
        break;
    }
    TControl::WndProc(message);
}

void TWinControl::DefaultHandler(TMessage& message) {
    if (!impl_->handle) return;
    message.Result = CallWindowProcA(impl_->defaultProc ? impl_->defaultProc : DefWindowProcA, impl_->handle,
                                     message.Msg, message.WParam, message.LParam);
}

TCustomControl::TCustomControl(TComponent* owner)
    : TWinControl(owner), canvas_(std::make_unique<TControlCanvas>(*this)) {}

TCustomControl::~TCustomControl() = default;

void TCustomControl::PaintWindow(HDC dc) {
    TCanvasLock lock(*canvas_);
    canvas_->FreeHandle();
    canvas_->SetHandle(dc);
    struct Detach {
        TCanvas& canvas;
        ~Detach() { canvas.SetHandle(nullptr); }
    } detach{*canvas_};
    Paint();
}

TWinControl* GetParentForm(TControl* control) {
    TWinControl* form = nullptr;
    for (TControl* c = control; c; c = c->Parent())
        if (auto* windowed = dynamic_cast<TWinControl*>(c)) form = windowed;
    return form;
}
