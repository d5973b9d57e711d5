// TVrBorder: a windowless two-colour outline (box, double frame or one edge line), sunken or
// raised; it paints nothing else, so what lies beneath shows through.
#pragma once

#include "VrControls.h"

enum class TVrBorderShape { bsBox, bsFrame, bsTopLine, bsBottomLine, bsLeftLine, bsRightLine, bsSpacer };
enum class TVrBorderStyle { bsLowered, bsRaised };

class TVrBorder : public TVrGraphicControl {
public:
    explicit TVrBorder(TComponent* owner);

    TVrBorderShape Shape() const { return shape_; }
    void SetShape(TVrBorderShape shape);
    TVrBorderStyle Style() const { return style_; }
    void SetStyle(TVrBorderStyle style);
    TColor ShadowColor() const { return shadowColor_; }
    void SetShadowColor(TColor color);
    TColor HighlightColor() const { return highlightColor_; }
    void SetHighlightColor(TColor color);

protected:
    void Paint() override;

private:
    // R.Right and R.Bottom name the last pixel column and row.
    void DrawBorderRect(const TRect& r, TColor topLeft, TColor bottomRight);
    void DrawBorderLine(TColor color, TPoint from, TPoint to);

    TVrBorderShape shape_ = TVrBorderShape::bsFrame;
    TVrBorderStyle style_ = TVrBorderStyle::bsRaised;
    TColor shadowColor_ = clGreen;
    TColor highlightColor_ = clLime;
};
