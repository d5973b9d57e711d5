// TCanvas: drawing on a device context with a pen, a brush and a font.
// A canvas either has a DC attached (SetHandle) or makes one itself when asked (CreateHandle).
#pragma once

#include "Graphics.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

class TBitmap;
class TIcon;

// Flags of DrawText (the platform's values).
namespace TextFormat {
constexpr unsigned Top = 0x0000;
constexpr unsigned Left = 0x0000;
constexpr unsigned Center = 0x0001;
constexpr unsigned Right = 0x0002;
constexpr unsigned VCenter = 0x0004;
constexpr unsigned Bottom = 0x0008;
constexpr unsigned WordBreak = 0x0010;
constexpr unsigned SingleLine = 0x0020;
constexpr unsigned ExpandTabs = 0x0040;
constexpr unsigned NoClip = 0x0100;
constexpr unsigned CalcRect = 0x0400;
constexpr unsigned NoPrefix = 0x0800;
}  // namespace TextFormat

// Raster operations for CopyMode (the platform's values).
namespace CopyModes {
constexpr unsigned SrcCopy = 0x00CC0020;
constexpr unsigned SrcPaint = 0x00EE0086;
constexpr unsigned SrcAnd = 0x008800C6;
constexpr unsigned SrcInvert = 0x00660046;
constexpr unsigned MergePaint = 0x00BB0226;
constexpr unsigned NotSrcCopy = 0x00330008;
constexpr unsigned PatCopy = 0x00F00021;
}  // namespace CopyModes

class TCanvas : public TPersistent {
public:
    TCanvas();
    ~TCanvas() override;

    // The DC, made by CreateHandle when none is attached.
    HDC Handle();
    bool HandleAllocated() const { return dc_ != nullptr; }
    // Attaches a DC the caller owns (nullptr detaches); the canvas's tools are deselected first.
    void SetHandle(HDC dc);

    TPen& Pen() { return pen_; }
    TBrush& Brush() { return brush_; }
    TFont& Font() { return font_; }
    unsigned CopyMode = CopyModes::SrcCopy;
    TNotifyEvent OnChange;

    void FillRect(const TRect& rect);
    void FrameRect(const TRect& rect);
    void Rectangle(int left, int top, int right, int bottom);
    void Rectangle(const TRect& rect) { Rectangle(rect.Left, rect.Top, rect.Right, rect.Bottom); }
    void Ellipse(int left, int top, int right, int bottom);
    void MoveTo(int x, int y);
    void LineTo(int x, int y);
    TPoint PenPos();
    void Polyline(const std::vector<TPoint>& points);
    void Polygon(const std::vector<TPoint>& points);
    void DrawFocusRect(const TRect& rect);
    TColor Pixel(int x, int y);
    void SetPixel(int x, int y, TColor color);

    void TextOut(int x, int y, const std::string& text);
    void TextRect(const TRect& rect, int x, int y, const std::string& text);
    TPoint TextExtent(const std::string& text);
    int TextWidth(const std::string& text) { return TextExtent(text).X; }
    int TextHeight(const std::string& text) { return TextExtent(text).Y; }
    // The platform's DrawText with TextFormat flags; with CalcRect, Rect receives the extent.
    int DrawText(const std::string& text, TRect& rect, unsigned format);

    // The visible part of the surface, in this canvas's coordinates.
    TRect ClipRect();
    // Copies Source's rectangle (stretched) into Dest with CopyMode.
    void CopyRect(const TRect& dest, TCanvas& source, const TRect& sourceRect);
    // Draws a bitmap at (x, y), leaving out its transparent colour when it is Transparent.
    void Draw(int x, int y, TBitmap& bitmap);
    void Draw(int x, int y, TIcon& icon);
    void StretchDraw(const TRect& dest, TBitmap& bitmap);
    // Copies a rectangle of Bitmap with its pixels of Color replaced by the brush
    // (left out altogether when the brush is clear).
    void BrushCopy(const TRect& dest, TBitmap& bitmap, const TRect& source, TColor color);
    // Text and background colours of the device itself (used by mask transfers); they hold
    // until the font or the brush changes.
    void SetDeviceTextColor(TColor color);
    void SetDeviceBackColor(TColor color);

    // Serialises drawing from several threads; locks nest.
    void Lock();
    void Unlock();
    int LockCount() const { return lockCount_; }

protected:
    // Makes a DC when one is needed and none is attached; the default raises.
    virtual void CreateHandle();
    // Gives back a DC that CreateHandle made.
    virtual void FreeHandle();
    void Changed() {
        if (OnChange) OnChange(this);
    }

private:
    struct Tools;
    void RequirePen();
    void RequireBrush();
    void RequireFont();
    void DeselectTools();

    HDC dc_ = nullptr;
    TPen pen_;
    TBrush brush_;
    TFont font_;
    std::unique_ptr<Tools> tools_;
    bool penValid_ = false;
    bool brushValid_ = false;
    bool fontValid_ = false;
    std::recursive_mutex lock_;
    int lockCount_ = 0;
};

// Locks a canvas for a scope.
class TCanvasLock {
public:
    explicit TCanvasLock(TCanvas& canvas) : canvas_(canvas) { canvas_.Lock(); }
    TCanvasLock(const TCanvasLock&) = delete;
    TCanvasLock& operator=(const TCanvasLock&) = delete;
    ~TCanvasLock() { canvas_.Unlock(); }

private:
    TCanvas& canvas_;
};
