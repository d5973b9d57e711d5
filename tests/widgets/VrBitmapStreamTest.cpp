// The bitmap list stream: its exact bytes, round trips, and refusal of every
// kind of malformed or lying stream without crashing or over-reading.
#include "VrBitmapStream.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

TVrBitmapImage Image(int width, int height, std::vector<uint32_t> pixels)
{
    TVrBitmapImage image;
    image.Width = width;
    image.Height = height;
    image.Pixels = std::move(pixels);
    return image;
}

Bytes Written(const std::vector<TVrBitmapImage>& images)
{
    TMemoryStream out;
    WriteBitmapList(out, images);
    return out.Bytes();
}

std::vector<TVrBitmapImage> Read(const Bytes& bytes)
{
    TMemoryStream in(bytes);
    return ReadBitmapList(in);
}

std::string ErrorOf(const Bytes& bytes)
{
    try {
        Read(bytes);
    } catch (const EStreamError& error) {
        return error.what();
    }
    return "";
}

void PutU32(Bytes& bytes, size_t offset, uint32_t value)
{
    for (size_t i = 0; i < 4; ++i)
        bytes.at(offset + i) = static_cast<uint8_t>(value >> (8 * i));
}

void PutU16(Bytes& bytes, size_t offset, uint16_t value)
{
    bytes.at(offset) = static_cast<uint8_t>(value);
    bytes.at(offset + 1) = static_cast<uint8_t>(value >> 8);
}

// Two small images: 2 x 2 and 3 x 1.
std::vector<TVrBitmapImage> TwoImages()
{
    return {Image(2, 2, {0x112233, 0x445566, 0x778899, 0xAABBCC}), Image(3, 1, {0xFF0000, 0x00FF00, 0x0000FF})};
}

// Offsets in the written stream of TwoImages().
constexpr size_t FirstImage = 8;
constexpr size_t FirstImageSize = 54 + 8 * 2;
constexpr size_t SecondImage = FirstImage + FirstImageSize;
constexpr size_t SecondImageSize = 54 + 12;
constexpr size_t InfoHeader = 14;

// A BMP file image with a colour table, built by hand.
Bytes PaletteBmp(uint16_t bitCount, int32_t width, int32_t height, const std::vector<uint32_t>& palette,
                 const Bytes& rows)
{
    size_t offBits = 54 + 4 * palette.size();
    Bytes file(offBits + rows.size());
    file[0] = 'B';
    file[1] = 'M';
    PutU32(file, 2, static_cast<uint32_t>(file.size()));
    PutU32(file, 10, static_cast<uint32_t>(offBits));
    PutU32(file, 14, 40);
    PutU32(file, 18, static_cast<uint32_t>(width));
    PutU32(file, 22, static_cast<uint32_t>(height));
    PutU16(file, 26, 1);
    PutU16(file, 28, bitCount);
    PutU32(file, 46, static_cast<uint32_t>(palette.size()));
    for (size_t i = 0; i < palette.size(); ++i)
        PutU32(file, 54 + 4 * i, palette[i]);
    std::copy(rows.begin(), rows.end(), file.begin() + static_cast<std::ptrdiff_t>(offBits));
    return file;
}

} // namespace

TEST(VrBitmapStream, EmptyListIsTheSignatureAndACountOfZero)
{
    Bytes expected = {0x62, 0x54, 0x35, 0x00, 0x00, 0x00, 0x00, 0x00};
    EXPECT_EQ(Written({}), expected);
    EXPECT_TRUE(Read(expected).empty());
}

TEST(VrBitmapStream, WritesEachImageAsA24BitBmpBottomRowFirst)
{
    Bytes bytes = Written(TwoImages());
    ASSERT_EQ(bytes.size(), 8 + FirstImageSize + SecondImageSize);
    Bytes header(bytes.begin(), bytes.begin() + 8);
    EXPECT_EQ(header, (Bytes{0x62, 0x54, 0x35, 0x00, 0x02, 0x00, 0x00, 0x00}));
    Bytes fileHeader(bytes.begin() + FirstImage, bytes.begin() + FirstImage + 14);
    EXPECT_EQ(fileHeader, (Bytes{'B', 'M', 70, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0}));
    Bytes info(bytes.begin() + FirstImage + 14, bytes.begin() + FirstImage + 30);
    EXPECT_EQ(info, (Bytes{40, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0, 1, 0, 24, 0}));
    // Bottom row (0x778899, 0xAABBCC) first, blue green red, padded to 8 bytes.
    Bytes rows(bytes.begin() + FirstImage + 54, bytes.begin() + SecondImage);
    EXPECT_EQ(rows, (Bytes{0x99, 0x88, 0x77, 0xCC, 0xBB, 0xAA, 0, 0, 0x33, 0x22, 0x11, 0x66, 0x55, 0x44, 0, 0}));
}

