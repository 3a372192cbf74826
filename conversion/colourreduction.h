#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace quenzil {

// How a picture's colours become display colours (see displaycolour.h).
enum class ColourReduction {
    // Each channel to the display level of its band: what PixelCode codes anyway.
    Bands,
    // Each channel to the display level nearest to it.
    Nearest,
    // Between the two nearest display levels by an 8 x 8 Bayer matrix.
    Ordered,
    // To the nearest display level, the error spread by Floyd-Steinberg, rows in serpentine order.
    Diffuse,
};

// Where the three 8-bit channels sit in a 32-bit pixel. The other bits (an alpha byte, say) are
// left as they are.
struct ChannelLayout
{
    unsigned redShift = 0;
    unsigned greenShift = 8;
    unsigned blueShift = 16;
};

// The layout of ColourValue, 0x00BBGGRR.
inline constexpr ChannelLayout colourValueLayout{0, 8, 16};

// A block of 32-bit pixels in rows, `stride` pixels from the start of one row to the next.
struct PixelRows
{
    std::uint32_t *pixels = nullptr;
    int width = 0;
    int height = 0;
    std::ptrdiff_t stride = 0;
};

// Replaces every pixel's colour by a display colour as `reduction` chooses, in one pass over the
// rows. Each display colour codes back to its own code under PixelCode, so the table of the
// result holds exactly the codes chosen here. The result depends on the pixels alone, the same
// on every run. Diffuse needs room for two rows of errors and may throw std::bad_alloc.
//
// With a `key` code, the key means "transparent" and nothing else: a pixel whose bits outside the
// three channels are all zero is transparent and takes the key's display colour (passing no
// dithering error on), and every other pixel that would take that colour takes the nearest other
// display colour instead (by the sum of the channels' squared differences), also when dithered.
void reduceToDisplayColours(PixelRows rows, ColourReduction reduction,
                            ChannelLayout layout = colourValueLayout,
                            std::optional<std::uint8_t> key = std::nullopt);

} // namespace quenzil
