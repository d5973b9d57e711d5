// TVrMatrix: a row (or column) of 5 x 7 dot LED character cells showing a text
// with per-character colours, aligned in the cells or scrolled through them.
#pragma once

#include "Bitmap.h"
#include "VrClasses.h"
#include "VrControls.h"
#include "VrMatrixLayout.h"
#include "VrThreads.h"

#include <map>
#include <memory>
#include <string>
#include <utility>

class TVrMatrix : public TVrGraphicImageControl {
public:
    explicit TVrMatrix(TComponent* owner);
    ~TVrMatrix() override;

    bool Threaded() const;
    void SetThreaded(bool threaded);
    TVrMatrixTextStyle TextStyle() const { return textStyle_; }
    void SetTextStyle(TVrMatrixTextStyle style);
    TVrOrientation Orientation() const { return orientation_; }
    void SetOrientation(TVrOrientation orientation);
    int Leds() const { return leds_; }
    // Raises ERangeError below 1: a matrix has at least one cell.
    void SetLeds(int leds);
    int Spacing() const { return spacing_; }
    void SetSpacing(int spacing);
    TVrPalette& Palette() { return *palette_; }
    void SetPalette(const TVrPalette& palette) { palette_->Assign(palette); }
    TVrMatrixLedStyle LedStyle() const { return ledStyle_; }
    void SetLedStyle(TVrMatrixLedStyle style);
    bool LedsVisible() const { return ledsVisible_; }
    void SetLedsVisible(bool visible);
    bool AutoScroll() const { return autoScroll_; }
    void SetAutoScroll(bool autoScroll);
    TVrAlignment Alignment() const { return alignment_; }
    void SetAlignment(TVrAlignment alignment);
    int TimeInterval() const;
    // Raises ERangeError for a negative interval, which is then not taken.
    void SetTimeInterval(int interval);
    TVrMatrixScrollDirection ScrollDirection() const { return scrollDirection_; }
    void SetScrollDirection(TVrMatrixScrollDirection direction) { scrollDirection_ = direction; }
    TVrBevel& Bevel() { return *bevel_; }
    void SetBevel(const TVrBevel& bevel) { bevel_->Assign(bevel); }
    TNotifyEvent OnScrollDone;

    // What the cells show: the text without escapes, in the text style's case.
    const std::string& DisplayText() const { return display_; }
    // The colour code of each displayed character ('-' where none was given).
    const std::string& ColorCodes() const { return codes_; }
    // The 1-based index of the character in the first cell (may lie outside the text).
    int CharIndex() const { return charIndex_; }
    // The scroll timer, owned by the matrix.
    TVrTimer& ScrollTimer() { return *timer_; }

    // Always gives the matrix its natural size: the cells, their spacing and the bevel.
    void SetBounds(int left, int top, int width, int height) override;

protected:
    void Paint() override;
    void CMTextChanged() override;
    void CMColorChanged() override;
    void CMSysColorChange() override;
    void Loaded() override;
    // Loads the unlit cell of the LED style and colours it with Palette.Low and Color.
    virtual void LoadLedBitmap();
    virtual void DoScrollDone();

private:
    void UpdateText(const std::string& text);
    void AlignText();
    void DrawMatrix();
    void DrawChar(TCanvas& canvas, int x, int y, TColor color, unsigned char character);
    // The cell with Character lit in Color, drawn once and kept until the cells change.
    TBitmap& LitCell(unsigned char character, TColor color);
    void ScrollTick(TObject* sender);
    void PaletteChanged(TObject* sender);
    void BevelChanged(TObject* sender);

    TVrMatrixTextStyle textStyle_ = TVrMatrixTextStyle::tsUpperCase;
    TVrOrientation orientation_ = TVrOrientation::voHorizontal;
    int leds_ = 15;
    int spacing_ = 2;
    TVrMatrixLedStyle ledStyle_ = TVrMatrixLedStyle::ls14x20;
    bool ledsVisible_ = true;
    bool autoScroll_ = false;
    TVrAlignment alignment_ = TVrAlignment::vaLeftJustify;
    TVrMatrixScrollDirection scrollDirection_ = TVrMatrixScrollDirection::msdRightToLeft;
    std::string display_;
    std::string codes_;
    int charIndex_ = 1;
    std::unique_ptr<TVrPalette> palette_;
    std::unique_ptr<TVrBevel> bevel_;
    std::unique_ptr<TVrTimer> timer_;
    std::unique_ptr<TBitmap> cell_;
    std::map<std::pair<unsigned char, TColor>, std::unique_ptr<TBitmap>> litCells_;
};
