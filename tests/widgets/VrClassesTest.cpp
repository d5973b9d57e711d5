// Palette and bevel notifications, the bevel's layers and area, palette
// recolouring, and the bitmap list with its stream.
#include "VrClasses.h"

#include "Bitmap.h"
#include "Streams.h"
#include "SysUtils.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

// Counts the owner notifications of a nested property object.
struct TChangeCounter {
    int Count = 0;
    TObject* Sender = nullptr;
    void Watch(TVrPersistent& object)
    {
        object.OnChange = [this](TObject* sender) {
            ++Count;
            Sender = sender;
        };
    }
};

std::unique_ptr<TBitmap> Filled(int width, int height, TColor color)
{
    auto bitmap = std::make_unique<TBitmap>(width, height);
    bitmap->Canvas().Brush().SetColor(color);
    bitmap->Canvas().FillRect(Rect(0, 0, width, height));
    return bitmap;
}

// The bevel of the main window's frequency display.
void UseDisplayBevel(TVrBevel& bevel)
{
    bevel.SetOuterOutline(TVrBevelOutlineStyle::osOuter);
    bevel.SetOuterStyle(TVrBevelStyle::bsLowered);
    bevel.SetInnerOutline(TVrBevelOutlineStyle::osInner);
    bevel.SetInnerStyle(TVrBevelStyle::bsLowered);
    bevel.SetInnerColor(clBlack);
}

class TOtherPersistent : public TPersistent {
};

} // namespace

TEST(VrPersistent, UpdatesNotifyOnceAndNeverCountBelowZero)
{
    TVrPalette palette;
    TChangeCounter changes;
    changes.Watch(palette);
    palette.BeginUpdate();
    palette.BeginUpdate();
    palette.SetLow(clRed);
    palette.SetHigh(clBlue);
    palette.EndUpdate();
    EXPECT_EQ(changes.Count, 0);
    palette.EndUpdate();
    EXPECT_EQ(changes.Count, 1);
    EXPECT_EQ(changes.Sender, &palette);
    palette.EndUpdate();
    EXPECT_EQ(palette.UpdateCount(), 0);
    EXPECT_EQ(changes.Count, 2);
}

TEST(VrPalette, NotifiesOnlyRealChangesAndAssignsOnce)
{
    TVrPalette palette;
    EXPECT_EQ(palette.Low(), clGreen);
    EXPECT_EQ(palette.High(), clLime);
    EXPECT_EQ(palette.GetColor(0), clGreen);
    EXPECT_EQ(palette.GetColor(-3), clGreen);
    EXPECT_EQ(palette.GetColor(1), clLime);

    TChangeCounter changes;
    changes.Watch(palette);
    palette.SetLow(clGreen);
    EXPECT_EQ(changes.Count, 0);
    palette.SetLow(clMaroon);
    EXPECT_EQ(changes.Count, 1);

    TVrPalette same;
    same.SetLow(clMaroon);
    palette.Assign(same);
    EXPECT_EQ(changes.Count, 2);
    TVrPalette other;
    other.SetLow(clNavy);
    other.SetHigh(clYellow);
    palette.Assign(other);
    EXPECT_EQ(changes.Count, 3);
    EXPECT_EQ(palette.Low(), clNavy);
    EXPECT_EQ(palette.High(), clYellow);

    EXPECT_THROW(palette.Assign(TOtherPersistent()), EConvertError);
    TVrBevel bevel;
    EXPECT_THROW(palette.Assign(bevel), EConvertError);
}

TEST(VrPalette, ApplyToBitmapJudgesThePixelsAsTheyWere)
{
    TBitmap bitmap(3, 1);
    bitmap.Canvas().SetPixel(0, 0, clGray);
    bitmap.Canvas().SetPixel(1, 0, clSilver);
    bitmap.Canvas().SetPixel(2, 0, clBlack);
    TVrPalette palette;
    // Low equals the high key: a pixel made Low is not made High afterwards.
    palette.SetLow(clSilver);
    palette.SetHigh(clRed);
    palette.ApplyToBitmap(bitmap, clGray, clSilver);
    EXPECT_EQ(bitmap.Pixel(0, 0), clSilver);
    EXPECT_EQ(bitmap.Pixel(1, 0), clRed);
    EXPECT_EQ(bitmap.Pixel(2, 0), clBlack);
}

