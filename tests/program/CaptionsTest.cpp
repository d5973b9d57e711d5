// Every caption of the main window whole in each of the three views: its text extent
// in the control's font fits the room the control gives it, the window shows all of
// that room, and the pixels drawn end where the extent says.
#include "ProgramFixture.h"

#include <iterator>

namespace {

using namespace ProgramFixture;

constexpr char FormFace[] = "MS Sans Serif";
constexpr int FormPoints = 8;
constexpr int PointsPerInch = 72;
// Check LED: the lamp, the gap to the caption and the layout's one-pixel offset come
// before the caption.
constexpr int LampWidth = 20;
constexpr int LampSpacing = 5;
constexpr int LayoutOffset = 1;
// A push button keeps its edge and focus frame free of text on each side.
constexpr int ButtonEdge = 3;
// Bitmap font letters end at most this many columns inside their advance width.
constexpr int LetterTrail = 3;
constexpr COLORREF CaptionWhite = RGB(0xFF, 0xFF, 0xFF);

enum class TKind { CheckLed, Label, Button };

struct TCaptioned {
    const char* caption;
    TKind kind;
    RECT room;   // the control's rectangle (labels: up to the control to their right)
};

// Labels are as high as a bold 8-point line.
constexpr int LabelHeight = 13;

const TCaptioned MainCaptions[] = {
    {"Power", TKind::CheckLed, {8, 8, 8 + 73, 8 + 25}},
    {"Stereo", TKind::CheckLed, {80, 8, 80 + 65, 8 + 25}},
    {"RDS", TKind::CheckLed, {144, 8, 144 + 57, 8 + 25}},
    {"Shut down at exit   ", TKind::CheckLed, {232, 8, 232 + 145, 8 + 25}},
    {"Start with Windows", TKind::CheckLed, {232, 38, 232 + 145, 38 + 25}},
    {"To tray at start      ", TKind::CheckLed, {232, 68, 232 + 145, 68 + 25}},
    {"PS:", TKind::Label, {16, 152, 40, 152 + LabelHeight}},                   // PS edit at 40
    {"RT:", TKind::Label, {16, 176, 40, 176 + LabelHeight}},                   // RT edit at 40
    {"PTY:", TKind::Label, {16, 208, 48, 208 + LabelHeight}},                  // PTY list at 48
    {"Country Code:", TKind::Label, {184, 208, 296, 208 + LabelHeight}},       // its list at 296
    {"Area coverage:", TKind::Label, {16, 240, 112, 240 + LabelHeight}},       // its list at 112
    {"Program reference:", TKind::Label, {184, 240, 296, 240 + LabelHeight}},  // its list at 296
    {"TP:", TKind::Label, {16, 272, 56, 272 + LabelHeight}},                   // TP list at 56
    {"Music/speech:", TKind::Label, {112, 272, 208, 272 + LabelHeight}},       // its list at 208
    {"Update RDS", TKind::Button, {288, 272, 288 + 73, 272 + 25}},
};

// A font and a memory DC to measure with, freed on scope exit.
class TMeasure {
public:
    explicit TMeasure(bool bold) : dc_(CreateCompatibleDC(nullptr)) {
        const int height = -MulDiv(FormPoints, GetDeviceCaps(dc_, LOGPIXELSY), PointsPerInch);
        font_ = CreateFontA(height, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                            OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, FormFace);
        old_ = SelectObject(dc_, font_);
    }
    TMeasure(const TMeasure&) = delete;
    TMeasure& operator=(const TMeasure&) = delete;
    ~TMeasure() {
        SelectObject(dc_, old_);
        DeleteObject(font_);
        DeleteDC(dc_);
    }
    int Width(const std::string& text) const {
        SIZE size{};
        GetTextExtentPoint32A(dc_, text.c_str(), static_cast<int>(text.size()), &size);
        return size.cx;
    }
    std::string Face() const {
        char face[LF_FACESIZE] = {};
        GetTextFaceA(dc_, LF_FACESIZE, face);
        return face;
    }

private:
    HDC dc_;
    HFONT font_;
    HGDIOBJ old_;
};

std::string TrimRight(std::string text) {
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
}

class CaptionTest : public ProgramTest {
protected:
    // Checks every caption that the current view shows; returns the captions checked.
    std::vector<std::string> CheckView() {
        RECT client{};
        GetClientRect(program->Window(), &client);
        const TCapture window = program->Capture(0, 0, client.right, client.bottom);
        std::vector<std::string> checked;
        for (const TCaptioned& each : MainCaptions) {
            if (each.room.left >= client.right || each.room.top >= client.bottom) continue;
            checked.push_back(each.caption);
            Check(each, client, window);
        }
        return checked;
    }

    void Check(const TCaptioned& each, const RECT& client, const TCapture& window) {
        const TMeasure measure(each.kind != TKind::Button);
        ASSERT_EQ(FormFace, measure.Face()) << "the window's font is installed";
        const int width = measure.Width(each.caption);
        const int roomWidth = each.room.right - each.room.left;
        int room = roomWidth;
        int captionLeft = each.room.left;
        if (each.kind == TKind::CheckLed) {
            room = roomWidth - LampWidth - LampSpacing - LayoutOffset;
            const int margin = (roomWidth - (LampWidth + LampSpacing + width) + 1) / 2;
            captionLeft = each.room.left + LayoutOffset + margin + LampWidth + LampSpacing;
        } else if (each.kind == TKind::Button) {
            room = roomWidth - 2 * ButtonEdge;
        }
        EXPECT_LE(width, room) << '"' << each.caption << "\" is cut";
        EXPECT_LE(each.room.right, client.right) << '"' << each.caption << "\" lies past the window's edge";
        EXPECT_LE(each.room.bottom, client.bottom) << '"' << each.caption << "\" lies below the window's edge";
        if (each.kind == TKind::Button) return;
        // The white letters drawn end where the measured text does: drawn in that font.
        const int letters = measure.Width(TrimRight(each.caption));
        int lastWhite = -1;
        for (int y = each.room.top; y < std::min(each.room.bottom, client.bottom); ++y)
            for (int x = captionLeft; x < std::min(each.room.right, client.right); ++x)
                if (window.At(x, y) == CaptionWhite) lastWhite = std::max(lastWhite, x);
        EXPECT_LT(lastWhite, captionLeft + letters) << each.caption;
        EXPECT_GE(lastWhite, captionLeft + letters - LetterTrail) << each.caption;
    }
};

TEST_F(CaptionTest, EveryCaptionFitsItsRoomInEveryView) {
    Start();
    EXPECT_EQ((Lines{"Power", "Stereo", "RDS"}), CheckView());
    Click(Arrow);
    ASSERT_EQ(Options, Size());
    EXPECT_EQ(6u, CheckView().size()) << "the option LEDs join the compact view's";
    Click(RdsLamp);
    Click(Arrow);
    Click(Arrow);
    ASSERT_EQ(OptionsWithRds, Size());
    EXPECT_EQ(std::size(MainCaptions), CheckView().size());
}

}  // namespace
