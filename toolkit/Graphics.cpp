// Font, pen and brush properties.
#include "Graphics.h"

#include <cstdlib>

void TFont::Assign(const TPersistent& source) {
    auto* font = dynamic_cast<const TFont*>(&source);
    if (!font) return TGraphicsObject::Assign(source);
    if (*this == *font) return;
    name_ = font->name_;
    height_ = font->height_;
    color_ = font->color_;
    style_ = font->style_;
    charset_ = font->charset_;
    Changed();
}

bool TFont::operator==(const TFont& other) const {
    return name_ == other.name_ && height_ == other.height_ && color_ == other.color_ && style_ == other.style_ &&
           charset_ == other.charset_;
}

void TFont::SetName(const std::string& name) {
    if (name == name_) return;
    name_ = name;
    Changed();
}

int TFont::Size() const {
    int pixels = std::abs(height_);
    return (pixels * kPointsPerInch + kPixelsPerInch / 2) / kPixelsPerInch;
}

void TFont::SetSize(int points) {
    SetHeight(-((points * kPixelsPerInch + kPointsPerInch / 2) / kPointsPerInch));
}

void TFont::SetHeight(int pixels) {
    if (pixels == height_) return;
    height_ = pixels;
    Changed();
}

void TFont::SetColor(TColor color) {
    if (color == color_) return;
    color_ = color;
    Changed();
}

void TFont::SetStyle(TFontStyles style) {
    if (style == style_) return;
    style_ = style;
    Changed();
}

void TFont::SetCharset(int charset) {
    if (charset == charset_) return;
    charset_ = charset;
    Changed();
}

void TPen::Assign(const TPersistent& source) {
    auto* pen = dynamic_cast<const TPen*>(&source);
    if (!pen) return TGraphicsObject::Assign(source);
    color_ = pen->color_;
    width_ = pen->width_;
    style_ = pen->style_;
    mode_ = pen->mode_;
    Changed();
}

void TPen::SetColor(TColor color) {
    if (color == color_) return;
    color_ = color;
    Changed();
}

void TPen::SetWidth(int width) {
    if (width == width_) return;
    width_ = width;
    Changed();
}

void TPen::SetStyle(TPenStyle style) {
    if (style == style_) return;
    style_ = style;
    Changed();
}

void TPen::SetMode(TPenMode mode) {
    if (mode == mode_) return;
    mode_ = mode;
    Changed();
}

void TBrush::Assign(const TPersistent& source) {
    auto* brush = dynamic_cast<const TBrush*>(&source);
    if (!brush) return TGraphicsObject::Assign(source);
    color_ = brush->color_;
    style_ = brush->style_;
    bitmap_ = brush->bitmap_;
    Changed();
}

void TBrush::SetColor(TColor color) {
    if (color == color_ && style_ != TBrushStyle::bsClear) return;
    color_ = color;
    if (style_ == TBrushStyle::bsClear) style_ = TBrushStyle::bsSolid;
    Changed();
}

void TBrush::SetStyle(TBrushStyle style) {
    if (style == style_) return;
    style_ = style;
    Changed();
}

void TBrush::SetBitmap(TBitmap* bitmap) {
    if (bitmap == bitmap_) return;
    bitmap_ = bitmap;
    Changed();
}
