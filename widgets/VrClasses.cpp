// Change notification, palette recolouring, bevel measuring and drawing, and the
// bitmap list with its stream.
#include "VrClasses.h"

#include "Bitmap.h"
#include "SysUtils.h"
#include "VrBitmapStream.h"
#include "VrSysUtils.h"

#include "Streams.h"

#include <limits>
#include <utility>

void TVrPersistent::BeginUpdate()
{
    ++updateCount_;
}

void TVrPersistent::EndUpdate()
{
    if (updateCount_ > 0)
        --updateCount_;
    Changed();
}

void TVrPersistent::Changed()
{
    if (updateCount_ == 0 && OnChange)
        OnChange(this);
}

void TVrPalette::Assign(const TPersistent& source)
{
    const auto* palette = dynamic_cast<const TVrPalette*>(&source);
    if (palette == nullptr) {
        TVrPersistent::Assign(source);
        return;
    }
    TVrUpdateScope update(*this);
    SetLow(palette->Low());
    SetHigh(palette->High());
}

void TVrPalette::SetLow(TColor color)
{
    if (low_ == color)
        return;
    low_ = color;
    Changed();
}

void TVrPalette::SetHigh(TColor color)
{
    if (high_ == color)
        return;
    high_ = color;
    Changed();
}

TColor TVrPalette::GetColor(int index) const
{
    return index <= 0 ? low_ : high_;
}

void TVrPalette::ApplyToBitmap(TBitmap& bitmap, TColor lowKey, TColor highKey) const
{
    const TColor lowFrom = ColorToRGB(lowKey);
    const TColor highFrom = ColorToRGB(highKey);
    const TColor lowTo = ColorToRGB(low_);
    const TColor highTo = ColorToRGB(high_);
    const int width = bitmap.Width();
    const int height = bitmap.Height();
    // Judge every pixel by the colours before any replacement.
    std::vector<TColor> before(static_cast<size_t>(width) * static_cast<size_t>(height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            before[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)] = bitmap.Pixel(x, y);
    TCanvas& canvas = bitmap.Canvas();
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            TColor pixel = before[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
            if (pixel == lowFrom)
                canvas.SetPixel(x, y, lowTo);
            else if (pixel == highFrom)
                canvas.SetPixel(x, y, highTo);
        }
    }
}

void TVrBevel::Assign(const TPersistent& source)
{
    const auto* bevel = dynamic_cast<const TVrBevel*>(&source);
    if (bevel == nullptr) {
        TVrPersistent::Assign(source);
        return;
    }
    TVrUpdateScope update(*this);
    SetBorderWidth(bevel->BorderWidth());
    SetBorderColor(bevel->BorderColor());
    SetInnerShadow(bevel->InnerShadow());
    SetInnerHighlight(bevel->InnerHighlight());
    SetInnerWidth(bevel->InnerWidth());
    SetInnerStyle(bevel->InnerStyle());
    SetInnerOutline(bevel->InnerOutline());
    SetInnerSpace(bevel->InnerSpace());
    SetInnerColor(bevel->InnerColor());
    SetOuterShadow(bevel->OuterShadow());
    SetOuterHighlight(bevel->OuterHighlight());
    SetOuterWidth(bevel->OuterWidth());
    SetOuterStyle(bevel->OuterStyle());
    SetOuterOutline(bevel->OuterOutline());
    SetOuterSpace(bevel->OuterSpace());
    SetOuterColor(bevel->OuterColor());
    SetVisible(bevel->Visible());
}

template <typename T>
void TVrBevel::Store(T& field, T value)
{
    if (field == value)
        return;
    field = value;
    Changed();
}

int TVrBevel::Checked(int value, int minimum)
{
    if (value < minimum)
        throw ERangeError();
    return value;
}

