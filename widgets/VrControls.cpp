// The widget bases and the shared component with its change links.
#include "VrControls.h"

#include "Screen.h"
#include "SysUtils.h"
#include "VrSysUtils.h"

#include <algorithm>

const char kVrVersion[] = "1.3";
const char kVrHandCursorResource[] = "VRCURSORHANDPOINT";

void RegisterVrHandCursor() {
    static bool registered = false;
    if (registered) return;
    registered = true;
    Screen->LoadCursorResource(crVrHandPoint, kVrHandCursorResource);
}

namespace {

// Detaches the DC from a canvas when a paint ends, also when it fails.
class TPaintAttach {
public:
    TPaintAttach(TCanvas& canvas, HDC dc) : canvas_(canvas) { canvas_.SetHandle(dc); }
    TPaintAttach(const TPaintAttach&) = delete;
    TPaintAttach& operator=(const TPaintAttach&) = delete;
    ~TPaintAttach() { canvas_.SetHandle(nullptr); }

private:
    TCanvas& canvas_;
};

void Notify(const TNotifyEvent& event, TObject* sender) {
    if (event) event(sender);
}

}  // namespace

TVrComponent::TVrComponent(TComponent* owner) : TComponent(owner), Version(kVrVersion) {}

TVrChangeLink::~TVrChangeLink() {
    if (sender_) sender_->RemoveLink(this);
}

void TVrChangeLink::Change() {
    if (OnChange) OnChange(sender_);
}

TVrSharedComponent::TVrSharedComponent(TComponent* owner) : TVrComponent(owner) {}

TVrSharedComponent::~TVrSharedComponent() {
    while (!links_.empty()) RemoveLink(links_.back());
}

void TVrSharedComponent::InsertLink(TVrChangeLink* link) {
    if (!link) return;
    // A link belongs to one component at a time, and appears in its list once.
    if (link->sender_ && link->sender_ != this) link->sender_->RemoveLink(link);
    link->sender_ = this;
    if (std::find(links_.begin(), links_.end(), link) == links_.end()) links_.push_back(link);
}

void TVrSharedComponent::RemoveLink(TVrChangeLink* link) {
    auto it = std::find(links_.begin(), links_.end(), link);
    if (it == links_.end()) return;
    link->sender_ = nullptr;
    links_.erase(it);
}

void TVrSharedComponent::NotifyClients() {
    size_t count = links_.size();
    // A handler may remove links: indexes past the end of the shrunken list are not visited.
    for (size_t i = 0; i < count && i < links_.size(); ++i) links_[i]->Change();
}

TVrGraphicControl::TVrGraphicControl(TComponent* owner) : TGraphicControl(owner), Version(kVrVersion) {
    RegisterVrHandCursor();
}

void TVrGraphicControl::UpdateControlCanvas() {
    if (Loading()) return;
    Repaint();
}

void TVrGraphicControl::AdjustBounds() {
    if (Loading()) return;
    TRect before = BoundsRect();
    SetBounds(Left(), Top(), Width(), Height());
    if (RectsEqual(before, BoundsRect())) UpdateControlCanvas();
}

void TVrGraphicControl::AdjustControlSize() {
    TAlign align = Align();
    bool sizable = align == TAlign::alNone || align == TAlign::alTop || align == TAlign::alBottom ||
                   align == TAlign::alLeft || align == TAlign::alRight;
    if (!AutoSize() || !sizable) {
        UpdateControlCanvas();
        return;
    }
    TRect before = BoundsRect();
    if (!Loading()) SetBounds(Left(), Top(), Width(), Height());
    if (RectsEqual(before, BoundsRect())) UpdateControlCanvas();
}

void TVrGraphicControl::MouseEnter() { Notify(OnMouseEnter, this); }
void TVrGraphicControl::MouseLeave() { Notify(OnMouseLeave, this); }
void TVrGraphicControl::FontChanged() { Notify(OnFontChanged, this); }
void TVrGraphicControl::TextChanged() { Notify(OnTextChanged, this); }

void TVrGraphicControl::CMMouseEnter() {
    TGraphicControl::CMMouseEnter();
    MouseEnter();
}

void TVrGraphicControl::CMMouseLeave() {
    TGraphicControl::CMMouseLeave();
    MouseLeave();
}

void TVrGraphicControl::CMFontChanged() {
    TGraphicControl::CMFontChanged();
    FontChanged();
}

void TVrGraphicControl::CMTextChanged() {
    TGraphicControl::CMTextChanged();
    TextChanged();
}

