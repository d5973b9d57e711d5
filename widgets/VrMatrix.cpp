// The LED matrix: parsing its text, placing it in the cells, scrolling it, and
// painting the bevel, the unlit cells and the lit dots into the off-screen image.
#include "VrMatrix.h"

#include "SysUtils.h"
#include "VrMatrixFont.h"
#include "VrSysUtils.h"

namespace {

constexpr int InitialWidth = 245;
constexpr int InitialHeight = 30;
constexpr int InitialScrollInterval = 500;
constexpr int InitialInnerBevelWidth = 2;
// The colours of the cell resources: grey unlit dots on black.
constexpr TColor CellDotKey = clGray;
constexpr TColor CellUnusedKey = clSilver;
constexpr TColor CellBackgroundKey = clBlack;
// Lit cells kept at most; a text rarely has more different characters and colours.
constexpr size_t MaxLitCells = 128;

} // namespace

TVrMatrix::TVrMatrix(TComponent* owner) : TVrGraphicImageControl(owner)
{
    SetControlStyle((ControlStyle() + TControlStyleFlag::csOpaque) - TControlStyleFlag::csSetCaption);
    TControl::SetBounds(Left(), Top(), InitialWidth, InitialHeight);
    SetParentColor(false);
    SetColor(clBlack);

    palette_ = std::make_unique<TVrPalette>();
    palette_->OnChange = [this](TObject* sender) { PaletteChanged(sender); };
    bevel_ = std::make_unique<TVrBevel>();
    bevel_->SetInnerStyle(TVrBevelStyle::bsLowered);
    bevel_->SetInnerWidth(InitialInnerBevelWidth);
    bevel_->SetInnerColor(clBlack);
    bevel_->OnChange = [this](TObject* sender) { BevelChanged(sender); };
    timer_ = std::make_unique<TVrTimer>(nullptr);
    timer_->SetEnabled(false);
    timer_->SetInterval(InitialScrollInterval);
    timer_->OnTimer = [this](TObject* sender) { ScrollTick(sender); };
    cell_ = std::make_unique<TBitmap>();
    LoadLedBitmap();
}

TVrMatrix::~TVrMatrix()
{
    // The timer goes first, so no tick can reach a half-destroyed matrix.
    timer_.reset();
    bevel_.reset();
    cell_.reset();
    palette_.reset();
}

bool TVrMatrix::Threaded() const
{
    return timer_->TimerType() == TVrTimerType::ttThread;
}

void TVrMatrix::SetThreaded(bool threaded)
{
    timer_->SetTimerType(threaded ? TVrTimerType::ttThread : TVrTimerType::ttSystem);
}

void TVrMatrix::SetTextStyle(TVrMatrixTextStyle style)
{
    if (textStyle_ == style)
        return;
    textStyle_ = style;
    UpdateText(Text());
    UpdateControlCanvas();
}

void TVrMatrix::SetOrientation(TVrOrientation orientation)
{
    if (orientation_ == orientation)
        return;
    orientation_ = orientation;
    AdjustBounds();
}

void TVrMatrix::SetLeds(int leds)
{
    if (leds < 1)
        throw ERangeError();
    if (leds_ == leds)
        return;
    leds_ = leds;
    UpdateText(Text());
    AdjustBounds();
}

void TVrMatrix::SetSpacing(int spacing)
{
    if (spacing_ == spacing)
        return;
    spacing_ = spacing;
    AdjustBounds();
}

void TVrMatrix::SetLedStyle(TVrMatrixLedStyle style)
{
    if (ledStyle_ == style)
        return;
    ledStyle_ = style;
    LoadLedBitmap();
    AdjustBounds();
}

void TVrMatrix::SetLedsVisible(bool visible)
{
    if (ledsVisible_ == visible)
        return;
    ledsVisible_ = visible;
    litCells_.clear();
    UpdateControlCanvas();
}

void TVrMatrix::SetAutoScroll(bool autoScroll)
{
    if (autoScroll_ == autoScroll)
        return;
    autoScroll_ = autoScroll;
    if (!Designing())
        timer_->SetEnabled(autoScroll);
}

void TVrMatrix::SetAlignment(TVrAlignment alignment)
{
    if (alignment_ == alignment)
        return;
    alignment_ = alignment;
    UpdateControlCanvas();
}

int TVrMatrix::TimeInterval() const
{
    return static_cast<int>(timer_->Interval());
}

void TVrMatrix::SetTimeInterval(int interval)
{
    if (interval < 0)
        throw ERangeError();
    timer_->SetInterval(static_cast<unsigned>(interval));
}

void TVrMatrix::SetBounds(int left, int top, int width, int height)
{
    if (bevel_ && cell_) {
        TRect client = Rect(0, 0, Width(), Height());
        bevel_->GetVisibleArea(client);
        const int thickness = client.Left;
        const TVrMatrixCell& cell = MatrixCell(ledStyle_);
        const int gap = (leds_ - 1) * spacing_;
        if (orientation_ == TVrOrientation::voHorizontal) {
            width = cell.Width * leds_ + gap + 2 * thickness;
            height = cell.Height + 2 * thickness;
        } else {
            width = cell.Width + 2 * thickness;
            height = cell.Height * leds_ + gap + 2 * thickness;
        }
    }
    TVrGraphicImageControl::SetBounds(left, top, width, height);
}