TEST(VrBitmapStream, RoundTripKeepsEveryPixel)
{
    std::vector<TVrBitmapImage> images = TwoImages();
    images.push_back(Image(0, 0, {}));
    std::vector<TVrBitmapImage> back = Read(Written(images));
    ASSERT_EQ(back.size(), 3u);
    for (size_t i = 0; i < images.size(); ++i) {
        EXPECT_EQ(back[i].Width, images[i].Width);
        EXPECT_EQ(back[i].Height, images[i].Height);
        EXPECT_EQ(back[i].Pixels, images[i].Pixels);
    }
}

TEST(VrBitmapStream, StopsReadingRightAfterTheLastImage)
{
    Bytes bytes = Written(TwoImages());
    size_t length = bytes.size();
    bytes.push_back(0xEE);
    TMemoryStream in(bytes);
    ReadBitmapList(in);
    EXPECT_EQ(in.Position(), static_cast<int64_t>(length));
}

TEST(VrBitmapStream, DecodesPaletteAndDirectColourImages)
{
    // 1 bit, 3 x 2, bottom-up: bottom row 1 0 1, top row 0 1 1.
    TVrBitmapImage mono = DecodeBmp(PaletteBmp(1, 3, 2, {0x000000, 0xFFFFFF}, {0xA0, 0, 0, 0, 0x60, 0, 0, 0}));
    EXPECT_EQ(mono.Pixels, (std::vector<uint32_t>{0, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0, 0xFFFFFF}));

    // 4 bits, 3 x 1 with indexes 1, 2, 0.
    TVrBitmapImage nibbles = DecodeBmp(PaletteBmp(4, 3, 1, {0x010203, 0x0A0B0C, 0x102030}, {0x12, 0x00, 0, 0}));
    EXPECT_EQ(nibbles.Pixels, (std::vector<uint32_t>{0x0A0B0C, 0x102030, 0x010203}));

    // 8 bits, top-down 1 x 2; an index beyond the colour table shows black.
    TVrBitmapImage bytes = DecodeBmp(PaletteBmp(8, 1, -2, {0x00FF00, 0x0000FF}, {1, 0, 0, 0, 7, 0, 0, 0}));
    EXPECT_EQ(bytes.Height, 2);
    EXPECT_EQ(bytes.Pixels, (std::vector<uint32_t>{0x0000FF, 0}));

    // 16 bits 5-5-5: pure red and a mid grey.
    TVrBitmapImage high = DecodeBmp(PaletteBmp(16, 2, 1, {}, {0x00, 0x7C, 0x10, 0x42}));
    EXPECT_EQ(high.Pixels, (std::vector<uint32_t>{0xFF0000, 0x848484}));

    // 32 bits: the fourth byte is ignored.
    TVrBitmapImage full = DecodeBmp(PaletteBmp(32, 1, 1, {}, {0x01, 0x02, 0x03, 0xFF}));
    EXPECT_EQ(full.Pixels, (std::vector<uint32_t>{0x030201}));
}

TEST(VrBitmapStream, RefusesAnotherSignature)
{
    EXPECT_EQ(ErrorOf({}), "Invalid file format");
    EXPECT_EQ(ErrorOf({0x62, 0x54, 0x35}), "Invalid file format");
    EXPECT_EQ(ErrorOf({0x62, 0x54, 0x35, 0x01, 0, 0, 0, 0}), "Invalid file format");
    EXPECT_EQ(ErrorOf({'B', 'M', 0, 0, 0, 0, 0, 0}), "Invalid file format");
}

TEST(VrBitmapStream, RefusesAStreamTruncatedAtAnyOffset)
{
    Bytes bytes = Written(TwoImages());
    for (size_t length = 0; length < bytes.size(); ++length) {
        Bytes cut(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(length));
        EXPECT_NE(ErrorOf(cut), "") << "cut at " << length;
    }
    EXPECT_EQ(ErrorOf(Bytes(bytes.begin(), bytes.begin() + 6)),
              "Invalid bitmap list: the stream ends inside the bitmap count");
    EXPECT_EQ(ErrorOf(Bytes(bytes.begin(), bytes.begin() + SecondImage + 20)),
              "Invalid bitmap list: bitmap 2 of 2 is cut short: 20 of its 66 bytes are there");
    EXPECT_EQ(ErrorOf(Bytes(bytes.begin(), bytes.begin() + SecondImage)),
              "Invalid bitmap list: bitmap 2 of 2 is missing or cut short");
}

TEST(VrBitmapStream, RefusesCountsThatDoNotFitTheData)
{
    Bytes bytes = Written(TwoImages());
    Bytes more = bytes;
    PutU32(more, 4, 3);
    EXPECT_EQ(ErrorOf(more), "Invalid bitmap list: bitmap 3 of 3 is missing or cut short");
    PutU32(more, 4, 0x7FFFFFFF);
    EXPECT_EQ(ErrorOf(more), "Invalid bitmap list: bitmap 3 of 2147483647 is missing or cut short");
    PutU32(more, 4, 0xFFFFFFFF);
    EXPECT_EQ(ErrorOf(more), "Invalid bitmap list: the bitmap count -1 is negative");
    PutU32(more, 4, 0x80000000);
    EXPECT_EQ(ErrorOf(more), "Invalid bitmap list: the bitmap count -2147483648 is negative");
}

