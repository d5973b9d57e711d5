// The arrow lamp: one of four two-frame bitmaps, recoloured from its green and lime keys,
// with the frame's white left out when it is copied onto the image.
#include "VrArrow.h"

namespace {
constexpr int kInitialWidth = 50;
constexpr int kInitialHeight = 45;
// The keys the bitmaps are drawn in: dim frame green, lit frame lime, white surround.
constexpr TColor kDimKey = clGreen;
constexpr TColor kLitKey = clLime;
constexpr TColor kSurround = clWhite;

const char* ResourceName(TVrArrowDirection direction) {
    switch (direction) {
    case TVrArrowDirection::pdLeft: return "LEFTARROW";
    case TVrArrowDirection::pdRight: return "RIGHTARROW";
    case TVrArrowDirection::pdUp: return "UPARROW";
    case TVrArrowDirection::pdDown: return "DOWNARROW";
    }
    return "UPARROW";
}
}  // namespace

TVrArrow::TVrArrow(TComponent* owner) : TVrGraphicImageControl(owner) {
    SetControlStyle((ControlStyle() + TControlStyleFlag::csOpaque) - TControlStyleFlag::csDoubleClicks);
    SetBounds(Left(), Top(), kInitialWidth, kInitialHeight);
    SetParentColor(false);
    SetColor(clBlack);
    palette_.OnChange = [this](TObject*) {
        LoadArrowBitmap();
        UpdateControlCanvas();
    };
    LoadArrowBitmap();
}

void TVrArrow::SetActive(bool active) {
    if (active == active_) return;
    active_ = active;
    UpdateControlCanvas();
}

void TVrArrow::SetDirection(TVrArrowDirection direction) {
    if (direction == direction_) return;
    direction_ = direction;
    LoadArrowBitmap();
    UpdateControlCanvas();
}

void TVrArrow::LoadArrowBitmap() {
    arrow_.LoadFromResourceName(ResourceName(direction_));
    mask_.Assign(arrow_);
    mask_.Canvas().Brush().SetColor(kSurround);
    mask_.SetMonochrome(true);
    palette_.ApplyToBitmap(arrow_, kDimKey, kLitKey);
}

TRect TVrArrow::ArrowRect() const {
    const int frameWidth = arrow_.Width() / 2;
    const int frameHeight = arrow_.Height();
    return Bounds((Width() - frameWidth) / 2, (Height() - frameHeight) / 2, frameWidth, frameHeight);
}

bool TVrArrow::PtOnArrow(int x, int y) {
    const TRect r = ArrowRect();
    return r.Contains(Point(x, y)) && mask_.Pixel(x - r.Left, y - r.Top) == clBlack;
}

void TVrArrow::Paint() {
    ClearBitmapCanvas();
    // Set directly: the image drawn below already shows the new state.
    if (trackMouse_) active_ = mouseOver_;
    const TRect r = ArrowRect();
    const int frame = active_ ? 1 : 0;
    TCanvas& image = BitmapCanvas();
    image.Brush().SetStyle(TBrushStyle::bsClear);
    image.BrushCopy(r, arrow_, Bounds(frame * r.Width(), 0, r.Width(), r.Height()), kSurround);
    image.Brush().SetStyle(TBrushStyle::bsSolid);
    if (Designing()) DrawDesignFrame(image);
    TVrGraphicImageControl::Paint();
}

void TVrArrow::MouseMove(TShiftState shift, int x, int y) {
    TVrGraphicImageControl::MouseMove(shift, x, y);
    if (!trackMouse_) return;
    mouseOver_ = PtOnArrow(x, y);
    UpdateControlCanvas();
}

void TVrArrow::MouseLeave() {
    TVrGraphicImageControl::MouseLeave();
    if (!trackMouse_) return;
    mouseOver_ = false;
    UpdateControlCanvas();
}

void TVrArrow::CMSysColorChange() {
    TVrGraphicImageControl::CMSysColorChange();
    LoadArrowBitmap();
}
