// The radiotext a now-playing file's bytes make, in code pages 1252 (western), 932 (two-byte) and UTF-8.
#include "NowPlayingText.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr unsigned Western = 1252;
constexpr unsigned Japanese = 932;
// A system set to UTF-8 as its code page.
constexpr unsigned Utf8 = 65001;

std::string Text(const std::string& bytes) { return NowPlayingText(bytes, Western); }

}  // namespace

TEST(NowPlayingText, FirstLineEndsAtCarriageReturnLineFeedOrBoth) {
    EXPECT_EQ(Text("Artist - Title"), "Artist - Title");
    EXPECT_EQ(Text("Artist - Title\r\nAlbum"), "Artist - Title");
    EXPECT_EQ(Text("Artist - Title\nAlbum"), "Artist - Title");
    EXPECT_EQ(Text("Artist - Title\rAlbum"), "Artist - Title");
    EXPECT_EQ(Text("\r\nAlbum"), "");
    EXPECT_EQ(Text(""), "");
    EXPECT_EQ(Text("\xEF\xBB\xBFTitle\nAlbum"), "Title");
}

TEST(NowPlayingText, Utf8WithAndWithoutMarkBecomesTheCodePage) {
    EXPECT_EQ(Text("Caf\xC3\xA9"), "Caf\xE9");
    EXPECT_EQ(Text("\xEF\xBB\xBF" "Caf\xC3\xA9"), "Caf\xE9");
    EXPECT_EQ(Text("\xEF\xBB\xBF"), "");
    EXPECT_EQ(Text("\xE2\x82\xAC 5"), "\x80 5");
    EXPECT_EQ(NowPlayingText("\xE3\x81\x82", Japanese), "\x82\xA0");
    EXPECT_EQ(NowPlayingText("\xEF\xBB\xBF" "Caf\xC3\xA9\r\n", Utf8), "Caf\xC3\xA9");
}

TEST(NowPlayingText, CharacterTheCodePageLacksBecomesQuestionMark) {
    EXPECT_EQ(Text("Dvo\xC5\x99\xC3\xA1k"), "Dvo?\xE1k");
    // No look-alike stands in: a Polish l with stroke is not a plain l.
    EXPECT_EQ(Text("\xC5\x81\xC3\xB3" "d\xC5\xBA"), "?\xF3" "d?");
    EXPECT_EQ(Text("\xE3\x81\x82"), "?");
    // A character beyond the first 65536 is one character, so one stand-in, in UTF-8 and UTF-16.
    EXPECT_EQ(Text("Hit \xF0\x9F\x8E\xB5!"), "Hit ?!");
    EXPECT_EQ(Text(std::string("\xFF\xFE" "A\0\x3C\xD8\xB5\xDF" "B\0", 10)), "A?B");
    EXPECT_EQ(Text(std::string("\xFF\xFE" "A\0\x3C\xD8" "B\0", 8)), "A?B");
}

TEST(NowPlayingText, BytesThatAreNoUtf8AreTakenAsTheCodePage) {
    EXPECT_EQ(Text("Caf\xE9"), "Caf\xE9");
    EXPECT_EQ(Text("\xE9t\xE9 \xC3"), "\xE9t\xE9 \xC3");
    // A mark says UTF-8: a broken sequence after it is a character the code page lacks.
    EXPECT_EQ(Text("\xEF\xBB\xBF" "a\xFF" "b"), "a?b");
}

TEST(NowPlayingText, Utf16WithItsMarkIsRead) {
    const std::string bytes("\xFF\xFE" "C\0a\0f\0\xE9\0\r\0\n\0x\0", 16);
    EXPECT_EQ(Text(bytes), "Caf\xE9");
    EXPECT_EQ(Text(std::string("\xFF\xFE" "A\0\x59\x01", 6)), "A?");
}

TEST(NowPlayingText, ControlCharactersAreDropped) {
    EXPECT_EQ(Text("\tArtist\x01 -\x1F Title\x1B"), "Artist - Title");
    EXPECT_EQ(Text(std::string("A\0B", 3)), "AB");
    EXPECT_EQ(Text("\x7F~ \xA0"), "\x7F~ \xA0");
}

TEST(NowPlayingText, CutToSixtyFourCharactersAfterConversion) {
    const std::string sixtyFour(NowPlayingTextLength, 'x');
    EXPECT_EQ(Text(sixtyFour + "yz"), sixtyFour);
    EXPECT_EQ(Text(sixtyFour), sixtyFour);
    // Two bytes of UTF-8 make one character: the 64th is kept whole.
    const std::string sixtyThree(NowPlayingTextLength - 1, 'x');
    EXPECT_EQ(Text(sixtyThree + "\xC3\xA9" "z"), sixtyThree + "\xE9");
    // Dropped control characters take no room.
    EXPECT_EQ(Text(std::string(10, '\t') + sixtyFour), sixtyFour);
}

TEST(NowPlayingText, CutNeverSplitsATwoByteCharacter) {
    const std::string sixtyTwo(NowPlayingTextLength - 2, 'a');
    const std::string sixtyThree(NowPlayingTextLength - 1, 'a');
    EXPECT_EQ(NowPlayingText(sixtyTwo + "\xE3\x81\x82", Japanese), sixtyTwo + "\x82\xA0");
    EXPECT_EQ(NowPlayingText(sixtyThree + "\xE3\x81\x82", Japanese), sixtyThree);
}