TEST(VrBevel, DefaultsAndRangeOfWidths)
{
    TVrBevel bevel;
    EXPECT_EQ(bevel.BorderWidth(), 0);
    EXPECT_EQ(bevel.BorderColor(), clBtnFace);
    EXPECT_EQ(bevel.InnerShadow(), clBtnShadow);
    EXPECT_EQ(bevel.InnerHighlight(), clBtnHighlight);
    EXPECT_EQ(bevel.InnerWidth(), 1);
    EXPECT_EQ(bevel.InnerStyle(), TVrBevelStyle::bsLowered);
    EXPECT_EQ(bevel.InnerOutline(), TVrBevelOutlineStyle::osNone);
    EXPECT_EQ(bevel.InnerSpace(), 1);
    EXPECT_EQ(bevel.OuterStyle(), TVrBevelStyle::bsRaised);
    EXPECT_EQ(bevel.OuterOutline(), TVrBevelOutlineStyle::osOuter);
    EXPECT_EQ(bevel.OuterSpace(), 0);
    EXPECT_TRUE(bevel.Visible());
    EXPECT_EQ(static_cast<uint32_t>(clBtnFace), 0xFF00000Fu);

    TChangeCounter changes;
    changes.Watch(bevel);
    EXPECT_THROW(bevel.SetInnerWidth(0), ERangeError);
    EXPECT_THROW(bevel.SetBorderWidth(-1), ERangeError);
    EXPECT_THROW(bevel.SetOuterSpace(-1), ERangeError);
    EXPECT_EQ(bevel.InnerWidth(), 1);
    EXPECT_EQ(changes.Count, 0);
    bevel.SetOuterWidth(1);
    EXPECT_EQ(changes.Count, 0);
    bevel.SetOuterWidth(4);
    EXPECT_EQ(changes.Count, 1);
}

TEST(VrBevel, VisibleAreaCountsEveryLayerThatShows)
{
    TVrBevel bevel;
    TRect area = Rect(0, 0, 100, 50);
    bevel.GetVisibleArea(area);
    // Outer outline 1, outer bevel 1, inner bevel 1, inner space 1.
    EXPECT_EQ(area, Rect(4, 4, 96, 46));

    UseDisplayBevel(bevel);
    area = Rect(0, 0, 168, 30);
    bevel.GetVisibleArea(area);
    EXPECT_EQ(area, Rect(5, 5, 163, 25));

    bevel.SetInnerStyle(TVrBevelStyle::bsNone);
    bevel.SetInnerWidth(3);
    area = Rect(0, 0, 168, 30);
    bevel.GetVisibleArea(area);
    EXPECT_EQ(area, Rect(4, 4, 164, 26));

    bevel.SetBorderWidth(2);
    bevel.SetOuterSpace(3);
    area = Rect(0, 0, 168, 30);
    bevel.GetVisibleArea(area);
    EXPECT_EQ(area, Rect(9, 9, 159, 21));

    bevel.SetVisible(false);
    area = Rect(0, 0, 168, 30);
    bevel.GetVisibleArea(area);
    EXPECT_EQ(area, Rect(0, 0, 168, 30));
}

TEST(VrBevel, DrawsTheDisplayBevelFromTheOutsideIn)
{
    TVrBevel bevel;
    UseDisplayBevel(bevel);
    bevel.SetOuterShadow(clNavy);
    bevel.SetOuterHighlight(clYellow);
    bevel.SetInnerShadow(clMaroon);
    bevel.SetInnerHighlight(clAqua);
    auto bitmap = Filled(20, 12, clWhite);
    TRect rect = Rect(0, 0, 20, 12);
    bevel.Draw(bitmap->Canvas(), rect);
    EXPECT_EQ(rect, Rect(5, 5, 15, 7));

    // Going in from the left edge along the middle row, then along the top row.
    const TColor left[] = {clBlack, clNavy, clMaroon, clBlack, clBlack, clWhite};
    const TColor bottom[] = {clBlack, clYellow, clAqua, clBlack, clBlack, clWhite};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(bitmap->Pixel(i, 6), left[i]) << "left " << i;
        EXPECT_EQ(bitmap->Pixel(10, i), left[i]) << "top " << i;
        EXPECT_EQ(bitmap->Pixel(10, 11 - i), bottom[i]) << "bottom " << i;
        EXPECT_EQ(bitmap->Pixel(19 - i, 6), bottom[i]) << "right " << i;
    }

    bevel.SetVisible(false);
    auto untouched = Filled(20, 12, clWhite);
    rect = Rect(0, 0, 20, 12);
    bevel.Draw(untouched->Canvas(), rect);
    EXPECT_EQ(rect, Rect(0, 0, 20, 12));
    EXPECT_EQ(untouched->Pixel(0, 0), clWhite);
}

TEST(VrBevel, RaisedBevelsAndBorderColours)
{
    TVrBevel bevel;
    bevel.SetOuterOutline(TVrBevelOutlineStyle::osNone);
    bevel.SetOuterShadow(clNavy);
    bevel.SetOuterHighlight(clYellow);
    bevel.SetInnerStyle(TVrBevelStyle::bsNone);
    bevel.SetInnerSpace(0);
    bevel.SetBorderWidth(2);
    bevel.SetBorderColor(clPurple);
    auto bitmap = Filled(10, 10, clWhite);
    TRect rect = Rect(0, 0, 10, 10);
    bevel.Draw(bitmap->Canvas(), rect);
    EXPECT_EQ(rect, Rect(3, 3, 7, 7));
    EXPECT_EQ(bitmap->Pixel(0, 5), clPurple);
    EXPECT_EQ(bitmap->Pixel(1, 5), clPurple);
    // Raised: highlight top-left, shadow bottom-right.
    EXPECT_EQ(bitmap->Pixel(2, 5), clYellow);
    EXPECT_EQ(bitmap->Pixel(7, 5), clNavy);
    EXPECT_EQ(bitmap->Pixel(5, 3), clWhite);
}