void TVrBevel::SetBorderWidth(int width) { Store(borderWidth_, Checked(width, 0)); }
void TVrBevel::SetBorderColor(TColor color) { Store(borderColor_, color); }
void TVrBevel::SetInnerShadow(TColor color) { Store(innerShadow_, color); }
void TVrBevel::SetInnerHighlight(TColor color) { Store(innerHighlight_, color); }
void TVrBevel::SetInnerWidth(int width) { Store(innerWidth_, Checked(width, 1)); }
void TVrBevel::SetInnerStyle(TVrBevelStyle style) { Store(innerStyle_, style); }
void TVrBevel::SetInnerOutline(TVrBevelOutlineStyle outline) { Store(innerOutline_, outline); }
void TVrBevel::SetInnerSpace(int space) { Store(innerSpace_, Checked(space, 0)); }
void TVrBevel::SetInnerColor(TColor color) { Store(innerColor_, color); }
void TVrBevel::SetOuterShadow(TColor color) { Store(outerShadow_, color); }
void TVrBevel::SetOuterHighlight(TColor color) { Store(outerHighlight_, color); }
void TVrBevel::SetOuterWidth(int width) { Store(outerWidth_, Checked(width, 1)); }
void TVrBevel::SetOuterStyle(TVrBevelStyle style) { Store(outerStyle_, style); }
void TVrBevel::SetOuterOutline(TVrBevelOutlineStyle outline) { Store(outerOutline_, outline); }
void TVrBevel::SetOuterSpace(int space) { Store(outerSpace_, Checked(space, 0)); }
void TVrBevel::SetOuterColor(TColor color) { Store(outerColor_, color); }
void TVrBevel::SetVisible(bool visible) { Store(visible_, visible); }

void TVrBevel::GetVisibleArea(TRect& rect) const
{
    if (!visible_)
        return;
    // Every width is at most MaxInt and there are seven, so the sum needs 64 bits.
    long long thickness = static_cast<long long>(borderWidth_) + innerSpace_ + outerSpace_;
    thickness += innerOutline_ != TVrBevelOutlineStyle::osNone ? 1 : 0;
    thickness += outerOutline_ != TVrBevelOutlineStyle::osNone ? 1 : 0;
    thickness += innerStyle_ != TVrBevelStyle::bsNone ? innerWidth_ : 0;
    thickness += outerStyle_ != TVrBevelStyle::bsNone ? outerWidth_ : 0;
    if (thickness > std::numeric_limits<int>::max())
        throw EIntOverflow();
    rect = InflateRect(rect, -static_cast<int>(thickness), -static_cast<int>(thickness));
}

namespace {

constexpr int OutlineWidth = 1;

void DrawBevelLayer(TCanvas& canvas, TRect& rect, TVrBevelStyle style, TColor shadow, TColor highlight, int width)
{
    if (style == TVrBevelStyle::bsLowered)
        DrawFrame3D(canvas, rect, shadow, highlight, width);
    else if (style == TVrBevelStyle::bsRaised)
        DrawFrame3D(canvas, rect, highlight, shadow, width);
}

void DrawOutline(TCanvas& canvas, TRect& rect, TVrBevelOutlineStyle outline, TVrBevelOutlineStyle where)
{
    if (outline == where)
        DrawFrame3D(canvas, rect, clBlack, clBlack, OutlineWidth);
}

} // namespace

void TVrBevel::Draw(TCanvas& canvas, TRect& rect) const
{
    if (!visible_)
        return;
    if (borderWidth_ != 0)
        DrawFrame3D(canvas, rect, borderColor_, borderColor_, borderWidth_);
    DrawOutline(canvas, rect, outerOutline_, TVrBevelOutlineStyle::osOuter);
    DrawBevelLayer(canvas, rect, outerStyle_, outerShadow_, outerHighlight_, outerWidth_);
    DrawOutline(canvas, rect, outerOutline_, TVrBevelOutlineStyle::osInner);
    DrawFrame3D(canvas, rect, outerColor_, outerColor_, outerSpace_);
    DrawOutline(canvas, rect, innerOutline_, TVrBevelOutlineStyle::osOuter);
    DrawBevelLayer(canvas, rect, innerStyle_, innerShadow_, innerHighlight_, innerWidth_);
    DrawOutline(canvas, rect, innerOutline_, TVrBevelOutlineStyle::osInner);
    DrawFrame3D(canvas, rect, innerColor_, innerColor_, innerSpace_);
}

