// The LED matrix: "100.000MHz" painted in each LED style and read back dot by dot,
// colour codes, alignment, the natural size, scrolling steps and loading.
#include "Bitmap.h"
#include "SysUtils.h"
#include "Testing.h"
#include "VrMatrix.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

// How a cell of each style is drawn: its size, dot size and pitch, and which pixels
// of a dot's square the unlit dot lights ('o') and leaves black ('.').
struct TCellShape {
    TVrMatrixLedStyle Style;
    int Width;
    int Height;
    int Dot;
    std::vector<std::string> Unlit;
};

const TCellShape kShapes[] = {
    {TVrMatrixLedStyle::ls9x13, 9, 13, 1, {"o"}},
    {TVrMatrixLedStyle::ls14x20, 14, 20, 2, {"o.", ".o"}},
    {TVrMatrixLedStyle::ls19x27, 19, 27, 3, {".o.", "ooo", ".o."}},
};

// The glyphs of "100.000MHZ", drawn out: '#' lit, '.' unlit.
const std::map<char, std::vector<std::string>> kGlyphs = {
    {'1', {"..#..", ".##..", "..#..", "..#..", "..#..", "..#..", ".###."}},
    {'0', {".###.", "#...#", "#..##", "#.#.#", "##..#", "#...#", ".###."}},
    {'.', {".....", ".....", ".....", ".....", ".##..", ".##..", "....."}},
    {'M', {"#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"}},
    {'H', {"#...#", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
    {'Z', {"#####", "....#", "...#.", "..#..", ".#...", "#....", "#####"}},
    {' ', {".....", ".....", ".....", ".....", ".....", ".....", "....."}},
};

constexpr int kBevel = 5;          // the matrix's own bevel: outline, raised 1, lowered 2, space 1
constexpr int kMainSpacing = 2;

// The main window's bevel: black line, two one-pixel lowered bevels, black line, black space.
void UseMainWindowBevel(TVrMatrix& matrix) {
    TVrBevel bevel;
    bevel.SetOuterOutline(TVrBevelOutlineStyle::osOuter);
    bevel.SetOuterStyle(TVrBevelStyle::bsLowered);
    bevel.SetOuterWidth(1);
    bevel.SetOuterSpace(0);
    bevel.SetInnerOutline(TVrBevelOutlineStyle::osInner);
    bevel.SetInnerStyle(TVrBevelStyle::bsLowered);
    bevel.SetInnerWidth(1);
    bevel.SetInnerSpace(1);
    bevel.SetInnerColor(clBlack);
    bevel.SetBorderWidth(0);
    matrix.SetBevel(bevel);
}

std::unique_ptr<TBitmap> Painted(TVrMatrix& matrix) {
    auto image = std::make_unique<TBitmap>();
    Testing::PaintToBitmap(&matrix, *image);
    return image;
}

// The cell's pixels as rows of 'L' (Lit colour), 'u' (Unlit colour), '.' (background)
// and '?' (anything else).
std::vector<std::string> CellPixels(TBitmap& image, int left, int top, int width, int height, TColor lit,
                                    TColor unlit, TColor background) {
    std::vector<std::string> rows;
    for (int y = top; y < top + height; ++y) {
        std::string row;
        for (int x = left; x < left + width; ++x) {
            TColor pixel = image.Pixel(x, y);
            row += pixel == lit ? 'L' : pixel == unlit ? 'u' : pixel == background ? '.' : '?';
        }
        rows.push_back(row);
    }
    return rows;
}

// What a cell of Shape should look like with Glyph on it.
std::vector<std::string> ExpectedCell(const TCellShape& shape, const std::vector<std::string>& glyph) {
    std::vector<std::string> rows(static_cast<size_t>(shape.Height), std::string(static_cast<size_t>(shape.Width), '.'));
    const int pitch = shape.Dot + 1;
    for (int r = 0; r < 7; ++r)
        for (int c = 0; c < 5; ++c)
            for (int dy = 0; dy < shape.Dot; ++dy)
                for (int dx = 0; dx < shape.Dot; ++dx) {
                    char& pixel = rows[static_cast<size_t>(r * pitch + dy)][static_cast<size_t>(c * pitch + dx)];
                    if (glyph[static_cast<size_t>(r)][static_cast<size_t>(c)] == '#')
                        pixel = 'L';
                    else if (shape.Unlit[static_cast<size_t>(dy)][static_cast<size_t>(dx)] == 'o')
                        pixel = 'u';
                }
    return rows;
}

// Whether any pixel of cell Index (0-based, horizontal cells of 14 x 20) has Color.
bool CellShows(TBitmap& image, int index, TColor color, int spacing = kMainSpacing) {
    const int left = kBevel + index * (14 + spacing);
    for (int y = kBevel; y < kBevel + 20; ++y)
        for (int x = left; x < left + 14; ++x)
            if (image.Pixel(x, y) == color) return true;
    return false;
}

void Tick(TVrMatrix& matrix) { matrix.ScrollTimer().OnTimer(&matrix.ScrollTimer()); }

}  // namespace

TEST(VrMatrix, StartsAsTheTableSays) {
    TVrMatrix matrix(nullptr);
    EXPECT_EQ(matrix.Width(), 245);
    EXPECT_EQ(matrix.Height(), 30);
    EXPECT_EQ(matrix.Leds(), 15);
    EXPECT_EQ(matrix.Spacing(), 2);
    EXPECT_EQ(matrix.LedStyle(), TVrMatrixLedStyle::ls14x20);
    EXPECT_EQ(matrix.TextStyle(), TVrMatrixTextStyle::tsUpperCase);
    EXPECT_EQ(matrix.Orientation(), TVrOrientation::voHorizontal);
    EXPECT_EQ(matrix.Alignment(), TVrAlignment::vaLeftJustify);
    EXPECT_EQ(matrix.ScrollDirection(), TVrMatrixScrollDirection::msdRightToLeft);
    EXPECT_TRUE(matrix.LedsVisible());
    EXPECT_TRUE(matrix.Threaded());
    EXPECT_FALSE(matrix.AutoScroll());
    EXPECT_EQ(matrix.TimeInterval(), 500);
    EXPECT_EQ(matrix.Color(), clBlack);
    EXPECT_FALSE(matrix.ParentColor());
    EXPECT_TRUE(matrix.ControlStyle().Contains(TControlStyleFlag::csOpaque));
    EXPECT_EQ(matrix.Palette().Low(), clGreen);
    EXPECT_EQ(matrix.Palette().High(), clLime);
    EXPECT_EQ(matrix.Bevel().InnerWidth(), 2);
    EXPECT_EQ(matrix.Bevel().InnerStyle(), TVrBevelStyle::bsLowered);
    EXPECT_EQ(matrix.Bevel().InnerColor(), clBlack);
    EXPECT_EQ(matrix.Bevel().OuterStyle(), TVrBevelStyle::bsRaised);
    EXPECT_EQ(matrix.CharIndex(), 1);
    EXPECT_FALSE(matrix.ScrollTimer().Enabled());
    EXPECT_FALSE(matrix.ScrollTimer().Allocated());
    EXPECT_EQ(matrix.Version, "1.3");
}

TEST(VrMatrix, FrequencyInEveryLedStyleDotByDot) {
    for (const TCellShape& shape : kShapes) {
        SCOPED_TRACE(shape.Width);
        TVrMatrix matrix(nullptr);
        matrix.SetLedStyle(shape.Style);
        matrix.SetLeds(10);
        matrix.SetText("100.000MHz");
        EXPECT_EQ(matrix.Text(), "100.000MHz");
        EXPECT_EQ(matrix.DisplayText(), "100.000MHZ");
        ASSERT_EQ(matrix.Width(), shape.Width * 10 + 9 * kMainSpacing + 2 * kBevel);
        ASSERT_EQ(matrix.Height(), shape.Height + 2 * kBevel);
        auto image = Painted(matrix);
        const std::string shown = "100.000MHZ";
        for (int cell = 0; cell < 10; ++cell) {
            SCOPED_TRACE(cell);
            const int left = kBevel + cell * (shape.Width + kMainSpacing);
            EXPECT_EQ(CellPixels(*image, left, kBevel, shape.Width, shape.Height, clLime, clGreen, clBlack),
                      ExpectedCell(shape, kGlyphs.at(shown[static_cast<size_t>(cell)])));
            if (cell < 9) {
                // The spacing between cells is background.
                for (int y = kBevel; y < kBevel + shape.Height; ++y)
                    EXPECT_EQ(image->Pixel(left + shape.Width, y), clBlack);
            }
        }
        for (int alignment : {1, 2}) {
            matrix.SetAlignment(static_cast<TVrAlignment>(alignment));
            Painted(matrix);
            EXPECT_EQ(matrix.CharIndex(), 1);
        }
    }
}

TEST(VrMatrix, MainWindowDisplayIsSunkenInBlack) {
    TVrMatrix matrix(nullptr);
    UseMainWindowBevel(matrix);
    matrix.SetLeds(10);
    EXPECT_EQ(matrix.Width(), 168);
    EXPECT_EQ(matrix.Height(), 30);
    matrix.SetText(" ");
    auto image = Painted(matrix);
    EXPECT_EQ(image->Pixel(0, 0), clBlack);                             // outline
    EXPECT_EQ(image->Pixel(1, 1), ColorToRGB(clBtnShadow));              // outer lowered bevel
    EXPECT_EQ(image->Pixel(166, 28), ColorToRGB(clBtnHighlight));
    EXPECT_EQ(image->Pixel(2, 2), ColorToRGB(clBtnShadow));              // inner lowered bevel
    EXPECT_EQ(image->Pixel(3, 10), clBlack);                            // inner outline
    EXPECT_EQ(image->Pixel(4, 10), clBlack);                            // inner space
    EXPECT_EQ(image->Pixel(5, 5), clGreen);                             // first unlit dot
    EXPECT_EQ(image->Pixel(6, 6), clGreen);
    EXPECT_EQ(image->Pixel(6, 5), clBlack);
}

TEST(VrMatrix, ColourCodesLightTheirCharacters) {
    TVrMatrix matrix(nullptr);
    matrix.SetLeds(6);
    matrix.Palette().SetHigh(clWhite);
    matrix.SetText("%A1%b2%03%%%Z4%");
    EXPECT_EQ(matrix.DisplayText(), "123%4");
    EXPECT_EQ(matrix.ColorCodes(), "Ab00-");
    auto image = Painted(matrix);
    // Each character's colour, and no other lit colour in its cell.
    const TColor expected[] = {clRed, clLime, clWhite, clWhite, clWhite};
    for (int cell = 0; cell < 5; ++cell) {
        EXPECT_TRUE(CellShows(*image, cell, expected[cell])) << cell;
        for (TColor other : {clRed, clLime, clWhite})
            if (other != expected[cell]) {
                EXPECT_FALSE(CellShows(*image, cell, other)) << cell << " " << other;
            }
    }
    EXPECT_FALSE(CellShows(*image, 5, clWhite));
    EXPECT_TRUE(CellShows(*image, 5, clGreen));

    matrix.SetText("%51%G2%f3%84");
    image = Painted(matrix);
    EXPECT_TRUE(CellShows(*image, 0, clNavy));
    EXPECT_TRUE(CellShows(*image, 1, clWhite));
    EXPECT_TRUE(CellShows(*image, 2, clAqua));
    EXPECT_TRUE(CellShows(*image, 3, clGray));
}

TEST(VrMatrix, ShortTextInEachAlignment) {
    TVrMatrix matrix(nullptr);
    matrix.SetLeds(10);
    matrix.SetText("88.5MHz");
    struct {
        TVrAlignment Alignment;
        int CharIndex;
        std::vector<int> BlankCells;
    } cases[] = {
        {TVrAlignment::vaLeftJustify, 1, {7, 8, 9}},
        {TVrAlignment::vaRightJustify, -2, {0, 1, 2}},
        {TVrAlignment::vaCenter, 0, {0, 8, 9}},
    };
    for (const auto& c : cases) {
        matrix.SetAlignment(c.Alignment);
        auto image = Painted(matrix);
        EXPECT_EQ(matrix.CharIndex(), c.CharIndex);
        for (int cell = 0; cell < 10; ++cell) {
            bool blank = std::find(c.BlankCells.begin(), c.BlankCells.end(), cell) != c.BlankCells.end();
            EXPECT_EQ(CellShows(*image, cell, clLime), !blank) << cell;
            EXPECT_TRUE(CellShows(*image, cell, clGreen)) << cell;
        }
    }
}

TEST(VrMatrix, LongTextIsCutOffAndHiddenLedsLeaveOnlyLitDots) {
    TVrMatrix matrix(nullptr);
    matrix.SetLeds(3);
    matrix.SetText("1.1.");
    auto image = Painted(matrix);
    const TCellShape& shape = kShapes[1];
    EXPECT_EQ(CellPixels(*image, kBevel + 2 * 16, kBevel, 14, 20, clLime, clGreen, clBlack),
              ExpectedCell(shape, kGlyphs.at('1')));

    matrix.SetLedsVisible(false);
    image = Painted(matrix);
    std::vector<std::string> litOnly = ExpectedCell(shape, kGlyphs.at('.'));
    for (std::string& row : litOnly)
        for (char& pixel : row)
            if (pixel == 'u') pixel = '.';
    EXPECT_EQ(CellPixels(*image, kBevel + 16, kBevel, 14, 20, clLime, clGreen, clBlack), litOnly);
}

TEST(VrMatrix, ColourAndPaletteRecolourTheCells) {
    TVrMatrix matrix(nullptr);
    matrix.SetLeds(1);
    matrix.SetText("1");
    matrix.SetColor(clNavy);
    matrix.Palette().SetLow(clMaroon);
    auto image = Painted(matrix);
    EXPECT_EQ(CellPixels(*image, kBevel, kBevel, 14, 20, clLime, clMaroon, clNavy),
              ExpectedCell(kShapes[1], kGlyphs.at('1')));
    TVrPalette palette;
    palette.SetLow(clTeal);
    palette.SetHigh(clYellow);
    matrix.SetPalette(palette);
    image = Painted(matrix);
    EXPECT_EQ(CellPixels(*image, kBevel, kBevel, 14, 20, clYellow, clTeal, clNavy),
              ExpectedCell(kShapes[1], kGlyphs.at('1')));
    matrix.SetColor(clPurple);
    image = Painted(matrix);
    EXPECT_EQ(CellPixels(*image, kBevel, kBevel, 14, 20, clYellow, clTeal, clPurple),
              ExpectedCell(kShapes[1], kGlyphs.at('1')));
}

TEST(VrMatrix, TakesItsNaturalSizeWhateverIsAsked) {
    TVrMatrix matrix(nullptr);
    UseMainWindowBevel(matrix);
    matrix.SetLeds(10);
    matrix.SetBounds(7, 9, 500, 3);
    EXPECT_EQ(matrix.BoundsRect(), Rect(7, 9, 7 + 168, 9 + 30));
    matrix.SetWidth(20);
    EXPECT_EQ(matrix.Width(), 168);
    matrix.SetLedStyle(TVrMatrixLedStyle::ls9x13);
    EXPECT_EQ(matrix.Width(), 118);
    EXPECT_EQ(matrix.Height(), 23);
    matrix.SetLedStyle(TVrMatrixLedStyle::ls19x27);
    EXPECT_EQ(matrix.Width(), 218);
    EXPECT_EQ(matrix.Height(), 37);
    matrix.SetOrientation(TVrOrientation::voVertical);
    EXPECT_EQ(matrix.Width(), 29);
    EXPECT_EQ(matrix.Height(), 27 * 10 + 18 + 10);
    matrix.SetSpacing(0);
    EXPECT_EQ(matrix.Height(), 280);
    matrix.Bevel().SetVisible(false);
    EXPECT_EQ(matrix.Width(), 19);
    EXPECT_EQ(matrix.Height(), 270);
    EXPECT_EQ(matrix.Left(), 7);
    EXPECT_EQ(matrix.Top(), 9);
    EXPECT_THROW(matrix.SetLeds(0), ERangeError);
    EXPECT_EQ(matrix.Leds(), 10);
}

TEST(VrMatrix, VerticalCellsAreCentredInAColumn) {
    TVrMatrix matrix(nullptr);
    matrix.SetOrientation(TVrOrientation::voVertical);
    matrix.SetLedStyle(TVrMatrixLedStyle::ls9x13);
    matrix.SetLeds(2);
    matrix.SetText("1Z");
    ASSERT_EQ(matrix.Width(), 19);
    ASSERT_EQ(matrix.Height(), 13 * 2 + 2 + 10);
    auto image = Painted(matrix);
    EXPECT_EQ(CellPixels(*image, kBevel, kBevel, 9, 13, clLime, clGreen, clBlack), ExpectedCell(kShapes[0], kGlyphs.at('1')));
    EXPECT_EQ(CellPixels(*image, kBevel, kBevel + 15, 9, 13, clLime, clGreen, clBlack),
              ExpectedCell(kShapes[0], kGlyphs.at('Z')));
}

TEST(VrMatrix, ScrollsRightToLeftThroughAllCells) {
    TVrMatrix matrix(nullptr);
    matrix.SetLeds(3);
    matrix.SetText("AB");
    int done = 0;
    std::vector<int> steps;
    matrix.OnScrollDone = [&](TObject* sender) {
        EXPECT_EQ(sender, &matrix);
        ++done;
        steps.push_back(99);
    };
    for (int i = 0; i < 8; ++i) {
        Tick(matrix);
        steps.push_back(matrix.CharIndex());
    }
    EXPECT_EQ(steps, (std::vector<int>{2, 99, -2, -1, 0, 1, 2, 99, -2, -1}));
    EXPECT_EQ(done, 2);
}

TEST(VrMatrix, ScrollsLeftToRightAndKeepsItsPlaceWhenTheTextChanges) {
    TVrMatrix matrix(nullptr);
    matrix.SetLeds(3);
    matrix.SetText("AB");
    matrix.SetScrollDirection(TVrMatrixScrollDirection::msdLeftToRight);
    std::vector<int> steps;
    matrix.OnScrollDone = [&](TObject*) { steps.push_back(99); };
    for (int i = 0; i < 6; ++i) {
        Tick(matrix);
        steps.push_back(matrix.CharIndex());
    }
    EXPECT_EQ(steps, (std::vector<int>{0, -1, -2, 99, 2, 1, 0}));
    matrix.SetAutoScroll(true);
    matrix.SetText("ABCD");
    EXPECT_EQ(matrix.CharIndex(), 0);
    // While scrolling a paint does not realign.
    Painted(matrix);
    EXPECT_EQ(matrix.CharIndex(), 0);
    matrix.SetAutoScroll(false);
    Painted(matrix);
    EXPECT_EQ(matrix.CharIndex(), 1);
}

TEST(VrMatrix, AutoScrollRunsTheTimerOnTheWindowThread) {
    for (bool threaded : {true, false}) {
        SCOPED_TRACE(threaded);
        auto matrix = std::make_unique<TVrMatrix>(nullptr);
        matrix->SetThreaded(threaded);
        EXPECT_EQ(matrix->ScrollTimer().TimerType(), threaded ? TVrTimerType::ttThread : TVrTimerType::ttSystem);
        matrix->SetLeds(3);
        matrix->SetText("ABCDEFG");
        matrix->SetTimeInterval(20);
        int ticksOffThread = 0;
        int passes = 0;
        matrix->OnScrollDone = [&](TObject*) {
            ++passes;
            if (!IsMainThread()) ++ticksOffThread;
        };
        matrix->SetAutoScroll(true);
        EXPECT_TRUE(matrix->ScrollTimer().Enabled());
        // One pass of 7 + 3 steps at 20 ms.
        ASSERT_TRUE(Testing::PumpUntil([&] { return passes >= 1; }, 3000));
        EXPECT_EQ(ticksOffThread, 0);
        matrix->SetAutoScroll(false);
        EXPECT_FALSE(matrix->ScrollTimer().Enabled());
        Testing::PumpMessages(50);
        const int stoppedAt = matrix->CharIndex();
        Testing::PumpMessages(100);
        EXPECT_EQ(matrix->CharIndex(), stoppedAt);
        // Destroying a scrolling matrix neither hangs nor ticks afterwards.
        matrix->SetAutoScroll(true);
        Testing::PumpMessages(50);
        matrix.reset();
        Testing::PumpMessages(60);
    }
}

TEST(VrMatrix, TimeIntervalRefusesNegativeValues) {
    TVrMatrix matrix(nullptr);
    EXPECT_THROW(matrix.SetTimeInterval(-1), ERangeError);
    EXPECT_EQ(matrix.TimeInterval(), 500);
    matrix.SetTimeInterval(0);
    EXPECT_EQ(matrix.ScrollTimer().Interval(), 0u);
}

TEST(VrMatrix, LoadingDefersTheSizeAndAlignment) {
    TVrMatrix matrix(nullptr);
    matrix.BeginLoading();
    UseMainWindowBevel(matrix);
    matrix.SetLeds(10);
    matrix.SetAlignment(TVrAlignment::vaRightJustify);
    matrix.SetText("%A88.5MHz");
    matrix.SetLedStyle(TVrMatrixLedStyle::ls9x13);
    EXPECT_EQ(matrix.Width(), 245);
    EXPECT_EQ(matrix.Height(), 30);
    EXPECT_EQ(matrix.DisplayText(), "88.5MHZ");
    EXPECT_EQ(matrix.CharIndex(), 1);
    matrix.EndLoading();
    EXPECT_EQ(matrix.Width(), 118);
    EXPECT_EQ(matrix.Height(), 23);
    EXPECT_EQ(matrix.CharIndex(), -2);
}

TEST(VrMatrix, TextStyleChangesOnlyWhatIsShown) {
    TVrMatrix matrix(nullptr);
    matrix.SetText("%Bfm radio");
    matrix.SetTextStyle(TVrMatrixTextStyle::tsProperCase);
    EXPECT_EQ(matrix.DisplayText(), "Fm radio");
    matrix.SetTextStyle(TVrMatrixTextStyle::tsAsIs);
    EXPECT_EQ(matrix.DisplayText(), "fm radio");
    matrix.SetTextStyle(TVrMatrixTextStyle::tsLowerCase);
    matrix.SetText("\xC4M");
    EXPECT_EQ(matrix.DisplayText(), "\xE4m");
    EXPECT_EQ(matrix.Text(), "\xC4M");
}
