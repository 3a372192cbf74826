#pragma once

#include "colourvalue.h"

#include <cstdint>

namespace quenzil {

// Widens a channel value of `bits` bits (1 to 8) to 8 bits so that full intensity stays full:
// v becomes round(v * 255 / (2^bits - 1)). 2^bits - 1 is odd, so the rounding never meets a tie.
constexpr std::uint8_t widenChannel(unsigned value, unsigned bits)
{
    const unsigned top = (1u << bits) - 1;
    return std::uint8_t((value * 255 + top / 2) / top);
}

// The colour a 3-3-2 display shows for a code: red and green level k (0 to 7) as
// round(k * 255 / 7), blue level k (0 to 3) as k * 85. The band coding of PixelCode gives each
// of these colours its own code back.
constexpr ColourValue displayColour(std::uint8_t code)
{
    return colourFromRgb(widenChannel(code >> 5, 3), widenChannel(code >> 2 & 7u, 3),
                         widenChannel(code & 3u, 2));
}

} // namespace quenzil
