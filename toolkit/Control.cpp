// TControl, its canvas, and the windowless TGraphicControl.
#include "Controls.h"

#include "Application.h"
#include "Menus.h"
#include "SysUtils.h"
#include "WinHandles.h"

#include <windowsx.h>

#include <algorithm>

namespace {

std::vector<TControlCanvas*>& AcquiredCanvases() {
    static std::vector<TControlCanvas*> canvases;
    return canvases;
}

TShiftState MouseShift(std::uintptr_t keys) {
    TShiftState shift;
    if (keys & MK_SHIFT) shift.Include(TShiftKey::ssShift);
    if (keys & MK_CONTROL) shift.Include(TShiftKey::ssCtrl);
    if (keys & MK_LBUTTON) shift.Include(TShiftKey::ssLeft);
    if (keys & MK_RBUTTON) shift.Include(TShiftKey::ssRight);
    if (keys & MK_MBUTTON) shift.Include(TShiftKey::ssMiddle);
    if (GetKeyState(VK_MENU) < 0) shift.Include(TShiftKey::ssAlt);
    return shift;
}

// Detaches a canvas from a paint DC when the scope ends, also on failure.
class TAttachedDC {
public:
    TAttachedDC(TCanvas& canvas, HDC dc) : canvas_(canvas) { canvas_.SetHandle(dc); }
    TAttachedDC(const TAttachedDC&) = delete;
    TAttachedDC& operator=(const TAttachedDC&) = delete;
    ~TAttachedDC() { canvas_.SetHandle(nullptr); }

private:
    TCanvas& canvas_;
};

// The control that got the last plain left press; the second press of a double click
// is one only for that control.
const TControl* lastLeftPress = nullptr;

}  // namespace

TControl::TControl(TComponent* owner) : TComponent(owner) {
    controlStyle_ = {TControlStyleFlag::csCaptureMouse, TControlStyleFlag::csClickEvents,
                     TControlStyleFlag::csSetCaption, TControlStyleFlag::csDoubleClicks};
    font_.OnChange = [this](TObject*) {
        if (!parentFontUpdating_) parentFont_ = false;
        CMFontChanged();
    };
}

TControl::~TControl() {
    MarkDestroying();
    if (lastLeftPress == this) lastLeftPress = nullptr;
    if (Application.Alive()) Application->ControlDestroyed(this);
    if (popupMenu_) RemoveFreeNotification(popupMenu_);
    if (parent_) parent_->RemoveControl(this);
    DestroyComponents();
}

void TControl::SetParent(TWinControl* parent) {
    if (parent == parent_) return;
    if (parent == this) throw EInvalidOperation("A control cannot have itself as its parent");
    if (parent_) parent_->RemoveControl(this);
    if (parent) parent->InsertControl(this);
    NotifyViewChanged();
}

void TControl::ApplyBounds(int left, int top, int width, int height) {
    bool resized = width != width_ || height != height_;
    bool moved = left != left_ || top != top_;
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
    if (resized) Resize();
    if (resized || moved) NotifyViewChanged();
}

bool TControl::CanBeSeen() const {
    if (!visible_) return false;
    auto* self = dynamic_cast<TWinControl*>(const_cast<TControl*>(this));
    TWinControl* host = self ? self : parent_;
    if (!host || !host->HandleAllocated()) return false;
    const HWND window = host->Handle();
    if (!IsWindowVisible(window)) return false;
    RECT area{left_, top_, left_ + width_, top_ + height_};
    if (self)
        GetWindowRect(window, &area);
    else
        MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&area), 2);
    // A windowed control is clipped by the windows that hold it, a windowless one by its own window too.
    HWND clip = self ? nullptr : window;
    if (self && (GetWindowLongA(window, GWL_STYLE) & WS_CHILD)) clip = GetParent(window);
    const HWND top = GetAncestor(window, GA_ROOT);
    for (; clip; clip = (GetWindowLongA(clip, GWL_STYLE) & WS_CHILD) ? GetParent(clip) : nullptr) {
        RECT client{};
        GetClientRect(clip, &client);
        MapWindowPoints(clip, nullptr, reinterpret_cast<POINT*>(&client), 2);
        if (!IntersectRect(&area, &area, &client)) return false;
    }
    return !IsIconic(top);
}

