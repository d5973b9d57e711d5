// Canvas drawing over GDI; pen, brush and font are made when first needed after a change.
#include "Canvas.h"

#include "Bitmap.h"
#include "Icon.h"
#include "SysUtils.h"
#include "WinHandles.h"

namespace {

constexpr DWORD kMaskCopyRop = 0x00E20746;  // brush where the mask is white, the destination elsewhere
constexpr COLORREF kMaskWhite = RGB(255, 255, 255);
constexpr COLORREF kMaskBlack = RGB(0, 0, 0);

int PenStyleCode(TPenStyle style) {
    switch (style) {
    case TPenStyle::psDash: return PS_DASH;
    case TPenStyle::psDot: return PS_DOT;
    case TPenStyle::psDashDot: return PS_DASHDOT;
    case TPenStyle::psDashDotDot: return PS_DASHDOTDOT;
    case TPenStyle::psClear: return PS_NULL;
    case TPenStyle::psInsideFrame: return PS_INSIDEFRAME;
    case TPenStyle::psSolid: break;
    }
    return PS_SOLID;
}

int HatchCode(TBrushStyle style) {
    switch (style) {
    case TBrushStyle::bsHorizontal: return HS_HORIZONTAL;
    case TBrushStyle::bsVertical: return HS_VERTICAL;
    case TBrushStyle::bsFDiagonal: return HS_FDIAGONAL;
    case TBrushStyle::bsBDiagonal: return HS_BDIAGONAL;
    case TBrushStyle::bsCross: return HS_CROSS;
    default: break;
    }
    return HS_DIAGCROSS;
}

// R2_ codes follow the pen modes' order, starting at R2_BLACK for pmBlack... except for the
// first four, which the platform numbers differently.
int RopCode(TPenMode mode) {
    static const int codes[] = {R2_BLACK,       R2_WHITE,      R2_NOP,         R2_NOT,
                                R2_COPYPEN,     R2_NOTCOPYPEN, R2_MERGEPENNOT, R2_MASKPENNOT,
                                R2_MERGENOTPEN, R2_MASKNOTPEN, R2_MERGEPEN,    R2_NOTMERGEPEN,
                                R2_MASKPEN,     R2_NOTMASKPEN, R2_XORPEN,      R2_NOTXORPEN};
    return codes[static_cast<int>(mode)];
}

RECT ToRECT(const TRect& r) { return RECT{r.Left, r.Top, r.Right, r.Bottom}; }

}  // namespace

struct TCanvas::Tools {
    TGdiHandle<HPEN> pen;
    TGdiHandle<HBRUSH> brush;
    TGdiHandle<HFONT> font;
    HGDIOBJ originalPen = nullptr;
    HGDIOBJ originalBrush = nullptr;
    HGDIOBJ originalFont = nullptr;
};

TCanvas::TCanvas() : tools_(std::make_unique<Tools>()) {
    pen_.OnChange = [this](TObject*) { penValid_ = false; };
    brush_.OnChange = [this](TObject*) { brushValid_ = false; };
    font_.OnChange = [this](TObject*) { fontValid_ = false; };
}

TCanvas::~TCanvas() { DeselectTools(); }

HDC TCanvas::Handle() {
    if (!dc_) CreateHandle();
    if (!dc_) throw EInvalidOperation("Canvas does not allow drawing");
    return dc_;
}

void TCanvas::SetHandle(HDC dc) {
    if (dc == dc_) return;
    DeselectTools();
    dc_ = dc;
}

void TCanvas::CreateHandle() {}

void TCanvas::FreeHandle() { SetHandle(nullptr); }

void TCanvas::DeselectTools() {
    if (dc_) {
        if (tools_->originalPen) SelectObject(dc_, tools_->originalPen);
        if (tools_->originalBrush) SelectObject(dc_, tools_->originalBrush);
        if (tools_->originalFont) SelectObject(dc_, tools_->originalFont);
    }
    tools_->originalPen = tools_->originalBrush = tools_->originalFont = nullptr;
    tools_->pen.Reset();
    tools_->brush.Reset();
    tools_->font.Reset();
    penValid_ = brushValid_ = fontValid_ = false;
}

void TCanvas::RequirePen() {
    HDC dc = Handle();
    if (penValid_) return;
    TGdiHandle<HPEN> pen(CreatePen(PenStyleCode(pen_.Style()), pen_.Width(), ColorToRGB(pen_.Color())));
    if (!pen) RaiseLastOSError("CreatePen");
    HGDIOBJ previous = SelectObject(dc, pen.Get());
    if (!tools_->originalPen) tools_->originalPen = previous;
    tools_->pen = std::move(pen);
    SetROP2(dc, RopCode(pen_.Mode()));
    penValid_ = true;
}

