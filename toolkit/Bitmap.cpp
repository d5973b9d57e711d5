// Bitmaps: DIB sections by default, conversions, resources and BMP streams.
#include "Bitmap.h"

#include "Streams.h"
#include "SysUtils.h"
#include "WinHandles.h"

#include <cstring>
#include <vector>

namespace {

constexpr WORD kBmpSignature = 0x4D42;  // "BM"
constexpr size_t kFileHeaderSize = 14;
constexpr size_t kInfoHeaderSize = 40;
constexpr WORD kDibBitCount = 32;
constexpr WORD kSavedBitCount = 24;
constexpr int kMaxDimension = 16384;
constexpr std::uint32_t kMaxBmpSize = 256u * 1024u * 1024u;
constexpr COLORREF kWhite = RGB(255, 255, 255);

std::uint16_t Read16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
std::uint32_t Read32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
void Put16(std::vector<std::uint8_t>& out, std::uint32_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    Put16(out, v);
    Put16(out, v >> 16);
}

// File header fields.
constexpr size_t kOffFileSize = 2;
constexpr size_t kOffPixelOffset = 10;
// Information header fields, relative to its start.
constexpr size_t kOffInfoSize = 0;
constexpr size_t kOffWidth = 4;
constexpr size_t kOffHeight = 8;
constexpr size_t kOffBitCount = 14;
constexpr size_t kOffCompression = 16;
constexpr size_t kOffColorsUsed = 32;

BITMAPINFO DibInfo(int width, int height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = kDibBitCount;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

HBITMAP CreateHandleOf(int width, int height, TBitmapHandleType type, bool monochrome, std::uint32_t** bits) {
    *bits = nullptr;
    if (width <= 0 || height <= 0) return nullptr;
    HBITMAP handle;
    if (monochrome) {
        handle = CreateBitmap(width, height, 1, 1, nullptr);
    } else if (type == TBitmapHandleType::bmDDB) {
        TWindowDC screen;
        handle = CreateCompatibleBitmap(screen.Get(), width, height);
    } else {
        BITMAPINFO info = DibInfo(width, height);
        void* pixels = nullptr;
        handle = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
        *bits = static_cast<std::uint32_t*>(pixels);
    }
    if (!handle) RaiseLastOSError("Creating a bitmap");
    return handle;
}

}  // namespace

// The bitmap's canvas: a memory DC with the bitmap selected, made when first drawn on.
class TBitmapCanvas : public TCanvas {
public:
    explicit TBitmapCanvas(TBitmap& bitmap) : bitmap_(bitmap) {}
    ~TBitmapCanvas() override { FreeHandle(); }
    void FreeHandle() override {
        if (!dc_) return;
        SetHandle(nullptr);
        if (previous_) SelectObject(dc_, previous_);
        DeleteDC(dc_);
        --GdiTally();
        dc_ = nullptr;
        previous_ = nullptr;
    }

protected:
    void CreateHandle() override {
        TWindowDC screen;
        dc_ = CreateCompatibleDC(screen.Get());
        if (!dc_) RaiseLastOSError("CreateCompatibleDC");
        ++GdiTally();
        if (bitmap_.handle_) previous_ = SelectObject(dc_, bitmap_.handle_);
        SetHandle(dc_);
    }

private:
    TBitmap& bitmap_;
    HDC dc_ = nullptr;
    HGDIOBJ previous_ = nullptr;
};

TBitmap::TBitmap() : canvas_(std::make_unique<TBitmapCanvas>(*this)) {
    canvas_->OnChange = [this](TObject*) { Changed(); };
}

TBitmap::TBitmap(int width, int height) : TBitmap() { SetSize(width, height); }

TBitmap::~TBitmap() {
    canvas_.reset();
    if (handle_) {
        DeleteObject(handle_);
        --GdiTally();
    }
}

void TBitmap::Changed() {
    if (OnChange) OnChange(this);
}

TCanvas& TBitmap::Canvas() { return *canvas_; }

HBITMAP TBitmap::Handle() const { return handle_; }

void TBitmap::Replace(HBITMAP handle, int width, int height, TBitmapHandleType type, bool monochrome,
                      std::uint32_t* bits) {
    canvas_->FreeHandle();
    if (handle_) {
        DeleteObject(handle_);
        --GdiTally();
    }
    handle_ = handle;
    if (handle_) ++GdiTally();
    bits_ = bits;
    width_ = handle ? width : 0;
    height_ = handle ? height : 0;
    handleType_ = type;
    monochrome_ = monochrome;
}

// A new handle of the given kind and size holding the old pixels (white where there were none).
void TBitmap::Rebuild(int width, int height, TBitmapHandleType type, bool monochrome) {
    std::uint32_t* bits = nullptr;
    TGdiHandle<HBITMAP> fresh(CreateHandleOf(width, height, type, monochrome, &bits));
    if (fresh) {
        TMemoryDC dc;
        TSelectObject selected(dc.Get(), fresh.Get());
        PatBlt(dc.Get(), 0, 0, width, height, WHITENESS);
        if (handle_) {
            HDC source = canvas_->Handle();
            if (monochrome && !monochrome_) SetBkColor(source, ColorToRGB(canvas_->Brush().Color()));
            BitBlt(dc.Get(), 0, 0, width, height, source, 0, 0, SRCCOPY);
        }
    }
    Replace(fresh.Release(), width, height, type, monochrome, bits);
}

void TBitmap::SetSize(int width, int height) {
    if (width < 0 || height < 0) throw EInvalidGraphic("Invalid bitmap size");
    if (width == width_ && height == height_) return;
    Rebuild(width, height, handleType_, monochrome_);
    Changed();
}

void TBitmap::SetHandleType(TBitmapHandleType type) {
    if (type == handleType_ && !monochrome_) return;
    Rebuild(width_, height_, type, false);
    Changed();
}

void TBitmap::SetMonochrome(bool monochrome) {
    if (monochrome == monochrome_) return;
    Rebuild(width_, height_, monochrome ? TBitmapHandleType::bmDDB : TBitmapHandleType::bmDIB, monochrome);
    Changed();
}

void TBitmap::Assign(const TPersistent& source) {
    auto* other = dynamic_cast<const TBitmap*>(&source);
    if (!other) return TPersistent::Assign(source);
    if (other == this) return;
    auto& from = const_cast<TBitmap&>(*other);
    std::uint32_t* bits = nullptr;
    TGdiHandle<HBITMAP> fresh(CreateHandleOf(from.width_, from.height_, from.handleType_, from.monochrome_, &bits));
    if (fresh) {
        TMemoryDC dc;
        TSelectObject selected(dc.Get(), fresh.Get());
        BitBlt(dc.Get(), 0, 0, from.width_, from.height_, from.Canvas().Handle(), 0, 0, SRCCOPY);
    }
    Replace(fresh.Release(), from.width_, from.height_, from.handleType_, from.monochrome_, bits);
    transparent_ = from.transparent_;
    transparentColor_ = from.transparentColor_;
    transparentMode_ = from.transparentMode_;
    Changed();
}

void TBitmap::SetTransparent(bool transparent) {
    if (transparent == transparent_) return;
    transparent_ = transparent;
    Changed();
}

TColor TBitmap::TransparentColor() {
    if (transparentMode_ == TTransparentMode::tmFixed && transparentColor_ != clDefault) return transparentColor_;
    return Empty() ? clDefault : Pixel(0, height_ - 1);
}

void TBitmap::SetTransparentColor(TColor color) {
    transparentColor_ = color;
    transparentMode_ = color == clDefault ? TTransparentMode::tmAuto : TTransparentMode::tmFixed;
    Changed();
}

void TBitmap::SetTransparentMode(TTransparentMode mode) {
    if (mode == transparentMode_) return;
    transparentMode_ = mode;
    if (mode == TTransparentMode::tmAuto) transparentColor_ = clDefault;
    Changed();
}

TColor TBitmap::Pixel(int x, int y) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return clNone;
    if (bits_) {
        GdiFlush();
        std::uint32_t bgra = bits_[static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)];
        return RGBColor((bgra >> 16) & 0xFF, (bgra >> 8) & 0xFF, bgra & 0xFF);
    }
    return canvas_->Pixel(x, y);
}