namespace {

// TColor keeps red in the low byte; the stream's pixels keep it in bits 16..23.
uint32_t StreamPixel(TColor color)
{
    uint32_t rgb = static_cast<uint32_t>(color);
    return (rgb & 0xFF) << 16 | (rgb & 0xFF00) | (rgb >> 16 & 0xFF);
}

TColor ColorOfStreamPixel(uint32_t pixel)
{
    return RGBColor(static_cast<int>(pixel >> 16 & 0xFF), static_cast<int>(pixel >> 8 & 0xFF), static_cast<int>(pixel & 0xFF));
}

TVrBitmapImage ImageOf(TBitmap& bitmap)
{
    TVrBitmapImage image;
    if (bitmap.Empty())
        return image;
    image.Width = bitmap.Width();
    image.Height = bitmap.Height();
    image.Pixels.reserve(static_cast<size_t>(image.Width) * static_cast<size_t>(image.Height));
    for (int y = 0; y < image.Height; ++y)
        for (int x = 0; x < image.Width; ++x)
            image.Pixels.push_back(StreamPixel(bitmap.Pixel(x, y)));
    return image;
}

std::unique_ptr<TBitmap> BitmapOf(const TVrBitmapImage& image)
{
    auto bitmap = std::make_unique<TBitmap>();
    if (image.Width == 0 || image.Height == 0)
        return bitmap;
    bitmap->SetSize(image.Width, image.Height);
    TCanvas& canvas = bitmap->Canvas();
    for (int y = 0; y < image.Height; ++y)
        for (int x = 0; x < image.Width; ++x)
            canvas.SetPixel(x, y, ColorOfStreamPixel(image.Pixels[static_cast<size_t>(y) * static_cast<size_t>(image.Width) + static_cast<size_t>(x)]));
    return bitmap;
}

// Every bitmap of a stream, decoded before any of them joins a list.
std::vector<std::unique_ptr<TBitmap>> ReadBitmaps(TStream& stream)
{
    std::vector<std::unique_ptr<TBitmap>> bitmaps;
    for (const TVrBitmapImage& image : ReadBitmapList(stream))
        bitmaps.push_back(BitmapOf(image));
    return bitmaps;
}

} // namespace

TVrBitmaps::TVrBitmaps() = default;

TVrBitmaps::~TVrBitmaps()
{
    OnChange = nullptr;
}

void TVrBitmaps::Assign(const TPersistent& source)
{
    const auto* list = dynamic_cast<const TVrBitmaps*>(&source);
    if (list == nullptr)
        return;
    if (list == this)
        return;
    TVrUpdateScope update(*this);
    Clear();
    for (const auto& bitmap : list->bitmaps_)
        Add(*bitmap);
}

TBitmap& TVrBitmaps::Bitmaps(int index) const
{
    if (index < 0 || index >= Count())
        throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    return *bitmaps_[static_cast<size_t>(index)];
}

int TVrBitmaps::Add(const TBitmap& bitmap)
{
    auto copy = std::make_unique<TBitmap>();
    copy->Assign(bitmap);
    bitmaps_.push_back(std::move(copy));
    Changed();
    return Count() - 1;
}

void TVrBitmaps::Clear()
{
    {
        TVrUpdateScope update(*this);
        bitmaps_.clear();
    }
    Changed();
}

void TVrBitmaps::LoadFromStream(TStream& stream)
{
    std::vector<std::unique_ptr<TBitmap>> loaded = ReadBitmaps(stream);
    for (auto& bitmap : loaded) {
        bitmaps_.push_back(std::move(bitmap));
        Changed();
    }
}

void TVrBitmaps::SaveToStream(TStream& stream) const
{
    std::vector<TVrBitmapImage> images;
    for (const auto& bitmap : bitmaps_)
        images.push_back(ImageOf(*bitmap));
    WriteBitmapList(stream, images);
}

void TVrBitmaps::LoadFromFile(const std::string& fileName)
{
    TFileStream file(fileName, TFileMode::fmOpenRead);
    TVrUpdateScope update(*this);
    LoadFromStream(file);
}

void TVrBitmaps::SaveToFile(const std::string& fileName) const
{
    TFileStream file(fileName, TFileMode::fmCreate);
    SaveToStream(file);
}

void TVrBitmaps::ReadData(TStream& stream)
{
    std::vector<std::unique_ptr<TBitmap>> loaded = ReadBitmaps(stream);
    TVrUpdateScope update(*this);
    Clear();
    for (auto& bitmap : loaded)
        bitmaps_.push_back(std::move(bitmap));
}

void TVrBitmaps::WriteData(TStream& stream)
{
    TVrUpdateScope update(*this);
    SaveToStream(stream);
}
