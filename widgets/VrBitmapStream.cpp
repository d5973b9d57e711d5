// Reading and writing the bitmap list stream and its BMP file images, field by
// field at fixed little-endian offsets, every count and size checked against the data.
#include "VrBitmapStream.h"

#include <algorithm>
#include <limits>
#include <stdexcept>
#include <string>

namespace {

// The list's framing.
constexpr size_t ListSignatureOffset = 0;
constexpr size_t ListCountOffset = 4;
constexpr size_t ListHeaderSize = 8;

// BMP file header.
constexpr size_t FileTypeOffset = 0;
constexpr size_t FileSizeOffset = 2;
constexpr size_t FileReservedOffset = 6;
constexpr size_t FilePixelOffset = 10;
constexpr size_t FileHeaderSize = 14;
constexpr uint8_t FileTypeFirst = 'B';
constexpr uint8_t FileTypeSecond = 'M';

// BMP information header, offsets from its start.
constexpr size_t InfoSizeOffset = 0;
constexpr size_t InfoWidthOffset = 4;
constexpr size_t InfoHeightOffset = 8;
constexpr size_t InfoPlanesOffset = 12;
constexpr size_t InfoBitCountOffset = 14;
constexpr size_t InfoCompressionOffset = 16;
constexpr size_t InfoImageSizeOffset = 20;
constexpr size_t InfoXResolutionOffset = 24;
constexpr size_t InfoYResolutionOffset = 28;
constexpr size_t InfoColorsUsedOffset = 32;
constexpr size_t InfoColorsImportantOffset = 36;
constexpr size_t InfoHeaderSize = 40;
constexpr size_t InfoHeaderV5Size = 124;   // the largest information header there is
constexpr size_t HeadersSize = FileHeaderSize + InfoHeaderSize;

constexpr uint32_t CompressionNone = 0;
constexpr uint16_t PlaneCount = 1;
constexpr size_t ColorTableEntrySize = 4;  // blue, green, red, unused
constexpr uint32_t PixelsPerMetre = 2835;  // 72 dots per inch
constexpr uint16_t WrittenBitCount = 24;

// Limits that keep a lying header from making us allocate more than a bitmap
// of the program could ever need.
constexpr uint32_t MaxFileSize = 64u * 1024 * 1024;
constexpr uint64_t MaxPixelCount = 16u * 1024 * 1024;
constexpr uint64_t MaxSide = 32768;
constexpr size_t ReadChunkSize = 64 * 1024;

constexpr unsigned BitsPerByte = 8;
constexpr unsigned RowAlignmentBits = 32;
constexpr unsigned FiveBitMask = 0x1F;

[[noreturn]] void Refuse(const std::string& reason)
{
    throw EStreamError(reason);
}

// Bounds-checked little-endian fields of a byte buffer.
class TFieldReader {
public:
    TFieldReader(const std::vector<uint8_t>& bytes, size_t size) : Bytes(bytes), Size(size) {}

    uint8_t U8(size_t offset) const
    {
        Need(offset, 1);
        return Bytes[offset];
    }
    uint16_t U16(size_t offset) const
    {
        Need(offset, 2);
        return static_cast<uint16_t>(Bytes[offset] | Bytes[offset + 1] << 8);
    }
    uint32_t U32(size_t offset) const
    {
        Need(offset, 4);
        return static_cast<uint32_t>(Bytes[offset]) | static_cast<uint32_t>(Bytes[offset + 1]) << 8 |
               static_cast<uint32_t>(Bytes[offset + 2]) << 16 | static_cast<uint32_t>(Bytes[offset + 3]) << 24;
    }
    int32_t I32(size_t offset) const { return static_cast<int32_t>(U32(offset)); }

private:
    void Need(size_t offset, size_t length) const
    {
        if (offset > Size || length > Size - offset)
            Refuse("the image ends inside its headers");
    }

