// The control classes: TControl (bounds, look, mouse and keys), the windowless TGraphicControl
// that its parent paints and feeds with mouse input, and the windowed TWinControl/TCustomControl.
#pragma once

#include "Canvas.h"
#include "Classes.h"
#include "Colors.h"
#include "Graphics.h"
#include "Types.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class TWinControl;
class TPopupMenu;
class TControlCanvas;

enum class TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient, alCustom };

enum class TControlStyleFlag {
    csAcceptsControls, csCaptureMouse, csDesignInteractive, csClickEvents, csFramed, csSetCaption,
    // The control paints all of its area: the parent need not paint beneath it.
    csOpaque,
    csDoubleClicks, csFixedWidth, csFixedHeight, csNoDesignVisible, csReplicatable, csNoStdEvents
};
using TControlStyle = TSet<TControlStyleFlag>;

// Screen cursor ids: negative ids are the platform's cursors, positive ones are registered.
using TCursor = int;
constexpr TCursor crDefault = 0;
constexpr TCursor crNone = -1;
constexpr TCursor crArrow = -2;
constexpr TCursor crCross = -3;
constexpr TCursor crIBeam = -4;
constexpr TCursor crSizeAll = -22;
constexpr TCursor crSizeNS = -7;
constexpr TCursor crSizeWE = -9;
constexpr TCursor crUpArrow = -10;
constexpr TCursor crHourGlass = -11;
constexpr TCursor crNo = -18;
constexpr TCursor crAppStart = -19;
constexpr TCursor crHelp = -20;
constexpr TCursor crHandPoint = -21;

using TMouseEvent = std::function<void(TObject* sender, TMouseButton button, TShiftState shift, int x, int y)>;
using TMouseMoveEvent = std::function<void(TObject* sender, TShiftState shift, int x, int y)>;
using TKeyEvent = std::function<void(TObject* sender, unsigned& key, TShiftState shift)>;
using TKeyPressEvent = std::function<void(TObject* sender, char& key)>;

class TControl : public TComponent {
public:
    explicit TControl(TComponent* owner);
    ~TControl() override;

    TWinControl* Parent() const { return parent_; }
    virtual void SetParent(TWinControl* parent);

    int Left() const { return left_; }
    int Top() const { return top_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    void SetLeft(int left) { SetBounds(left, top_, width_, height_); }
    void SetTop(int top) { SetBounds(left_, top, width_, height_); }
    void SetWidth(int width) { SetBounds(left_, top_, width, height_); }
    void SetHeight(int height) { SetBounds(left_, top_, width_, height); }
    // Every change of position or size passes here; widgets override it to impose a size.
    virtual void SetBounds(int left, int top, int width, int height);
    TRect BoundsRect() const { return Bounds(left_, top_, width_, height_); }
    virtual TRect ClientRect() const { return Rect(0, 0, width_, height_); }
    int ClientWidth() const { return ClientRect().Width(); }
    int ClientHeight() const { return ClientRect().Height(); }
    virtual void SetClientSize(int width, int height);

    bool AutoSize() const { return autoSize_; }
    virtual void SetAutoSize(bool autoSize);
    TAlign Align() const { return align_; }
    void SetAlign(TAlign align);
    bool Visible() const { return visible_; }
    void SetVisible(bool visible);
    void Show() { SetVisible(true); }
    void Hide() { SetVisible(false); }
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);
    // Whether some of the control can be seen now: it is visible, its window (or its
    // parent's) is shown, its top-level window is not minimised, and part of it lies
    // inside the client area of every window that holds it.
    bool CanBeSeen() const;

    TColor Color() const { return color_; }
    void SetColor(TColor color);
    bool ParentColor() const { return parentColor_; }
    void SetParentColor(bool parentColor);
    TFont& Font() { return font_; }
    void SetFont(const TFont& font) { font_.Assign(font); }
    bool ParentFont() const { return parentFont_; }
    void SetParentFont(bool parentFont);

    // Text and Caption are one property.
    virtual std::string Text() const;
    void SetText(const std::string& text);
    std::string Caption() const { return Text(); }
    void SetCaption(const std::string& caption) { SetText(caption); }

    const std::string& Hint() const { return hint_; }
    void SetHint(const std::string& hint) { hint_ = hint; }
    bool ShowHint() const { return showHint_; }
    void SetShowHint(bool showHint) { showHint_ = showHint; }
    TCursor Cursor() const { return cursor_; }
    void SetCursor(TCursor cursor) { cursor_ = cursor; }
    TPopupMenu* PopupMenu() const { return popupMenu_; }
    void SetPopupMenu(TPopupMenu* menu);

    TControlStyle ControlStyle() const { return controlStyle_; }
    void SetControlStyle(TControlStyle style) { controlStyle_ = style; }