TEST(VrBevel, AssignCopiesEverythingAndNotifiesOnce)
{
    TVrBevel source;
    UseDisplayBevel(source);
    source.SetBorderWidth(3);
    source.SetVisible(false);
    TVrBevel bevel;
    TChangeCounter changes;
    changes.Watch(bevel);
    bevel.Assign(source);
    EXPECT_EQ(changes.Count, 1);
    EXPECT_EQ(bevel.BorderWidth(), 3);
    EXPECT_EQ(bevel.OuterStyle(), TVrBevelStyle::bsLowered);
    EXPECT_EQ(bevel.InnerOutline(), TVrBevelOutlineStyle::osInner);
    EXPECT_EQ(bevel.InnerColor(), clBlack);
    EXPECT_FALSE(bevel.Visible());
    TVrPalette palette;
    EXPECT_THROW(bevel.Assign(palette), EConvertError);
}

TEST(VrBitmaps, KeepsCopiesAndChecksIndexes)
{
    TVrBitmaps list;
    TChangeCounter changes;
    changes.Watch(list);
    auto red = Filled(2, 3, clRed);
    EXPECT_EQ(list.Add(*red), 0);
    EXPECT_EQ(list.Add(*Filled(1, 1, clBlue)), 1);
    EXPECT_EQ(changes.Count, 2);
    red->Canvas().SetPixel(0, 0, clWhite);
    EXPECT_EQ(list.Bitmaps(0).Pixel(0, 0), clRed);
    EXPECT_EQ(list.Bitmaps(0).Width(), 2);
    EXPECT_THROW(list.Bitmaps(2), EListError);
    EXPECT_THROW(list.Bitmaps(-1), EListError);

    TVrBitmaps copy;
    copy.Assign(list);
    EXPECT_EQ(copy.Count(), 2);
    EXPECT_EQ(copy.Bitmaps(1).Pixel(0, 0), clBlue);
    copy.Assign(TVrPalette());
    EXPECT_EQ(copy.Count(), 2);
    copy.Assign(copy);
    EXPECT_EQ(copy.Count(), 2);
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
}

TEST(VrBitmaps, StreamRoundTripAppends)
{
    TVrBitmaps list;
    list.Add(*Filled(3, 2, clTeal));
    auto dotted = Filled(2, 2, clBlack);
    dotted->Canvas().SetPixel(1, 0, clFuchsia);
    list.Add(*dotted);
    TMemoryStream stream;
    list.SaveToStream(stream);
    ASSERT_EQ(stream.Bytes().size(), 8u + (54 + 12 * 2) + (54 + 8 * 2));
    EXPECT_EQ(stream.Bytes()[4], 2);

    stream.SetPosition(0);
    TVrBitmaps loaded;
    loaded.Add(*Filled(1, 1, clRed));
    loaded.LoadFromStream(stream);
    ASSERT_EQ(loaded.Count(), 3);
    EXPECT_EQ(loaded.Bitmaps(1).Width(), 3);
    EXPECT_EQ(loaded.Bitmaps(1).Height(), 2);
    EXPECT_EQ(loaded.Bitmaps(1).Pixel(2, 1), clTeal);
    EXPECT_EQ(loaded.Bitmaps(2).Pixel(1, 0), clFuchsia);
    EXPECT_EQ(loaded.Bitmaps(2).Pixel(0, 0), clBlack);
}

TEST(VrBitmaps, RefusedStreamsLeaveTheListAsItWas)
{
    TVrBitmaps source;
    source.Add(*Filled(2, 2, clOlive));
    source.Add(*Filled(2, 2, clNavy));
    TMemoryStream valid;
    source.SaveToStream(valid);
    std::vector<uint8_t> bytes = valid.Bytes();

    TVrBitmaps list;
    list.Add(*Filled(1, 1, clRed));
    TChangeCounter changes;
    changes.Watch(list);
    for (size_t length : {size_t{0}, size_t{4}, size_t{8}, size_t{40}, bytes.size() - 1}) {
        TMemoryStream cut(std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(length)));
        EXPECT_THROW(list.LoadFromStream(cut), EStreamError) << length;
        TMemoryStream again(std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(length)));
        EXPECT_THROW(list.ReadData(again), EStreamError) << length;
    }
    EXPECT_EQ(list.Count(), 1);
    EXPECT_EQ(list.Bitmaps(0).Pixel(0, 0), clRed);
    EXPECT_EQ(changes.Count, 0);

    TMemoryStream other(std::vector<uint8_t>{'B', 'M', 0, 0, 0, 0, 0, 0});
    try {
        list.LoadFromStream(other);
        ADD_FAILURE() << "a stream without the signature loaded";
    } catch (const EStreamError& error) {
        EXPECT_STREQ(error.what(), "Invalid file format");
    }

    TMemoryStream whole(bytes);
    list.ReadData(whole);
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Bitmaps(1).Pixel(1, 1), clNavy);
    EXPECT_EQ(changes.Count, 1);
}
