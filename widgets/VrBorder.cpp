// The border's outlines, drawn straight on the control's canvas (there is no background).
#include "VrBorder.h"

namespace {
constexpr int kInitialSize = 50;
}

TVrBorder::TVrBorder(TComponent* owner) : TVrGraphicControl(owner) {
    SetControlStyle(ControlStyle() + TControlStyleFlag::csReplicatable);
    SetBounds(Left(), Top(), kInitialSize, kInitialSize);
}

void TVrBorder::SetShape(TVrBorderShape shape) {
    if (shape == shape_) return;
    shape_ = shape;
    Invalidate();
}

void TVrBorder::SetStyle(TVrBorderStyle style) {
    if (style == style_) return;
    style_ = style;
    Invalidate();
}

void TVrBorder::SetShadowColor(TColor color) {
    if (color == shadowColor_) return;
    shadowColor_ = color;
    Invalidate();
}

void TVrBorder::SetHighlightColor(TColor color) {
    if (color == highlightColor_) return;
    highlightColor_ = color;
    Invalidate();
}

void TVrBorder::DrawBorderRect(const TRect& r, TColor topLeft, TColor bottomRight) {
    TCanvas& canvas = Canvas();
    canvas.Pen().SetColor(topLeft);
    canvas.Polyline({Point(r.Left, r.Bottom), Point(r.Left, r.Top), Point(r.Right, r.Top)});
    canvas.Pen().SetColor(bottomRight);
    canvas.Polyline({Point(r.Right, r.Top), Point(r.Right, r.Bottom), Point(r.Left, r.Bottom)});
}

void TVrBorder::DrawBorderLine(TColor color, TPoint from, TPoint to) {
    TCanvas& canvas = Canvas();
    canvas.Pen().SetColor(color);
    canvas.MoveTo(from.X, from.Y);
    canvas.LineTo(to.X, to.Y);
}

void TVrBorder::Paint() {
    Canvas().Pen().SetWidth(1);
    const bool lowered = style_ == TVrBorderStyle::bsLowered;
    const TColor color1 = lowered ? shadowColor_ : highlightColor_;
    const TColor color2 = lowered ? highlightColor_ : shadowColor_;
    const int w = Width(), h = Height();
    switch (shape_) {
    case TVrBorderShape::bsBox:
        DrawBorderRect(Rect(0, 0, w - 1, h - 1), color1, color2);
        break;
    case TVrBorderShape::bsFrame:
        DrawBorderRect(Rect(1, 1, w - 1, h - 1), color2, color2);
        DrawBorderRect(Rect(0, 0, w - 2, h - 2), color1, color1);
        break;
    case TVrBorderShape::bsTopLine:
        DrawBorderLine(color1, Point(0, 0), Point(w, 0));
        DrawBorderLine(color2, Point(0, 1), Point(w, 1));
        break;
    case TVrBorderShape::bsBottomLine:
        DrawBorderLine(color1, Point(0, h - 2), Point(w, h - 2));
        DrawBorderLine(color2, Point(0, h - 1), Point(w, h - 1));
        break;
    case TVrBorderShape::bsLeftLine:
        DrawBorderLine(color1, Point(0, 0), Point(0, h));
        DrawBorderLine(color2, Point(1, 0), Point(1, h));
        break;
    case TVrBorderShape::bsRightLine:
        DrawBorderLine(color1, Point(w - 2, 0), Point(w - 2, h));
        DrawBorderLine(color2, Point(w - 1, 0), Point(w - 1, h));
        break;
    case TVrBorderShape::bsSpacer:
        break;
    }
}