void TControl::NotifyViewChanged() {
    CMViewChanged();
    auto* window = dynamic_cast<TWinControl*>(this);
    if (!window) return;
    const std::vector<TControl*> inside = window->controls_;
    for (TControl* control : inside) control->NotifyViewChanged();
}

void TControl::SetBounds(int left, int top, int width, int height) {
    if (left == left_ && top == top_ && width == width_ && height == height_) return;
    Invalidate();
    ApplyBounds(left, top, width, height);
    Invalidate();
}

void TControl::SetClientSize(int width, int height) {
    TRect client = ClientRect();
    SetBounds(left_, top_, width_ + width - client.Width(), height_ + height - client.Height());
}

void TControl::SetAutoSize(bool autoSize) {
    if (autoSize == autoSize_) return;
    autoSize_ = autoSize;
    if (autoSize_) AdjustSize();
}

void TControl::SetAlign(TAlign align) {
    if (align == align_) return;
    align_ = align;
    if (parent_) parent_->AlignControls();
}

void TControl::SetVisible(bool visible) {
    if (visible == visible_) return;
    if (!visible) Invalidate();
    visible_ = visible;
    CMVisibleChanged();
    if (visible) Invalidate();
    NotifyViewChanged();
}

void TControl::SetEnabled(bool enabled) {
    if (enabled == enabled_) return;
    enabled_ = enabled;
    CMEnabledChanged();
}

void TControl::SetColor(TColor color) {
    if (color == color_) {
        parentColor_ = false;
        return;
    }
    color_ = color;
    parentColor_ = false;
    CMColorChanged();
}

void TControl::SetParentColor(bool parentColor) {
    if (parentColor == parentColor_) return;
    parentColor_ = parentColor;
    if (parentColor_) CMParentColorChanged();
}

void TControl::SetParentFont(bool parentFont) {
    if (parentFont == parentFont_) return;
    parentFont_ = parentFont;
    if (parentFont_) CMParentFontChanged();
}

void TControl::CMParentColorChanged() {
    if (!parentColor_ || !parent_ || parent_->Color() == color_) return;
    color_ = parent_->Color();
    CMColorChanged();
}

void TControl::CMParentFontChanged() {
    if (!parentFont_ || !parent_ || parent_->Font() == font_) return;
    parentFontUpdating_ = true;
    try {
        font_.Assign(parent_->Font());
    } catch (...) {
        parentFontUpdating_ = false;
        throw;
    }
    parentFontUpdating_ = false;
}

std::string TControl::Text() const { return text_; }

void TControl::SetText(const std::string& text) {
    if (text == Text()) return;
    SetTextRaw(text);
    CMTextChanged();
}

void TControl::SetTextRaw(const std::string& text) { text_ = text; }

void TControl::SetPopupMenu(TPopupMenu* menu) {
    if (menu == popupMenu_) return;
    if (popupMenu_) RemoveFreeNotification(popupMenu_);
    popupMenu_ = menu;
    if (menu) FreeNotification(menu);
}

void TControl::Loaded() {
    TComponent::Loaded();
    if (parentColor_) CMParentColorChanged();
    if (parentFont_) CMParentFontChanged();
}

void TControl::CMFontChanged() { Invalidate(); }
void TControl::CMTextChanged() { Invalidate(); }
void TControl::CMColorChanged() { Invalidate(); }
void TControl::CMEnabledChanged() { Invalidate(); }

void TControl::Resize() {
    if (OnResize) OnResize(this);
}

void TControl::Invalidate() {}
void TControl::Repaint() {}
void TControl::Update() {}

void TControl::PaintTo(TCanvas& canvas, int x, int y) {
    HDC dc = canvas.Handle();
    TSavedDC saved(dc);
    OffsetViewportOrgEx(dc, x, y, nullptr);
    IntersectClipRect(dc, 0, 0, width_, height_);
    Perform(WM_PAINT, reinterpret_cast<std::uintptr_t>(dc), 0);
}

