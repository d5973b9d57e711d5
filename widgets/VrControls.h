// The widget bases: version stamp, one repaint entry point (UpdateControlCanvas) that does
// nothing while loading, hooks for mouse enter/leave and font/text changes, off-screen
// painting (with a captured parent background for transparent windowless widgets), and
// the shared component whose change links tell any number of widgets that it changed.
#pragma once

#include "Bitmap.h"
#include "Canvas.h"
#include "Classes.h"
#include "Controls.h"

#include <memory>
#include <string>
#include <vector>

extern const char kVrVersion[];                // "1.3"
constexpr TCursor crVrHandPoint = 99;          // the hand cursor "VRCURSORHANDPOINT"
extern const char kVrHandCursorResource[];

// Loads the hand cursor and registers it as screen cursor 99 (once; the widget bases call it).
void RegisterVrHandCursor();

class TVrComponent : public TComponent {
public:
    explicit TVrComponent(TComponent* owner);
    std::string Version;
};

class TVrSharedComponent;

// Registered with a shared component; Change calls OnChange with that component as sender.
class TVrChangeLink : public TObject {
public:
    TVrChangeLink() = default;
    // Removes itself from the component it is registered with.
    ~TVrChangeLink() override;
    TVrSharedComponent* Sender() const { return sender_; }
    TNotifyEvent OnChange;
    virtual void Change();

private:
    friend class TVrSharedComponent;
    TVrSharedComponent* sender_ = nullptr;
};

class TVrSharedComponent : public TVrComponent {
public:
    explicit TVrSharedComponent(TComponent* owner);
    // Empties every registered link's Sender.
    ~TVrSharedComponent() override;
    void InsertLink(TVrChangeLink* link);
    void RemoveLink(TVrChangeLink* link);
    void NotifyClients();
    int LinkCount() const { return static_cast<int>(links_.size()); }

private:
    std::vector<TVrChangeLink*> links_;
};

class TVrGraphicControl : public TGraphicControl {
public:
    explicit TVrGraphicControl(TComponent* owner);
    std::string Version;
    TNotifyEvent OnMouseEnter;
    TNotifyEvent OnMouseLeave;
    TNotifyEvent OnFontChanged;
    TNotifyEvent OnTextChanged;

    // Repaints now, unless the component is loading.
    virtual void UpdateControlCanvas();
    // As AdjustBounds, but only with AutoSize on and Align none, top, bottom, left or right.
    virtual void AdjustControlSize();
    // Re-applies the bounds through SetBounds; repaints when they stayed the same.
    virtual void AdjustBounds();

protected:
    virtual void MouseEnter();
    virtual void MouseLeave();
    virtual void FontChanged();
    virtual void TextChanged();
    void CMMouseEnter() override;
    void CMMouseLeave() override;
    void CMFontChanged() override;
    void CMTextChanged() override;
    // Form-designer outline: dotted black (0, 0, Width, Height), clear brush; designing only.
    void DrawDesignFrame(TCanvas& canvas);
};

class TVrGraphicImageControl : public TVrGraphicControl {
public:
    explicit TVrGraphicImageControl(TComponent* owner);
    ~TVrGraphicImageControl() override;
    bool Transparent() const { return transparent_; }
    void SetTransparent(bool transparent);
    // The canvas of the off-screen image every subclass paints into.
    TCanvas& BitmapCanvas() { return image_->Canvas(); }
    TBitmap& BitmapImage() { return *image_; }
    void UpdateControlCanvas() override;
    // The snapshot must be taken again before its next use.
    bool NeedsRecapture() const { return recapture_; }

protected:
    // Prepares the image's background: the captured parent background, or Color.
    virtual void ClearBitmapCanvas();
    // Copies the image to the screen.
    void Paint() override;
    void WMPaint(HDC dc) override;

private:
    std::unique_ptr<TBitmap> background_;
    std::unique_ptr<TBitmap> image_;
    bool recapture_ = true;
    bool transparent_ = false;
};

class TVrCustomControl : public TCustomControl {
public:
    explicit TVrCustomControl(TComponent* owner);
    std::string Version;
    TNotifyEvent OnMouseEnter;
    TNotifyEvent OnMouseLeave;
    TNotifyEvent OnFontChanged;
    TNotifyEvent OnTextChanged;
    virtual void UpdateControlCanvas();

protected:
    virtual void MouseEnter();
    virtual void MouseLeave();
    virtual void FontChanged();
    virtual void TextChanged();
    void CMMouseEnter() override;
    void CMMouseLeave() override;
    void CMFontChanged() override;
    void CMTextChanged() override;
};

class TVrCustomImageControl : public TVrCustomControl {
public:
    explicit TVrCustomImageControl(TComponent* owner);
    ~TVrCustomImageControl() override;
    TCanvas& BitmapCanvas() { return image_->Canvas(); }
    TBitmap& BitmapImage() { return *image_; }

protected:
    // Sizes the image to the control and fills it with Color.
    virtual void ClearBitmapCanvas();
    // Copies the image to the window.
    void Paint() override;

private:
    std::unique_ptr<TBitmap> image_;
};