    // Deferred repaint; Repaint paints now; Update paints what is invalid now.
    virtual void Invalidate();
    virtual void Repaint();
    virtual void Update();
    void Refresh() { Repaint(); }

    // Paints the control (and, for windowed ones, all it contains) into Canvas at (x, y).
    virtual void PaintTo(TCanvas& canvas, int x, int y);

    TPoint ClientToScreen(TPoint point) const;
    TPoint ScreenToClient(TPoint point) const;
    bool MouseCapture() const;
    void SetMouseCapture(bool capture);

    // Sends a message to the control's WndProc directly and returns its result.
    std::intptr_t Perform(unsigned msg, std::uintptr_t wParam = 0, std::intptr_t lParam = 0);
    virtual void WndProc(TMessage& message);

    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;
    TMouseEvent OnMouseDown;
    TMouseMoveEvent OnMouseMove;
    TMouseEvent OnMouseUp;
    TNotifyEvent OnResize;

protected:
    virtual void Click();
    virtual void DblClick();
    virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
    virtual void MouseMove(TShiftState shift, int x, int y);
    virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
    // Notifications; each default handling is named in its comment.
    virtual void CMMouseEnter() {}
    virtual void CMMouseLeave() {}
    virtual void CMFontChanged();       // invalidates
    virtual void CMTextChanged();       // invalidates
    virtual void CMColorChanged();      // invalidates
    virtual void CMEnabledChanged();    // invalidates
    virtual void CMVisibleChanged() {}
    // Told whenever CanBeSeen may have changed: the control or a window that holds it
    // was shown, hidden, minimised, restored, moved or resized.
    virtual void CMViewChanged() {}
    virtual void CMSysColorChange() {}
    // A character typed with Alt, offered to every control of the form in turn; a control
    // whose caption holds it as its accelerator acts and returns true (nothing by default).
    virtual bool CMDialogChar(char key) { (void)key; return false; }
    virtual void CMParentColorChanged();
    virtual void CMParentFontChanged();
    // After the size changed; fires OnResize.
    virtual void Resize();
    // Recomputes the natural size when AutoSize is on (nothing by default).
    virtual void AdjustSize() {}
    // The platform's handling of a message nobody handled.
    virtual void DefaultHandler(TMessage& message);
    // Sets text without notification; windowed controls also set the window text.
    virtual void SetTextRaw(const std::string& text);
    void Loaded() override;

    bool Clicked() const { return clicked_; }

private:
    friend class TWinControl;
    void HandleMouseMessage(TMessage& message);
    void ApplyBounds(int left, int top, int width, int height);
    // Tells the control and, for a windowed one, every control inside it.
    void NotifyViewChanged();

    TWinControl* parent_ = nullptr;
    int left_ = 0;
    int top_ = 0;
    int width_ = 0;
    int height_ = 0;
    bool autoSize_ = false;
    TAlign align_ = TAlign::alNone;
    bool visible_ = true;
    bool enabled_ = true;
    TColor color_ = clWindow;
    bool parentColor_ = false;
    TFont font_;
    bool parentFont_ = true;
    std::string text_;
    std::string hint_;
    bool showHint_ = false;
    TCursor cursor_ = crDefault;
    TPopupMenu* popupMenu_ = nullptr;
    TControlStyle controlStyle_;
    bool clicked_ = false;
    bool parentFontUpdating_ = false;
};

// A control's canvas: attached to a paint DC during painting, otherwise it takes one
// from the window (or the parent's window, clipped to the control) until the message ends.
class TControlCanvas : public TCanvas {
public:
    explicit TControlCanvas(TControl& control) : control_(control) {}
    ~TControlCanvas() override;
    void FreeHandle() override;
    // Gives back every DC that control canvases took for themselves.
    static void FreeDeviceContexts();

protected:
    void CreateHandle() override;

private:
    TControl& control_;
    HWND window_ = nullptr;
    HDC ownDC_ = nullptr;
};

// No window of its own: the parent paints it (in creation order, clipped to its bounds)
// and passes it the mouse messages that fall on it.
class TGraphicControl : public TControl {
public:
    explicit TGraphicControl(TComponent* owner);
    ~TGraphicControl() override;
    TCanvas& Canvas() { return *canvas_; }
    void Invalidate() override;
    void Repaint() override;
    void Update() override;
    void WndProc(TMessage& message) override;

protected:
    // A paint request with the DC to paint on: attaches it to Canvas and calls Paint.
    virtual void WMPaint(HDC dc);
    virtual void Paint() {}

private:
    std::unique_ptr<TControlCanvas> canvas_;
};

struct TCreateParams {
    std::string Caption;
    std::uint32_t Style = 0;
    std::uint32_t ExStyle = 0;
    int X = 0;
    int Y = 0;
    int Width = 0;
    int Height = 0;
    HWND WndParent = nullptr;
    // Our class name, and the platform class it is a subclass of (empty for our own).
    std::string WinClassName;
    std::string SysClassName;
    std::uint32_t ClassStyle = 0;
};