TPoint TControl::ClientToScreen(TPoint point) const {
    if (auto* self = dynamic_cast<const TWinControl*>(this)) {
        if (self->HandleAllocated()) {
            POINT p{point.X, point.Y};
            ::ClientToScreen(const_cast<TWinControl*>(self)->Handle(), &p);
            return Point(p.x, p.y);
        }
    }
    TPoint origin = parent_ ? parent_->ClientToScreen(Point(left_, top_)) : Point(0, 0);
    return Point(origin.X + point.X, origin.Y + point.Y);
}

TPoint TControl::ScreenToClient(TPoint point) const {
    TPoint origin = ClientToScreen(Point(0, 0));
    return Point(point.X - origin.X, point.Y - origin.Y);
}

bool TControl::MouseCapture() const {
    if (auto* self = dynamic_cast<const TWinControl*>(this))
        return self->HandleAllocated() && GetCapture() == const_cast<TWinControl*>(self)->Handle();
    return parent_ && parent_->CaptureControl() == this;
}

void TControl::SetMouseCapture(bool capture) {
    if (capture == MouseCapture()) return;
    if (auto* self = dynamic_cast<TWinControl*>(this)) {
        if (capture) ::SetCapture(self->Handle());
        else ReleaseCapture();
        return;
    }
    if (!parent_) return;
    if (capture) {
        parent_->SetCaptureControl(this);
        ::SetCapture(parent_->Handle());
    } else {
        parent_->SetCaptureControl(nullptr);
        ReleaseCapture();
    }
}

std::intptr_t TControl::Perform(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
    TMessage message{msg, wParam, lParam, 0};
    WndProc(message);
    return message.Result;
}

void TControl::WndProc(TMessage& message) {
    switch (message.Msg) {
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_MBUTTONDBLCLK:
        HandleMouseMessage(message);
        return;
    case Msg::MouseEnter:
        CMMouseEnter();
        return;
    case Msg::MouseLeave:
        CMMouseLeave();
        return;
    case WM_SYSCOLORCHANGE:
        CMSysColorChange();
        DefaultHandler(message);
        return;
    default:
        DefaultHandler(message);
    }
}

void TControl::HandleMouseMessage(TMessage& message) {
    unsigned msg = message.Msg;
    // Windowless controls share their parent's window, which reports a double click
    // also when the first press went to another control: for this one it is a first press.
    if (msg == WM_LBUTTONDBLCLK && lastLeftPress != this) msg = WM_LBUTTONDOWN;
    if (msg == WM_LBUTTONDOWN) lastLeftPress = this;
    const bool secondPress = msg == WM_LBUTTONDBLCLK;
    bool doubleClicks = controlStyle_.Contains(TControlStyleFlag::csDoubleClicks);
    if (!doubleClicks && msg == WM_LBUTTONDBLCLK) msg = WM_LBUTTONDOWN;
    if (!doubleClicks && msg == WM_RBUTTONDBLCLK) msg = WM_RBUTTONDOWN;
    if (!doubleClicks && msg == WM_MBUTTONDBLCLK) msg = WM_MBUTTONDOWN;
    message.Msg = msg;
    DefaultHandler(message);
    int x = GET_X_LPARAM(message.LParam);
    int y = GET_Y_LPARAM(message.LParam);
    TShiftState shift = MouseShift(message.WParam);
    bool capture = controlStyle_.Contains(TControlStyleFlag::csCaptureMouse);
    bool clicks = controlStyle_.Contains(TControlStyleFlag::csClickEvents);
    switch (msg) {
    case WM_MOUSEMOVE:
        MouseMove(shift, x, y);
        break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        if (capture) SetMouseCapture(true);
        // One click per double click: its second press is the double click, not another click.
        if (secondPress) {
            shift.Include(TShiftKey::ssDouble);
            if (clicks && doubleClicks) DblClick();
        } else if (clicks) {
            clicked_ = true;
        }
        MouseDown(TMouseButton::mbLeft, shift, x, y);
        break;
    case WM_LBUTTONUP:
        if (capture) SetMouseCapture(false);
        if (clicked_) {
            clicked_ = false;
            if (ClientRect().Contains(Point(x, y))) Click();
        }
        MouseUp(TMouseButton::mbLeft, shift, x, y);
        break;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
        if (msg == WM_RBUTTONDBLCLK) shift.Include(TShiftKey::ssDouble);
        MouseDown(TMouseButton::mbRight, shift, x, y);
        break;
    case WM_RBUTTONUP:
        MouseUp(TMouseButton::mbRight, shift, x, y);
        if (popupMenu_ && popupMenu_->AutoPopup) {
            TPoint at = ClientToScreen(Point(x, y));
            popupMenu_->PopupComponent = this;
            popupMenu_->Popup(at.X, at.Y);
        }
        break;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK:
        if (msg == WM_MBUTTONDBLCLK) shift.Include(TShiftKey::ssDouble);
        MouseDown(TMouseButton::mbMiddle, shift, x, y);
        break;
    case WM_MBUTTONUP:
        MouseUp(TMouseButton::mbMiddle, shift, x, y);
        break;
    default:
        break;
    }
}

