// TBitmap: a picture in a DIB section (or a device or monochrome bitmap) with its own canvas.
#pragma once

#include "Canvas.h"
#include "Classes.h"
#include "Colors.h"

#include <cstdint>
#include <memory>
#include <string>

class TStream;
class TBitmapCanvas;

enum class TBitmapHandleType { bmDIB, bmDDB };
enum class TTransparentMode { tmAuto, tmFixed };

class TBitmap : public TPersistent {
public:
    TBitmap();
    TBitmap(int width, int height);
    ~TBitmap() override;

    // Copies the pixels, the format and the transparency of another bitmap.
    void Assign(const TPersistent& source) override;

    int Width() const { return width_; }
    int Height() const { return height_; }
    bool Empty() const { return width_ == 0 || height_ == 0; }
    // Resizing keeps the pixels that still fit; new ones are white.
    void SetSize(int width, int height);
    void SetWidth(int width) { SetSize(width, height_); }
    void SetHeight(int height) { SetSize(width_, height); }

    TCanvas& Canvas();
    // The bitmap handle (nullptr while empty); the bitmap keeps owning it.
    HBITMAP Handle() const;

    TBitmapHandleType HandleType() const { return handleType_; }
    // Converts to a device-dependent or back to a 32-bit DIB section, keeping the pixels.
    void SetHandleType(TBitmapHandleType type);
    bool Monochrome() const { return monochrome_; }
    // Converting to monochrome turns pixels of the canvas's brush colour white, others black.
    void SetMonochrome(bool monochrome);

    bool Transparent() const { return transparent_; }
    void SetTransparent(bool transparent);
    // tmAuto: the bottom-left pixel's colour; tmFixed: the colour set with SetTransparentColor.
    TColor TransparentColor();
    void SetTransparentColor(TColor color);
    TTransparentMode TransparentMode() const { return transparentMode_; }
    void SetTransparentMode(TTransparentMode mode);

    // Loads a bitmap resource of the program by name (any letter case); raises when absent.
    void LoadFromResourceName(const std::string& name);
    // One BMP file image: file header, information header, colour table, pixel rows.
    void LoadFromStream(TStream& stream);
    void SaveToStream(TStream& stream);
    void LoadFromFile(const std::string& fileName);
    void SaveToFile(const std::string& fileName);

    // The RGB colour of one pixel (clNone outside the bitmap).
    TColor Pixel(int x, int y);

    TNotifyEvent OnChange;

private:
    friend class TBitmapCanvas;
    void Changed();
    void Replace(HBITMAP handle, int width, int height, TBitmapHandleType type, bool monochrome, std::uint32_t* bits);
    void Rebuild(int width, int height, TBitmapHandleType type, bool monochrome);

    int width_ = 0;
    int height_ = 0;
    TBitmapHandleType handleType_ = TBitmapHandleType::bmDIB;
    bool monochrome_ = false;
    bool transparent_ = false;
    TColor transparentColor_ = clDefault;
    TTransparentMode transparentMode_ = TTransparentMode::tmAuto;
    HBITMAP handle_ = nullptr;
    std::uint32_t* bits_ = nullptr;
    std::unique_ptr<TBitmapCanvas> canvas_;
};