void TCanvas::RequireBrush() {
    HDC dc = Handle();
    if (brushValid_) return;
    TGdiHandle<HBRUSH> brush;
    HGDIOBJ selected;
    if (brush_.Bitmap()) {
        brush.Reset(CreatePatternBrush(brush_.Bitmap()->Handle()));
        selected = brush.Get();
    } else if (brush_.Style() == TBrushStyle::bsClear) {
        selected = GetStockObject(NULL_BRUSH);
    } else if (brush_.Style() == TBrushStyle::bsSolid) {
        brush.Reset(CreateSolidBrush(ColorToRGB(brush_.Color())));
        selected = brush.Get();
    } else {
        brush.Reset(CreateHatchBrush(HatchCode(brush_.Style()), ColorToRGB(brush_.Color())));
        selected = brush.Get();
    }
    if (!selected) RaiseLastOSError("CreateBrush");
    HGDIOBJ previous = SelectObject(dc, selected);
    if (!tools_->originalBrush) tools_->originalBrush = previous;
    tools_->brush = std::move(brush);
    SetBkColor(dc, ColorToRGB(brush_.Color()));
    SetBkMode(dc, brush_.Style() == TBrushStyle::bsClear ? TRANSPARENT : OPAQUE);
    brushValid_ = true;
}

void TCanvas::RequireFont() {
    HDC dc = Handle();
    if (fontValid_) return;
    TFontStyles style = font_.Style();
    TGdiHandle<HFONT> font(CreateFontA(font_.Height(), 0, 0, 0,
                                       style.Contains(TFontStyle::fsBold) ? FW_BOLD : FW_NORMAL,
                                       style.Contains(TFontStyle::fsItalic), style.Contains(TFontStyle::fsUnderline),
                                       style.Contains(TFontStyle::fsStrikeOut), static_cast<DWORD>(font_.Charset()),
                                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY,
                                       DEFAULT_PITCH | FF_DONTCARE, font_.Name().c_str()));
    if (!font) RaiseLastOSError("CreateFont");
    HGDIOBJ previous = SelectObject(dc, font.Get());
    if (!tools_->originalFont) tools_->originalFont = previous;
    tools_->font = std::move(font);
    SetTextColor(dc, ColorToRGB(font_.Color()));
    fontValid_ = true;
}

void TCanvas::FillRect(const TRect& rect) {
    RequireBrush();
    RECT r = ToRECT(rect);
    ::FillRect(dc_, &r, static_cast<HBRUSH>(GetCurrentObject(dc_, OBJ_BRUSH)));
    Changed();
}

void TCanvas::FrameRect(const TRect& rect) {
    RequireBrush();
    RECT r = ToRECT(rect);
    ::FrameRect(dc_, &r, static_cast<HBRUSH>(GetCurrentObject(dc_, OBJ_BRUSH)));
    Changed();
}

void TCanvas::Rectangle(int left, int top, int right, int bottom) {
    RequirePen();
    RequireBrush();
    ::Rectangle(dc_, left, top, right, bottom);
    Changed();
}

void TCanvas::Ellipse(int left, int top, int right, int bottom) {
    RequirePen();
    RequireBrush();
    ::Ellipse(dc_, left, top, right, bottom);
    Changed();
}

void TCanvas::MoveTo(int x, int y) { MoveToEx(Handle(), x, y, nullptr); }

void TCanvas::LineTo(int x, int y) {
    RequirePen();
    ::LineTo(dc_, x, y);
    Changed();
}

TPoint TCanvas::PenPos() {
    POINT p{};
    GetCurrentPositionEx(Handle(), &p);
    return TPoint{p.x, p.y};
}

void TCanvas::Polyline(const std::vector<TPoint>& points) {
    RequirePen();
    std::vector<POINT> raw;
    for (const TPoint& p : points) raw.push_back(POINT{p.X, p.Y});
    ::Polyline(dc_, raw.data(), static_cast<int>(raw.size()));
    Changed();
}

void TCanvas::Polygon(const std::vector<TPoint>& points) {
    RequirePen();
    RequireBrush();
    std::vector<POINT> raw;
    for (const TPoint& p : points) raw.push_back(POINT{p.X, p.Y});
    ::Polygon(dc_, raw.data(), static_cast<int>(raw.size()));
    Changed();
}

void TCanvas::DrawFocusRect(const TRect& rect) {
    RECT r = ToRECT(rect);
    ::DrawFocusRect(Handle(), &r);
    Changed();
}

TColor TCanvas::Pixel(int x, int y) {
    COLORREF color = GetPixel(Handle(), x, y);
    return color == CLR_INVALID ? clNone : static_cast<TColor>(color);
}

void TCanvas::SetPixel(int x, int y, TColor color) {
    ::SetPixel(Handle(), x, y, ColorToRGB(color));
    Changed();
}

void TCanvas::TextOut(int x, int y, const std::string& text) {
    RequireFont();
    RequireBrush();
    ::TextOutA(dc_, x, y, text.c_str(), static_cast<int>(text.size()));
    MoveToEx(dc_, x + TextWidth(text), y, nullptr);
    Changed();
}