void TControl::Click() {
    if (OnClick) OnClick(this);
}

void TControl::DblClick() {
    if (OnDblClick) OnDblClick(this);
}

void TControl::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    Application->CancelHint();
    if (OnMouseDown) OnMouseDown(this, button, shift, x, y);
}

void TControl::MouseMove(TShiftState shift, int x, int y) {
    if (OnMouseMove) OnMouseMove(this, shift, x, y);
}

void TControl::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    if (OnMouseUp) OnMouseUp(this, button, shift, x, y);
}

void TControl::DefaultHandler(TMessage&) {}

TControlCanvas::~TControlCanvas() { FreeHandle(); }

void TControlCanvas::CreateHandle() {
    TWinControl* parent = control_.Parent();
    auto* windowed = dynamic_cast<TWinControl*>(&control_);
    if (windowed) window_ = windowed->Handle();
    else if (parent) window_ = parent->Handle();
    else return;
    ownDC_ = GetDCEx(window_, nullptr, DCX_CACHE | DCX_CLIPSIBLINGS);
    if (!ownDC_) return;
    ++GdiTally();
    if (!windowed) {
        SetViewportOrgEx(ownDC_, control_.Left(), control_.Top(), nullptr);
        IntersectClipRect(ownDC_, 0, 0, control_.Width(), control_.Height());
    }
    AcquiredCanvases().push_back(this);
    SetHandle(ownDC_);
}

void TControlCanvas::FreeHandle() {
    if (!ownDC_) return;
    if (HandleAllocated()) SetHandle(nullptr);
    ReleaseDC(window_, ownDC_);
    --GdiTally();
    ownDC_ = nullptr;
    window_ = nullptr;
    auto& list = AcquiredCanvases();
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

void TControlCanvas::FreeDeviceContexts() {
    std::vector<TControlCanvas*> canvases = AcquiredCanvases();
    for (TControlCanvas* canvas : canvases) canvas->FreeHandle();
}

TGraphicControl::TGraphicControl(TComponent* owner)
    : TControl(owner), canvas_(std::make_unique<TControlCanvas>(*this)) {}

TGraphicControl::~TGraphicControl() = default;

void TGraphicControl::Invalidate() {
    TWinControl* parent = Parent();
    if (!Visible() || !parent || !parent->HandleAllocated()) return;
    RECT r{Left(), Top(), Left() + Width(), Top() + Height()};
    InvalidateRect(parent->Handle(), &r, !ControlStyle().Contains(TControlStyleFlag::csOpaque));
}

void TGraphicControl::Repaint() {
    TWinControl* parent = Parent();
    if (!Visible() || !parent || !parent->HandleAllocated()) return;
    if (ControlStyle().Contains(TControlStyleFlag::csOpaque)) {
        TWindowDC dc(parent->Handle());
        TSavedDC saved(dc.Get());
        IntersectClipRect(dc.Get(), Left(), Top(), Left() + Width(), Top() + Height());
        parent->PaintControls(dc.Get(), this);
    } else {
        Invalidate();
        Update();
    }
}

void TGraphicControl::Update() {
    if (Parent()) Parent()->Update();
}

void TGraphicControl::WndProc(TMessage& message) {
    if (message.Msg == WM_PAINT) {
        WMPaint(reinterpret_cast<HDC>(message.WParam));
        return;
    }
    TControl::WndProc(message);
}

void TGraphicControl::WMPaint(HDC dc) {
    if (!dc) return;
    TCanvasLock lock(*canvas_);
    canvas_->FreeHandle();
    TAttachedDC attached(*canvas_, dc);
    Paint();
}