// A control with its own window; the window is made when first needed.
class TWinControl : public TControl {
public:
    explicit TWinControl(TComponent* owner);
    ~TWinControl() override;

    HWND Handle();
    bool HandleAllocated() const;
    void HandleNeeded() { Handle(); }
    // Destroys the window (keeping the text) and makes it again with the current parameters.
    void RecreateWnd();

    int ControlCount() const { return static_cast<int>(controls_.size()); }
    TControl* Controls(int index) const;
    void InsertControl(TControl* control);
    void RemoveControl(TControl* control);
    // The topmost visible (and, unless allowDisabled, enabled) windowless child at a point.
    TControl* ControlAtPos(TPoint point, bool allowDisabled) const;

    void SetBounds(int left, int top, int width, int height) override;
    TRect ClientRect() const override;
    void Invalidate() override;
    void Repaint() override;
    void Update() override;
    void PaintTo(TCanvas& canvas, int x, int y) override;
    std::string Text() const override;

    bool Focused() const;
    virtual bool CanFocus() const;
    void SetFocus();
    bool TabStop() const { return tabStop_; }
    void SetTabStop(bool tabStop) { tabStop_ = tabStop; }
    int TabOrder() const;
    void SetTabOrder(int order);
    // The next (or previous) control that takes the focus with Tab, inside this one.
    TWinControl* FindNextControl(TWinControl* current, bool forward) const;
    void SelectNext(TWinControl* current, bool forward);

    // Paints the windowless children from First (all when null) onto DC, each clipped.
    void PaintControls(HDC dc, TControl* first);

    void WndProc(TMessage& message) override;
    TNotifyEvent OnEnter;
    TNotifyEvent OnExit;
    TKeyEvent OnKeyDown;
    TKeyPressEvent OnKeyPress;
    TKeyEvent OnKeyUp;

protected:
    virtual void CreateParams(TCreateParams& params);
    virtual void CreateWnd();
    virtual void DestroyWnd();
    // Paints the control's own surface (not its windowless children) on DC.
    virtual void PaintWindow(HDC dc);
    virtual void KeyDown(unsigned& key, TShiftState shift);
    virtual void KeyPress(char& key);
    virtual void KeyUp(unsigned& key, TShiftState shift);
    virtual void DoEnter();
    virtual void DoExit();
    // Told whenever the focus moves to another control of the same form.
    virtual void CMFocusChanged(TWinControl*) {}
    // Notifications that the parent passes on from the platform's control.
    virtual void CNCommand(unsigned code) { (void)code; }
    virtual void CNDrawItem(void* drawItem) { (void)drawItem; }
    virtual void CNMeasureItem(void* measureItem) { (void)measureItem; }
    // Colours of a platform control: returns the brush to paint its background with.
    virtual std::intptr_t CNCtlColor(HDC dc);
    void CMColorChanged() override;
    void CMFontChanged() override;
    void CMEnabledChanged() override;
    void CMVisibleChanged() override;
    void DefaultHandler(TMessage& message) override;
    void SetTextRaw(const std::string& text) override;
    void Resize() override;
    void AlignControls();
    // The font handle for the window; made from Font.
    void* FontHandle();

private:
    friend class TControl;
    friend class TGraphicControl;
    friend class TApplication;
    friend class TForm;
    struct Impl;
    void DestroyHandle();
    void BroadcastFocusChanged(TWinControl* focused);
    // Offers Key to the controls inside this one until one takes it; whether one did.
    bool BroadcastDialogChar(char key);
    bool RouteMouseToChild(TMessage& message);
    TControl* CaptureControl() const;
    void SetCaptureControl(TControl* control);
    void EraseBackground(HDC dc);
    // Where the window is now, in its parent's client coordinates (screen ones for a form).
    TRect WindowBounds() const;
    void PaintHandler(TMessage& message);
    bool IsPlatformControl() const;
    void TrackMouseControl(TControl* control);

    std::unique_ptr<Impl> impl_;
    std::vector<TControl*> controls_;
    bool tabStop_ = false;

public:
    // The window procedure of every toolkit window (internal).
    static std::intptr_t Dispatch(HWND window, unsigned msg, std::uintptr_t wParam, std::intptr_t lParam);
    static TWinControl* FromHandle(HWND window);
};

// A windowed control that paints itself on its own canvas.
class TCustomControl : public TWinControl {
public:
    explicit TCustomControl(TComponent* owner);
    ~TCustomControl() override;
    TCanvas& Canvas() { return *canvas_; }

protected:
    void PaintWindow(HDC dc) override;
    virtual void Paint() {}

private:
    std::unique_ptr<TControlCanvas> canvas_;
};

// The form a control sits on (the outermost windowed parent), or null.
TWinControl* GetParentForm(TControl* control);
