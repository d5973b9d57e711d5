// The unlit cell bitmaps built into the program, loaded by name in any letter case.
#include "Bitmap.h"
#include "Colors.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// The bitmap's rows as 'o' (grey dot) and '.' (black); anything else shows as '?'.
std::vector<std::string> Rows(TBitmap& bitmap)
{
    std::vector<std::string> rows;
    for (int y = 0; y < bitmap.Height(); ++y) {
        std::string row;
        for (int x = 0; x < bitmap.Width(); ++x) {
            TColor pixel = bitmap.Pixel(x, y);
            row += pixel == clGray ? 'o' : pixel == clBlack ? '.' : '?';
        }
        rows.push_back(row);
    }
    return rows;
}

std::vector<std::string> Loaded(const std::string& name)
{
    TBitmap bitmap;
    bitmap.LoadFromResourceName(name);
    return Rows(bitmap);
}

} // namespace

TEST(VrMatrixCells, SmallCellHasOnePixelDots)
{
    std::vector<std::string> rows = Loaded("VRMATRIXLED9x13");
    ASSERT_EQ(rows.size(), 13u);
    for (size_t y = 0; y < rows.size(); ++y)
        EXPECT_EQ(rows[y], y % 2 == 0 ? "o.o.o.o.o" : ".........") << y;
}

TEST(VrMatrixCells, MediumCellHasDiagonalPairs)
{
    std::vector<std::string> rows = Loaded("vrmatrixled14x20");
    ASSERT_EQ(rows.size(), 20u);
    for (size_t y = 0; y < rows.size(); ++y) {
        const char* expected[] = {"o..o..o..o..o.", ".o..o..o..o..o", ".............."};
        EXPECT_EQ(rows[y], expected[y % 3]) << y;
    }
}

TEST(VrMatrixCells, LargeCellHasPlusSigns)
{
    std::vector<std::string> rows = Loaded("VRMATRIXLED19X27");
    ASSERT_EQ(rows.size(), 27u);
    for (size_t y = 0; y < rows.size(); ++y) {
        const char* expected[] = {".o...o...o...o...o.", "ooo.ooo.ooo.ooo.ooo", ".o...o...o...o...o.",
                                  "..................."};
        EXPECT_EQ(rows[y], y == 26 ? expected[2] : expected[y % 4]) << y;
    }
}