void TVrMatrix::CMTextChanged()
{
    TVrGraphicImageControl::CMTextChanged();
    UpdateText(Text());
    UpdateControlCanvas();
}

void TVrMatrix::CMColorChanged()
{
    TVrGraphicImageControl::CMColorChanged();
    LoadLedBitmap();
}

void TVrMatrix::CMSysColorChange()
{
    TVrGraphicImageControl::CMSysColorChange();
    LoadLedBitmap();
}

void TVrMatrix::Loaded()
{
    TVrGraphicImageControl::Loaded();
    AlignText();
    AdjustBounds();
}

void TVrMatrix::LoadLedBitmap()
{
    if (!cell_ || !palette_)
        return;
    litCells_.clear();
    cell_->LoadFromResourceName(MatrixCell(ledStyle_).ResourceName);
    palette_->ApplyToBitmap(*cell_, CellDotKey, CellUnusedKey);
    ReplaceBitmapColor(*cell_, CellBackgroundKey, Color());
}

void TVrMatrix::DoScrollDone()
{
    if (OnScrollDone)
        OnScrollDone(this);
}

void TVrMatrix::UpdateText(const std::string& text)
{
    TVrMatrixText parsed = ParseMatrixText(text, textStyle_);
    display_ = std::move(parsed.Display);
    codes_ = std::move(parsed.Codes);
}

void TVrMatrix::AlignText()
{
    charIndex_ = AlignedCharIndex(alignment_, static_cast<int>(display_.size()), leds_);
}

void TVrMatrix::Paint()
{
    ClearBitmapCanvas();
    TRect client = ClientRect();
    bevel_->Draw(BitmapCanvas(), client);
    DrawMatrix();
    TVrGraphicImageControl::Paint();
}

void TVrMatrix::DrawMatrix()
{
    if (!autoScroll_)
        AlignText();
    const TVrMatrixCell& cell = MatrixCell(ledStyle_);
    int x;
    int y;
    if (orientation_ == TVrOrientation::voHorizontal) {
        const int total = cell.Width * leds_ + spacing_ * (leds_ - 1);
        x = (Width() - total) / 2;
        y = (Height() - cell.Height) / 2;
    } else {
        const int total = cell.Height * leds_ + spacing_ * (leds_ - 1);
        x = (Width() - cell.Width) / 2;
        y = (Height() - total) / 2;
    }
    const int length = static_cast<int>(display_.size());
    int index = charIndex_;
    for (int led = 0; led < leds_; ++led, ++index) {
        const bool shown = index >= 1 && index <= length && display_[static_cast<size_t>(index - 1)] != ' ';
        if (shown)
            BitmapCanvas().Draw(x, y, LitCell(static_cast<unsigned char>(display_[static_cast<size_t>(index - 1)]),
                                              ColorOfCode(codes_[static_cast<size_t>(index - 1)], palette_->High())));
        else if (ledsVisible_)
            BitmapCanvas().Draw(x, y, *cell_);
        if (orientation_ == TVrOrientation::voHorizontal)
            x += cell.Width + spacing_;
        else
            y += cell.Height + spacing_;
    }
}

TBitmap& TVrMatrix::LitCell(unsigned char character, TColor color)
{
    std::unique_ptr<TBitmap>& lit = litCells_[{character, color}];
    if (lit)
        return *lit;
    if (litCells_.size() > MaxLitCells) {
        litCells_.clear();
        return LitCell(character, color);
    }
    const TVrMatrixCell& cell = MatrixCell(ledStyle_);
    lit = std::make_unique<TBitmap>(cell.Width, cell.Height);
    if (ledsVisible_) {
        lit->Canvas().Draw(0, 0, *cell_);
    } else {
        lit->Canvas().Brush().SetStyle(TBrushStyle::bsSolid);
        lit->Canvas().Brush().SetColor(Color());
        lit->Canvas().FillRect(Rect(0, 0, cell.Width, cell.Height));
    }
    DrawChar(lit->Canvas(), 0, 0, color, character);
    return *lit;
}

void TVrMatrix::DrawChar(TCanvas& canvas, int x, int y, TColor color, unsigned char character)
{
    if (character == ' ')
        return;
    const TVrMatrixCell& cell = MatrixCell(ledStyle_);
    canvas.Brush().SetStyle(TBrushStyle::bsSolid);
    canvas.Brush().SetColor(color);
    for (int row = 0; row < VrMatrixFontRows; ++row) {
        const unsigned char dots = MatrixFontRow(character, row);
        for (int bit = 0; bit < VrMatrixFontColumns; ++bit)
            if (dots >> bit & 1)
                canvas.FillRect(LitDotRect(cell, x, y, row, bit));
    }
}

void TVrMatrix::ScrollTick(TObject*)
{
    const int length = static_cast<int>(display_.size());
    if (scrollDirection_ == TVrMatrixScrollDirection::msdRightToLeft) {
        if (length > charIndex_) {
            ++charIndex_;
        } else {
            DoScrollDone();
            charIndex_ = 1 - leds_;
        }
    } else {
        if (charIndex_ > 1 - leds_) {
            --charIndex_;
        } else {
            DoScrollDone();
            charIndex_ = length;
        }
    }
    UpdateControlCanvas();
}

void TVrMatrix::PaletteChanged(TObject*)
{
    LoadLedBitmap();
    UpdateControlCanvas();
}

void TVrMatrix::BevelChanged(TObject*)
{
    AdjustBounds();
}