void TVrGraphicControl::DrawDesignFrame(TCanvas& canvas) {
    if (!Designing()) return;
    canvas.Pen().SetStyle(TPenStyle::psDot);
    canvas.Pen().SetColor(clBlack);
    canvas.Brush().SetStyle(TBrushStyle::bsClear);
    canvas.Rectangle(0, 0, Width(), Height());
}

TVrGraphicImageControl::TVrGraphicImageControl(TComponent* owner)
    : TVrGraphicControl(owner), background_(std::make_unique<TBitmap>()), image_(std::make_unique<TBitmap>()) {}

TVrGraphicImageControl::~TVrGraphicImageControl() {
    image_.reset();
    background_.reset();
}

void TVrGraphicImageControl::SetTransparent(bool transparent) {
    if (transparent == transparent_) return;
    transparent_ = transparent;
    TControlStyle style = ControlStyle();
    SetControlStyle(transparent ? style - TControlStyleFlag::csOpaque : style + TControlStyleFlag::csOpaque);
    if (Designing()) Invalidate();
    else UpdateControlCanvas();
}

void TVrGraphicImageControl::UpdateControlCanvas() {
    if (!Designing() && transparent_ && !background_->Empty()) {
        recapture_ = false;
        SetControlStyle(ControlStyle() + TControlStyleFlag::csOpaque);
    }
    TVrGraphicControl::UpdateControlCanvas();
}

void TVrGraphicImageControl::WMPaint(HDC dc) {
    if (!dc) return;
    TCanvasLock controlLock(Canvas());
    image_->SetSize(Width(), Height());
    TCanvasLock imageLock(image_->Canvas());
    TPaintAttach attached(Canvas(), dc);
    Paint();
}

void TVrGraphicImageControl::ClearBitmapCanvas() {
    TCanvas& canvas = image_->Canvas();
    canvas.Brush().SetStyle(TBrushStyle::bsSolid);
    if (transparent_) {
        if (recapture_) {
            background_->SetSize(Width(), Height());
            TRect clip = Canvas().ClipRect();
            background_->Canvas().CopyRect(clip, Canvas(), clip);
        }
        canvas.CopyRect(Rect(0, 0, image_->Width(), image_->Height()), background_->Canvas(),
                        Rect(0, 0, image_->Width(), image_->Height()));
    } else {
        canvas.Brush().SetColor(Color());
        canvas.FillRect(Rect(0, 0, image_->Width(), image_->Height()));
    }
}

void TVrGraphicImageControl::Paint() {
    Canvas().CopyRect(Rect(0, 0, Width(), Height()), image_->Canvas(), Rect(0, 0, Width(), Height()));
    if (transparent_) {
        recapture_ = true;
        SetControlStyle(ControlStyle() - TControlStyleFlag::csOpaque);
    }
}

TVrCustomControl::TVrCustomControl(TComponent* owner) : TCustomControl(owner), Version(kVrVersion) {
    RegisterVrHandCursor();
}

void TVrCustomControl::UpdateControlCanvas() {
    if (Loading()) return;
    Repaint();
}

void TVrCustomControl::MouseEnter() { Notify(OnMouseEnter, this); }
void TVrCustomControl::MouseLeave() { Notify(OnMouseLeave, this); }
void TVrCustomControl::FontChanged() { Notify(OnFontChanged, this); }
void TVrCustomControl::TextChanged() { Notify(OnTextChanged, this); }

void TVrCustomControl::CMMouseEnter() {
    TCustomControl::CMMouseEnter();
    MouseEnter();
}

void TVrCustomControl::CMMouseLeave() {
    TCustomControl::CMMouseLeave();
    MouseLeave();
}

void TVrCustomControl::CMFontChanged() {
    TCustomControl::CMFontChanged();
    FontChanged();
}

void TVrCustomControl::CMTextChanged() {
    TCustomControl::CMTextChanged();
    TextChanged();
}

TVrCustomImageControl::TVrCustomImageControl(TComponent* owner)
    : TVrCustomControl(owner), image_(std::make_unique<TBitmap>()) {}

TVrCustomImageControl::~TVrCustomImageControl() { image_.reset(); }

void TVrCustomImageControl::ClearBitmapCanvas() {
    image_->SetSize(Width(), Height());
    TCanvas& canvas = image_->Canvas();
    canvas.Brush().SetStyle(TBrushStyle::bsSolid);
    canvas.Brush().SetColor(Color());
    canvas.FillRect(Rect(0, 0, Width(), Height()));
}

void TVrCustomImageControl::Paint() {
    Canvas().CopyRect(Rect(0, 0, Width(), Height()), image_->Canvas(), Rect(0, 0, Width(), Height()));
}