void TBitmap::LoadFromResourceName(const std::string& name) {
    TGdiHandle<HBITMAP> loaded(static_cast<HBITMAP>(
        LoadImageA(GetModuleHandleA(nullptr), name.c_str(), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    if (!loaded) throw EInvalidGraphic("Resource " + name + " not found");
    BITMAP info{};
    GetObjectA(loaded.Get(), sizeof info, &info);
    std::uint32_t* bits = nullptr;
    TGdiHandle<HBITMAP> fresh(CreateHandleOf(info.bmWidth, info.bmHeight, TBitmapHandleType::bmDIB, false, &bits));
    {
        TMemoryDC source;
        TSelectObject sourceSelected(source.Get(), loaded.Get());
        TMemoryDC dest;
        TSelectObject destSelected(dest.Get(), fresh.Get());
        BitBlt(dest.Get(), 0, 0, info.bmWidth, info.bmHeight, source.Get(), 0, 0, SRCCOPY);
    }
    Replace(fresh.Release(), info.bmWidth, info.bmHeight, TBitmapHandleType::bmDIB, false, bits);
    Changed();
}

void TBitmap::LoadFromStream(TStream& stream) {
    std::uint8_t header[kFileHeaderSize];
    stream.ReadBuffer(header, sizeof header);
    std::uint32_t fileSize = Read32(header + kOffFileSize);
    if (Read16(header) != kBmpSignature || fileSize < kFileHeaderSize + kInfoHeaderSize || fileSize > kMaxBmpSize)
        throw EInvalidGraphic("Bitmap image is not valid");
    std::vector<std::uint8_t> rest(fileSize - kFileHeaderSize);
    stream.ReadBuffer(rest.data(), rest.size());
    const std::uint8_t* info = rest.data();
    std::uint32_t infoSize = Read32(info + kOffInfoSize);
    std::int32_t width = static_cast<std::int32_t>(Read32(info + kOffWidth));
    std::int32_t height = static_cast<std::int32_t>(Read32(info + kOffHeight));
    std::uint16_t bitCount = Read16(info + kOffBitCount);
    std::uint32_t compression = Read32(info + kOffCompression);
    std::uint32_t colorsUsed = Read32(info + kOffColorsUsed);
    std::uint32_t pixelOffset = Read32(header + kOffPixelOffset);
    std::int32_t rows = height < 0 ? -height : height;
    bool knownDepth = bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 24 || bitCount == 32;
    if (infoSize < kInfoHeaderSize || infoSize > rest.size() || !knownDepth || compression != BI_RGB || width <= 0 ||
        rows <= 0 || width > kMaxDimension || rows > kMaxDimension)
        throw EInvalidGraphic("Bitmap image is not valid");
    std::uint32_t paletteEntries = bitCount <= 8 ? (colorsUsed ? colorsUsed : (1u << bitCount)) : 0;
    if (bitCount <= 8 && paletteEntries > (1u << bitCount))
        throw EInvalidGraphic("Bitmap image is not valid");
    size_t stride = ((static_cast<size_t>(width) * bitCount + 31) / 32) * 4;
    size_t tableEnd = kFileHeaderSize + infoSize + paletteEntries * sizeof(RGBQUAD);
    if (pixelOffset < tableEnd || pixelOffset > fileSize || fileSize - pixelOffset < stride * static_cast<size_t>(rows))
        throw EInvalidGraphic("Bitmap image is not valid");

    std::vector<std::uint8_t> infoBlock(sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD));
    std::memcpy(infoBlock.data(), info, sizeof(BITMAPINFOHEADER));
    std::memcpy(infoBlock.data() + sizeof(BITMAPINFOHEADER), info + infoSize, paletteEntries * sizeof(RGBQUAD));
    auto* bitmapInfo = reinterpret_cast<BITMAPINFO*>(infoBlock.data());
    bitmapInfo->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);

    std::uint32_t* bits = nullptr;
    TGdiHandle<HBITMAP> fresh(CreateHandleOf(width, rows, TBitmapHandleType::bmDIB, false, &bits));
    TWindowDC screen;
    SetDIBits(screen.Get(), fresh.Get(), 0, static_cast<UINT>(rows), rest.data() + (pixelOffset - kFileHeaderSize),
              bitmapInfo, DIB_RGB_COLORS);
    Replace(fresh.Release(), width, rows, TBitmapHandleType::bmDIB, false, bits);
    Changed();
}

void TBitmap::SaveToStream(TStream& stream) {
    size_t stride = ((static_cast<size_t>(width_) * kSavedBitCount + 31) / 32) * 4;
    size_t pixelBytes = stride * static_cast<size_t>(height_);
    std::vector<std::uint8_t> out;
    Put16(out, kBmpSignature);
    Put32(out, static_cast<std::uint32_t>(kFileHeaderSize + kInfoHeaderSize + pixelBytes));
    Put32(out, 0);
    Put32(out, static_cast<std::uint32_t>(kFileHeaderSize + kInfoHeaderSize));
    Put32(out, kInfoHeaderSize);
    Put32(out, static_cast<std::uint32_t>(width_));
    Put32(out, static_cast<std::uint32_t>(height_));  // bottom-up rows
    Put16(out, 1);
    Put16(out, kSavedBitCount);
    Put32(out, BI_RGB);
    Put32(out, static_cast<std::uint32_t>(pixelBytes));
    Put32(out, 0);
    Put32(out, 0);
    Put32(out, 0);
    Put32(out, 0);
    for (int y = height_ - 1; y >= 0; --y) {
        size_t start = out.size();
        for (int x = 0; x < width_; ++x) {
            TColor c = Pixel(x, y);
            out.push_back(static_cast<std::uint8_t>((c >> 16) & 0xFF));
            out.push_back(static_cast<std::uint8_t>((c >> 8) & 0xFF));
            out.push_back(static_cast<std::uint8_t>(c & 0xFF));
        }
        out.resize(start + stride, 0);
    }
    stream.WriteBuffer(out.data(), out.size());
}

void TBitmap::LoadFromFile(const std::string& fileName) {
    TFileStream stream(fileName, TFileMode::fmOpenRead);
    LoadFromStream(stream);
}

void TBitmap::SaveToFile(const std::string& fileName) {
    TFileStream stream(fileName, TFileMode::fmCreate);
    SaveToStream(stream);
}