TEST(VrBitmapStream, RefusesImageSizesThatLie)
{
    Bytes bytes = Written(TwoImages());
    Bytes lie = bytes;
    PutU32(lie, FirstImage + 2, 0xFFFFFFFF);
    EXPECT_EQ(ErrorOf(lie), "Invalid bitmap list: bitmap 1 of 2: its size of 4294967295 bytes is too large");
    PutU32(lie, FirstImage + 2, 53);
    EXPECT_EQ(ErrorOf(lie), "Invalid bitmap list: bitmap 1 of 2: its size of 53 bytes is smaller than its headers");
    // One byte short: the rows no longer fit, whatever follows.
    PutU32(lie, FirstImage + 2, FirstImageSize - 1);
    EXPECT_EQ(ErrorOf(lie), "Invalid bitmap list: bitmap 1 of 2: its pixel rows do not fit in its 69 bytes");
    // Larger than the whole rest of the stream.
    PutU32(lie, FirstImage + 2, 1000000);
    EXPECT_EQ(ErrorOf(lie), "Invalid bitmap list: bitmap 1 of 2 is cut short: 136 of its 1000000 bytes are there");
}

TEST(VrBitmapStream, RefusesHeadersThatLie)
{
    struct Case {
        size_t Offset;
        uint32_t Value;
        bool Wide;
        const char* Reason;
    };
    const Case cases[] = {
        {FirstImage, 'X', false, "it is not a BMP image"},
        {FirstImage + 10, 1000, true, "its pixel rows do not fit in its 70 bytes"},
        {FirstImage + 10, 20, true, "its pixel rows do not fit in its 70 bytes"},
        {FirstImage + InfoHeader, 0xFFFFFFFF, true, "its information header size 4294967295 is not supported"},
        {FirstImage + InfoHeader, 12, true, "its information header size 12 is not supported"},
        {FirstImage + InfoHeader + 4, 0x7FFFFFFF, true, "its size 2147483647 x 2 is too large"},
        {FirstImage + InfoHeader + 4, 0x80000000, true, "its size -2147483648 x 2 is invalid"},
        {FirstImage + InfoHeader + 8, 0x80000000, true, "its size 2 x -2147483648 is invalid"},
        {FirstImage + InfoHeader + 8, 0x7FFFFFFF, true, "its size 2 x 2147483647 is too large"},
        {FirstImage + InfoHeader + 4, 4096, true, "its pixel rows do not fit in its 70 bytes"},
        {FirstImage + InfoHeader + 12, 2, false, "it has 2 planes"},
        {FirstImage + InfoHeader + 14, 7, false, "its 7 bits per pixel are not supported"},
        {FirstImage + InfoHeader + 8, 3, true, "its pixel rows do not fit in its 70 bytes"},
        {FirstImage + InfoHeader + 16, 1, true, "its compression 1 is not supported"},
    };
    for (const Case& c : cases) {
        Bytes lie = Written(TwoImages());
        if (c.Wide)
            PutU32(lie, c.Offset, c.Value);
        else
            PutU16(lie, c.Offset, static_cast<uint16_t>(c.Value));
        EXPECT_EQ(ErrorOf(lie), std::string("Invalid bitmap list: bitmap 1 of 2: ") + c.Reason) << c.Reason;
    }

    Bytes table = PaletteBmp(4, 1, 1, {0, 0}, {0, 0, 0, 0});
    PutU32(table, InfoHeader + 32, 17);
    EXPECT_THROW(DecodeBmp(table), EStreamError);
    PutU32(table, InfoHeader + 32, 16);
    EXPECT_THROW(DecodeBmp(table), EStreamError);   // 16 entries promised, 2 there
}

TEST(VrBitmapStream, RandomDamageIsRefusedOrReadNeverCrashes)
{
    Bytes valid = Written(TwoImages());
    std::mt19937 random(20050101);
    int refused = 0;
    for (int round = 0; round < 3000; ++round) {
        Bytes damaged = valid;
        int flips = 1 + static_cast<int>(random() % 4);
        for (int i = 0; i < flips; ++i)
            damaged[random() % damaged.size()] ^= static_cast<uint8_t>(1 + random() % 255);
        if (random() % 3 == 0)
            damaged.resize(random() % damaged.size());
        try {
            for (const TVrBitmapImage& image : Read(damaged))
                EXPECT_EQ(image.Pixels.size(), static_cast<size_t>(image.Width) * static_cast<size_t>(image.Height));
        } catch (const EStreamError&) {
            ++refused;
        }
    }
    EXPECT_GT(refused, 0);
}
