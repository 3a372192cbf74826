#pragma once

#include "colourvalue.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quenzil::testsupport {

// Compression values of a BMP info header.
enum BmpCompression : std::uint32_t {
    BmpRgb = 0,
    BmpRle8 = 1,
    BmpRle4 = 2,
    BmpBitfields = 3,
};

// Sizes of the info header kinds.
inline constexpr std::uint32_t bmpCoreHeaderSize = 12; // OS/2 1.x: 16-bit sizes, 3-byte palette
inline constexpr std::uint32_t bmpInfoHeaderSize = 40;
inline constexpr std::uint32_t bmpV4HeaderSize = 108;
inline constexpr std::uint32_t bmpV5HeaderSize = 124;

// Every field of a BMP's file and info headers. A field left empty is computed from what the
// file really holds; a field given is written as given, true or not, so a test can make a file
// that lies about itself.
struct BmpHeader
{
    // File header.
    std::array<char, 2> signature{'B', 'M'};
    std::optional<std::uint32_t> fileSize;
    std::uint16_t reserved1 = 0;
    std::uint16_t reserved2 = 0;
    std::optional<std::uint32_t> dataOffset;

    // Info header. A core header (12 bytes) writes width and height as 16 bits.
    std::uint32_t headerSize = bmpInfoHeaderSize;
    std::int32_t width = 0;
    std::int32_t height = 0; // negative: rows stored top row first
    std::uint16_t planes = 1;
    std::uint16_t bitCount = 24;
    std::uint32_t compression = BmpRgb;
    std::optional<std::uint32_t> imageSize;
    std::int32_t xPixelsPerMetre = 2835;
    std::int32_t yPixelsPerMetre = 2835;
    std::optional<std::uint32_t> coloursUsed; // empty: the number of palette entries written
    std::uint32_t coloursImportant = 0;

    // Red, green, blue and alpha masks. A V4/V5 header holds all four; after a 40-byte header
    // `masksAfterHeader` of them follow (empty: three for BI_BITFIELDS, none otherwise).
    std::array<std::uint32_t, 4> masks{};
    std::optional<int> masksAfterHeader;
};

// A whole BMP file before it is written: the header, the palette and the pixel data as stored.
struct BmpFile
{
    BmpHeader header;
    // Palette entries as colour values (0x00BBGGRR), written as B, G, R and a zero byte (three
    // bytes each after a core header).
    std::vector<ColourValue> palette;
    // Zero bytes between the palette and the pixel data.
    std::size_t gapBeforePixels = 0;
    // The pixel data exactly as stored: rows padded to 4 bytes, or an RLE stream.
    std::vector<std::uint8_t> pixelData;
    // Cut the written file to this many bytes (after the header fields were computed).
    std::optional<std::size_t> truncateTo;
};

// The bytes of a BMP file.
std::string writeBmp(const BmpFile &file);

// A picture made up in a test: colour values row by row, top row first.
struct TestPicture
{
    int width = 0;
    int height = 0;
    std::vector<ColourValue> pixels;

    ColourValue at(int x, int y) const { return pixels[std::size_t(y) * width + x]; }
};

// A picture whose every pixel's colour comes from a function of its place.
TestPicture makePicture(int width, int height,
                        const std::function<ColourValue(int x, int y)> &colour);

// Colours that differ from pixel to pixel, so a table shows which pixel went where.
ColourValue patternColour(int x, int y);

// The stored layouts that encodeBmp() can write.
enum class BmpLayout {
    Indexed1, // 2-colour palette, 8 pixels a byte
    Indexed4, // 16-colour palette, 2 pixels a byte
    Indexed8, // 256-colour palette
    Rle8,     // 256-colour palette, run-length coded (always bottom-up)
    Rgb555,   // 16 bits, 5-5-5 without masks
    Rgb565,   // 16 bits, 5-6-5 with BI_BITFIELDS masks
    Rgb24,    // B, G, R bytes, rows padded to 4 bytes
    Rgb32,    // B, G, R and an unused byte
    Argb32,   // V5 header with an alpha mask; the alpha byte comes from `alpha`
};

enum class RowOrder { BottomUp, TopDown };

// Encodes a picture in a layout. Palette layouts take the picture's distinct colours in order of
// first appearance and throw std::invalid_argument when there are more than the layout holds;
// 16-bit layouts keep the top bits of each channel. `alpha` is each pixel's alpha byte in the
// Argb32 layout (the same for every pixel).
BmpFile encodeBmp(const TestPicture &picture, BmpLayout layout, RowOrder order = RowOrder::BottomUp,
                  std::uint8_t alpha = 0xFF);

// Run-length codes rows of palette indices (top row first) as a bottom-up RLE8 stream: runs of
// equal pixels as counted runs, the rest in absolute mode, end-of-line after each row and
// end-of-bitmap at the end.
std::vector<std::uint8_t> encodeRle8(const std::vector<std::vector<std::uint8_t>> &rows);

// Writes a picture as a 24-bit bottom-up BMP file; false when that fails.
bool saveBmp(const std::filesystem::path &path, const TestPicture &picture);

} // namespace quenzil::testsupport

namespace quenzil::testsupport {

// Encodes a picture as uncompressed bit-field pixels of `bitCount` bits (16 or 32) with the
// given red, green, blue and alpha masks, after an info header of `headerSize` bytes (the masks
// follow a 40-byte header). Each channel is scaled from 8 bits to its mask's width, rounded; the
// alpha is full.
BmpFile encodeBitfieldsBmp(const TestPicture &picture, std::uint16_t bitCount,
                           const std::array<std::uint32_t, 4> &masks, std::uint32_t headerSize,
                           RowOrder order = RowOrder::BottomUp);

} // namespace quenzil::testsupport
