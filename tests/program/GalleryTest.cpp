// The harness on the widget gallery: it finds the window, clicks a check LED
// through the window's own child window and reads back the lamp's pixels.
#include "RunningProgram.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr char GalleryClass[] = "TfoGallery";
constexpr COLORREF Green = RGB(0x00, 0x80, 0x00);
constexpr COLORREF Lime = RGB(0x00, 0xFF, 0x00);
constexpr COLORREF Blue = RGB(0x00, 0x00, 0xFF);
constexpr COLORREF Black = RGB(0x00, 0x00, 0x00);
constexpr COLORREF White = RGB(0xFF, 0xFF, 0xFF);

// The "RDS" check LED (unchecked) at 144, 8 and its lamp of 20 x 13 at 148, 15 (the
// bold caption is 26 pixels wide in the window's font: margin (57 - 51 + 1) div 2 = 3,
// plus the layout's offset of one); the lamp's fill lies inside its four rings.
constexpr int LampLeft = 148;
constexpr int LampTop = 15;
constexpr int LampWidth = 20;
constexpr int LampHeight = 13;
constexpr int FillInset = 4;

std::string TracePath(const char* name) { return std::string(PROGRAM_TEST_FOLDER "/") + name + ".trace.txt"; }

// The colours of the lamp's fill, all of them when they are one colour.
std::vector<COLORREF> FillColours(const TRunningProgram& gallery) {
    TCapture fill = gallery.Capture(LampLeft + FillInset, LampTop + FillInset, LampWidth - 2 * FillInset,
                                    LampHeight - 2 * FillInset);
    std::vector<COLORREF> colours;
    for (COLORREF pixel : fill.Pixels)
        if (std::find(colours.begin(), colours.end(), pixel) == colours.end()) colours.push_back(pixel);
    return colours;
}

TEST(Harness, FindsTheGalleryWindowVisibleWithItsClientSize) {
    TRunningProgram gallery(GALLERY_EXE, GalleryClass, TracePath("gallery_window"));
    char name[64] = {};
    GetClassNameA(gallery.Window(), name, sizeof name);
    EXPECT_STREQ(GalleryClass, name);
    EXPECT_TRUE(gallery.Visible());
    RECT client{};
    GetClientRect(gallery.Window(), &client);
    EXPECT_EQ(386, client.right);
    EXPECT_EQ(316, client.bottom);
    EXPECT_EQ(gallery.Window(), FindProcessWindow(gallery.ProcessId(), GalleryClass));
    EXPECT_EQ(nullptr, FindProcessWindow(gallery.ProcessId(), "TfoMain"));
    EXPECT_EQ(0u, gallery.Close());
    EXPECT_FALSE(gallery.Running());
}

TEST(Harness, ClickOnTheLampChecksTheLedAndTheCaptureShowsIt) {
    TRunningProgram gallery(GALLERY_EXE, GalleryClass, TracePath("gallery_click"));
    EXPECT_EQ(std::vector<COLORREF>{Green}, FillColours(gallery));
    // Raised lamp: a white ring at the top left, black at the bottom right.
    TCapture lamp = gallery.Capture(LampLeft, LampTop, LampWidth, LampHeight);
    EXPECT_EQ(White, lamp.At(0, 0));
    EXPECT_EQ(Black, lamp.At(LampWidth - 1, LampHeight - 1));
    EXPECT_EQ(Blue, gallery.Capture(LampLeft - 1, LampTop, 1, 1).At(0, 0));

    gallery.ClickAt(LampLeft + LampWidth / 2, LampTop + LampHeight / 2);

    EXPECT_EQ(std::vector<COLORREF>{Lime}, FillColours(gallery));
    lamp = gallery.Capture(LampLeft, LampTop, LampWidth, LampHeight);
    EXPECT_EQ(Black, lamp.At(0, 0));
    EXPECT_EQ(White, lamp.At(LampWidth - 1, LampHeight - 1));

    // Unchecked again under the mouse: the hover look, a checkerboard of both colours.
    gallery.ClickAt(LampLeft + LampWidth / 2, LampTop + LampHeight / 2);
    TCapture fill = gallery.Capture(LampLeft + FillInset, LampTop + FillInset, 2, 2);
    EXPECT_EQ(fill.At(0, 0), fill.At(1, 1));
    EXPECT_EQ(fill.At(1, 0), fill.At(0, 1));
    std::vector<COLORREF> both{fill.At(0, 0), fill.At(1, 0)};
    std::sort(both.begin(), both.end());
    EXPECT_EQ((std::vector<COLORREF>{Green, Lime}), both);
}

TEST(Harness, AProgramWithoutTheWindowIsReportedWhenItEnds) {
    try {
        TRunningProgram console(SONDELCTL_EXE, GalleryClass, TracePath("console"));
        FAIL() << "no window was expected";
    } catch (const std::runtime_error& error) {
        EXPECT_NE(std::string::npos, std::string(error.what()).find("ended before it showed a TfoGallery window"))
            << error.what();
    }
}

TEST(Harness, AProgramStillRunningIsEndedWithTheHarness) {
    DWORD processId = 0;
    HANDLE process = nullptr;
    {
        TRunningProgram gallery(GALLERY_EXE, GalleryClass, TracePath("gallery_kill"));
        processId = gallery.ProcessId();
        process = OpenProcess(SYNCHRONIZE, FALSE, processId);
        ASSERT_NE(nullptr, process);
    }
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process, 0));
    CloseHandle(process);
}

}  // namespace