void TCanvas::TextRect(const TRect& rect, int x, int y, const std::string& text) {
    RequireFont();
    RequireBrush();
    RECT r = ToRECT(rect);
    UINT options = ETO_CLIPPED | (brush_.Style() == TBrushStyle::bsClear ? 0 : ETO_OPAQUE);
    ExtTextOutA(dc_, x, y, options, &r, text.c_str(), static_cast<UINT>(text.size()), nullptr);
    Changed();
}

TPoint TCanvas::TextExtent(const std::string& text) {
    RequireFont();
    SIZE size{};
    GetTextExtentPoint32A(dc_, text.c_str(), static_cast<int>(text.size()), &size);
    return TPoint{size.cx, size.cy};
}

int TCanvas::DrawText(const std::string& text, TRect& rect, unsigned format) {
    RequireFont();
    RequireBrush();
    RECT r = ToRECT(rect);
    int height = ::DrawTextA(dc_, text.c_str(), static_cast<int>(text.size()), &r, format);
    if (format & TextFormat::CalcRect) rect = TRect{r.left, r.top, r.right, r.bottom};
    else Changed();
    return height;
}

TRect TCanvas::ClipRect() {
    RECT r{};
    GetClipBox(Handle(), &r);
    return TRect{r.left, r.top, r.right, r.bottom};
}

void TCanvas::CopyRect(const TRect& dest, TCanvas& source, const TRect& sourceRect) {
    RequireBrush();
    source.RequireBrush();
    StretchBlt(dc_, dest.Left, dest.Top, dest.Width(), dest.Height(), source.dc_, sourceRect.Left, sourceRect.Top,
               sourceRect.Width(), sourceRect.Height(), CopyMode);
    Changed();
}

void TCanvas::Draw(int x, int y, TBitmap& bitmap) {
    StretchDraw(Bounds(x, y, bitmap.Width(), bitmap.Height()), bitmap);
}

void TCanvas::StretchDraw(const TRect& dest, TBitmap& bitmap) {
    if (bitmap.Empty()) return;
    HDC dc = Handle();
    HDC source = bitmap.Canvas().Handle();
    if (bitmap.Transparent()) {
        TransparentBlt(dc, dest.Left, dest.Top, dest.Width(), dest.Height(), source, 0, 0, bitmap.Width(),
                       bitmap.Height(), static_cast<UINT>(ColorToRGB(bitmap.TransparentColor())));
    } else {
        StretchBlt(dc, dest.Left, dest.Top, dest.Width(), dest.Height(), source, 0, 0, bitmap.Width(),
                   bitmap.Height(), CopyMode);
    }
    Changed();
}

void TCanvas::Draw(int x, int y, TIcon& icon) {
    if (icon.Empty()) return;
    DrawIconEx(Handle(), x, y, icon.Handle(), 0, 0, 0, nullptr, DI_NORMAL);
    Changed();
}

void TCanvas::BrushCopy(const TRect& dest, TBitmap& bitmap, const TRect& source, TColor color) {
    if (bitmap.Empty()) return;
    HDC dc = Handle();
    HDC sourceDC = bitmap.Canvas().Handle();
    COLORREF key = ColorToRGB(color);
    if (brush_.Style() == TBrushStyle::bsClear) {
        TransparentBlt(dc, dest.Left, dest.Top, dest.Width(), dest.Height(), sourceDC, source.Left, source.Top,
                       source.Width(), source.Height(), key);
        Changed();
        return;
    }
    TMemoryDC maskDC(dc);
    TGdiHandle<HBITMAP> mask(CreateBitmap(source.Width(), source.Height(), 1, 1, nullptr));
    if (!mask) RaiseLastOSError("CreateBitmap");
    TSelectObject maskSelected(maskDC.Get(), mask.Get());
    COLORREF previousBack = SetBkColor(sourceDC, key);
    BitBlt(maskDC.Get(), 0, 0, source.Width(), source.Height(), sourceDC, source.Left, source.Top, SRCCOPY);
    SetBkColor(sourceDC, previousBack);
    StretchBlt(dc, dest.Left, dest.Top, dest.Width(), dest.Height(), sourceDC, source.Left, source.Top,
               source.Width(), source.Height(), SRCCOPY);
    RequireBrush();
    COLORREF previousText = SetTextColor(dc, kMaskBlack);
    COLORREF previousDeviceBack = SetBkColor(dc, kMaskWhite);
    StretchBlt(dc, dest.Left, dest.Top, dest.Width(), dest.Height(), maskDC.Get(), 0, 0, source.Width(),
               source.Height(), kMaskCopyRop);
    SetTextColor(dc, previousText);
    SetBkColor(dc, previousDeviceBack);
    Changed();
}

void TCanvas::SetDeviceTextColor(TColor color) {
    RequireFont();
    RequireBrush();
    SetTextColor(dc_, ColorToRGB(color));
}

void TCanvas::SetDeviceBackColor(TColor color) {
    RequireFont();
    RequireBrush();
    SetBkColor(dc_, ColorToRGB(color));
}

void TCanvas::Lock() {
    lock_.lock();
    ++lockCount_;
}

void TCanvas::Unlock() {
    --lockCount_;
    lock_.unlock();
}
