// The bitmap list stream of the widgets: a signature, a count and that many
// BMP file images. The stream comes from outside, so reading checks every field.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <stdexcept>
#include <string>
#include <vector>

// A decoded bitmap: Width x Height pixels, top row first, each 0x00RRGGBB.
struct TVrBitmapImage {
    int Width = 0;
    int Height = 0;
    std::vector<uint32_t> Pixels;
};

// A stream that is not a bitmap list, or one that lies about its contents.
class EVrBitmapStreamError : public std::runtime_error {
public:
    explicit EVrBitmapStreamError(const std::string& message) : std::runtime_error(message) {}
};

constexpr uint32_t VrBitmapListSignature = 0x00355462;   // bytes 62 54 35 00

// Reads a whole list; throws EVrBitmapStreamError and reads nothing past the
// last byte it needs. Memory grows only with the bytes actually read.
std::vector<TVrBitmapImage> ReadBitmapList(std::istream& stream);

// Writes the list with each image as a 24-bit BMP file image.
void WriteBitmapList(std::ostream& stream, const std::vector<TVrBitmapImage>& images);

// One BMP file image (file header, information header, colour table, rows).
TVrBitmapImage DecodeBmp(const std::vector<uint8_t>& file);
std::vector<uint8_t> EncodeBmp(const TVrBitmapImage& image);
