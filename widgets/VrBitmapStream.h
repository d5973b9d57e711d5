// The bitmap list stream of the widgets: a signature, a count and that many
// BMP file images. The stream comes from outside, so reading checks every field.
#pragma once

#include "Streams.h"
#include "SysUtils.h"

#include <cstdint>
#include <vector>

// A decoded bitmap: Width x Height pixels, top row first, each 0x00RRGGBB.
struct TVrBitmapImage {
    int Width = 0;
    int Height = 0;
    std::vector<uint32_t> Pixels;
};

constexpr uint32_t VrBitmapListSignature = 0x00355462;   // bytes 62 54 35 00

// Reads a whole list; a stream that is not one, or lies about its contents, is
// refused with EStreamError. Reads nothing past the last byte it needs, and
// memory grows only with the bytes actually read.
std::vector<TVrBitmapImage> ReadBitmapList(TStream& stream);

// Writes the list with each image as a 24-bit BMP file image.
void WriteBitmapList(TStream& stream, const std::vector<TVrBitmapImage>& images);

// One BMP file image (file header, information header, colour table, rows);
// decoding refuses a header that does not fit the data with EStreamError.
TVrBitmapImage DecodeBmp(const std::vector<uint8_t>& file);
std::vector<uint8_t> EncodeBmp(const TVrBitmapImage& image);