    const std::vector<uint8_t>& Bytes;
    size_t Size;
};

void PutU16(std::vector<uint8_t>& bytes, size_t offset, uint16_t value)
{
    bytes.at(offset) = static_cast<uint8_t>(value);
    bytes.at(offset + 1) = static_cast<uint8_t>(value >> 8);
}

void PutU32(std::vector<uint8_t>& bytes, size_t offset, uint32_t value)
{
    for (size_t i = 0; i < 4; ++i)
        bytes.at(offset + i) = static_cast<uint8_t>(value >> (BitsPerByte * i));
}

uint64_t RowStride(uint64_t width, unsigned bitCount)
{
    return (width * bitCount + RowAlignmentBits - 1) / RowAlignmentBits * (RowAlignmentBits / BitsPerByte);
}

bool IsSupportedBitCount(uint16_t bits)
{
    return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

uint32_t Rgb(uint8_t red, uint8_t green, uint8_t blue)
{
    return static_cast<uint32_t>(red) << 16 | static_cast<uint32_t>(green) << 8 | blue;
}

uint8_t FiveToEightBits(unsigned value)
{
    return static_cast<uint8_t>(value << 3 | value >> 2);
}

// Reads exactly `length` bytes onto the end of `bytes`, in chunks, so a size
// field larger than the data costs no more memory than the data.
bool ReadExactly(TStream& stream, std::vector<uint8_t>& bytes, size_t length)
{
    while (length > 0) {
        size_t chunk = std::min(length, ReadChunkSize);
        size_t start = bytes.size();
        bytes.resize(start + chunk);
        size_t got = 0;
        while (got < chunk) {
            size_t read = stream.Read(bytes.data() + start + got, chunk - got);
            if (read == 0)
                break;
            got += read;
        }
        if (got != chunk) {
            bytes.resize(start + got);
            return false;
        }
        length -= chunk;
    }
    return true;
}

} // namespace

TVrBitmapImage DecodeBmp(const std::vector<uint8_t>& file)
{
    TFieldReader header(file, file.size());
    if (header.U8(FileTypeOffset) != FileTypeFirst || header.U8(FileTypeOffset + 1) != FileTypeSecond)
        Refuse("it is not a BMP image");
    uint32_t fileSize = header.U32(FileSizeOffset);
    if (fileSize < HeadersSize)
        Refuse("its size of " + std::to_string(fileSize) + " bytes is smaller than its headers");
    if (fileSize > file.size())
        Refuse("its size of " + std::to_string(fileSize) + " bytes is larger than its data");
    TFieldReader fields(file, fileSize);
    uint32_t pixelOffset = fields.U32(FilePixelOffset);

    constexpr size_t info = FileHeaderSize;
    uint32_t infoSize = fields.U32(info + InfoSizeOffset);
    if (infoSize < InfoHeaderSize || infoSize > InfoHeaderV5Size)
        Refuse("its information header size " + std::to_string(infoSize) + " is not supported");
    int32_t width = fields.I32(info + InfoWidthOffset);
    int32_t height = fields.I32(info + InfoHeightOffset);
    uint16_t planes = fields.U16(info + InfoPlanesOffset);
    uint16_t bitCount = fields.U16(info + InfoBitCountOffset);
    uint32_t compression = fields.U32(info + InfoCompressionOffset);
    uint32_t colorsUsed = fields.U32(info + InfoColorsUsedOffset);

    if (width < 0 || height == std::numeric_limits<int32_t>::min())
        Refuse("its size " + std::to_string(width) + " x " + std::to_string(height) + " is invalid");
    bool topDown = height < 0;
    uint64_t rows = topDown ? static_cast<uint64_t>(-static_cast<int64_t>(height)) : static_cast<uint64_t>(height);
    if (static_cast<uint64_t>(width) > MaxSide || rows > MaxSide ||
        static_cast<uint64_t>(width) * rows > MaxPixelCount)
        Refuse("its size " + std::to_string(width) + " x " + std::to_string(rows) + " is too large");
    if (planes != PlaneCount)
        Refuse("it has " + std::to_string(planes) + " planes");
    if (!IsSupportedBitCount(bitCount))
        Refuse("its " + std::to_string(bitCount) + " bits per pixel are not supported");
    if (compression != CompressionNone)
        Refuse("its compression " + std::to_string(compression) + " is not supported");

    uint64_t paletteSize = 0;
    if (bitCount <= BitsPerByte) {
        uint32_t maxColors = 1u << bitCount;
        if (colorsUsed > maxColors)
            Refuse("its colour table of " + std::to_string(colorsUsed) + " entries is too large");
        paletteSize = colorsUsed == 0 ? maxColors : colorsUsed;
    }
    uint64_t paletteOffset = FileHeaderSize + static_cast<uint64_t>(infoSize);
    uint64_t paletteEnd = paletteOffset + paletteSize * ColorTableEntrySize;
    uint64_t stride = RowStride(static_cast<uint64_t>(width), bitCount);
    if (pixelOffset < paletteEnd || pixelOffset + stride * rows > fileSize)
        Refuse("its pixel rows do not fit in its " + std::to_string(fileSize) + " bytes");

    std::vector<uint32_t> palette(static_cast<size_t>(paletteSize));
    for (size_t i = 0; i < palette.size(); ++i) {
        size_t entry = static_cast<size_t>(paletteOffset) + i * ColorTableEntrySize;
        palette[i] = Rgb(fields.U8(entry + 2), fields.U8(entry + 1), fields.U8(entry));
    }

    TVrBitmapImage image;
    image.Width = width;
    image.Height = static_cast<int>(rows);
    image.Pixels.resize(static_cast<size_t>(static_cast<uint64_t>(width) * rows));
    for (uint64_t y = 0; y < rows; ++y) {
        const uint8_t* row = file.data() + pixelOffset + (topDown ? y : rows - 1 - y) * stride;
        uint32_t* out = image.Pixels.data() + y * static_cast<uint64_t>(width);
        for (int32_t x = 0; x < width; ++x) {
            switch (bitCount) {
            case 1:
            case 4:
            case 8: {
                unsigned bit = static_cast<unsigned>(x) * bitCount;
                unsigned shift = BitsPerByte - bitCount - bit % BitsPerByte;
                unsigned index = (row[bit / BitsPerByte] >> shift) & ((1u << bitCount) - 1);
                // An index beyond a short colour table shows black.
                out[x] = index < palette.size() ? palette[index] : 0;
                break;
            }
            case 16: {
                unsigned value = static_cast<unsigned>(row[2 * x] | row[2 * x + 1] << 8);
                out[x] = Rgb(FiveToEightBits(value >> 10 & FiveBitMask), FiveToEightBits(value >> 5 & FiveBitMask),
                             FiveToEightBits(value & FiveBitMask));
                break;
            }
            case 24:
                out[x] = Rgb(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
                break;
            default:
                out[x] = Rgb(row[4 * x + 2], row[4 * x + 1], row[4 * x]);
                break;
            }
        }
    }
    return image;
}

std::vector<uint8_t> EncodeBmp(const TVrBitmapImage& image)
{
    if (image.Width < 0 || image.Height < 0 ||
        static_cast<uint64_t>(image.Width) * static_cast<uint64_t>(image.Height) != image.Pixels.size())
        throw std::invalid_argument("the bitmap's pixels do not match its size");
    uint64_t stride = RowStride(static_cast<uint64_t>(image.Width), WrittenBitCount);
    uint64_t pixelBytes = stride * static_cast<uint64_t>(image.Height);
    if (HeadersSize + pixelBytes > MaxFileSize)
        throw std::length_error("the bitmap is too large for a bitmap list");

    std::vector<uint8_t> file(HeadersSize + static_cast<size_t>(pixelBytes));
    file[FileTypeOffset] = FileTypeFirst;
    file[FileTypeOffset + 1] = FileTypeSecond;
    PutU32(file, FileSizeOffset, static_cast<uint32_t>(file.size()));
    PutU32(file, FileReservedOffset, 0);
    PutU32(file, FilePixelOffset, static_cast<uint32_t>(HeadersSize));
    constexpr size_t info = FileHeaderSize;
    PutU32(file, info + InfoSizeOffset, static_cast<uint32_t>(InfoHeaderSize));
    PutU32(file, info + InfoWidthOffset, static_cast<uint32_t>(image.Width));
    PutU32(file, info + InfoHeightOffset, static_cast<uint32_t>(image.Height));
    PutU16(file, info + InfoPlanesOffset, PlaneCount);
    PutU16(file, info + InfoBitCountOffset, WrittenBitCount);
    PutU32(file, info + InfoCompressionOffset, CompressionNone);
    PutU32(file, info + InfoImageSizeOffset, static_cast<uint32_t>(pixelBytes));
    PutU32(file, info + InfoXResolutionOffset, PixelsPerMetre);
    PutU32(file, info + InfoYResolutionOffset, PixelsPerMetre);
    PutU32(file, info + InfoColorsUsedOffset, 0);
    PutU32(file, info + InfoColorsImportantOffset, 0);

    for (int y = 0; y < image.Height; ++y) {
        // Rows are stored bottom row first.
        size_t row = HeadersSize + static_cast<size_t>(image.Height - 1 - y) * static_cast<size_t>(stride);
        for (int x = 0; x < image.Width; ++x) {
            uint32_t pixel = image.Pixels[static_cast<size_t>(y) * static_cast<size_t>(image.Width) + static_cast<size_t>(x)];
            file[row + 3 * static_cast<size_t>(x)] = static_cast<uint8_t>(pixel);
            file[row + 3 * static_cast<size_t>(x) + 1] = static_cast<uint8_t>(pixel >> 8);
            file[row + 3 * static_cast<size_t>(x) + 2] = static_cast<uint8_t>(pixel >> 16);
        }
    }
    return file;
}

std::vector<TVrBitmapImage> ReadBitmapList(TStream& stream)
{
    std::vector<uint8_t> header;
    bool complete = ReadExactly(stream, header, ListHeaderSize);
    TFieldReader fields(header, header.size());
    if (header.size() < ListCountOffset || fields.U32(ListSignatureOffset) != VrBitmapListSignature)
        Refuse("Invalid file format");
    if (!complete)
        Refuse("Invalid bitmap list: the stream ends inside the bitmap count");
    int32_t count = fields.I32(ListCountOffset);
    if (count < 0)
        Refuse("Invalid bitmap list: the bitmap count " + std::to_string(count) + " is negative");

    std::vector<TVrBitmapImage> images;
    for (int32_t index = 0; index < count; ++index) {
        std::string which = "Invalid bitmap list: bitmap " + std::to_string(index + 1) + " of " + std::to_string(count);
        std::vector<uint8_t> file;
        if (!ReadExactly(stream, file, FileHeaderSize))
            Refuse(which + " is missing or cut short");
        uint32_t fileSize = TFieldReader(file, file.size()).U32(FileSizeOffset);
        if (fileSize < HeadersSize)
            Refuse(which + ": its size of " + std::to_string(fileSize) + " bytes is smaller than its headers");
        if (fileSize > MaxFileSize)
            Refuse(which + ": its size of " + std::to_string(fileSize) + " bytes is too large");
        if (!ReadExactly(stream, file, fileSize - FileHeaderSize))
            Refuse(which + " is cut short: " + std::to_string(file.size()) + " of its " + std::to_string(fileSize) + " bytes are there");
        try {
            images.push_back(DecodeBmp(file));
        } catch (const EStreamError& error) {
            Refuse(which + ": " + error.what());
        }
    }
    return images;
}

void WriteBitmapList(TStream& stream, const std::vector<TVrBitmapImage>& images)
{
    if (images.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max()))
        throw std::length_error("too many bitmaps for a bitmap list");
    std::vector<uint8_t> header(ListHeaderSize);
    PutU32(header, ListSignatureOffset, VrBitmapListSignature);
    PutU32(header, ListCountOffset, static_cast<uint32_t>(images.size()));
    stream.WriteBuffer(header.data(), header.size());
    for (const TVrBitmapImage& image : images) {
        std::vector<uint8_t> file = EncodeBmp(image);
        stream.WriteBuffer(file.data(), file.size());
    }
}
