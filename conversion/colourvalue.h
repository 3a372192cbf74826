#pragma once

#include <cstdint>

namespace quenzil {

// A pixel's colour as the picture surface reports it: 0x00BBGGRR, red in the lowest byte.
using ColourValue = std::uint32_t;

// The answer for a pixel that cannot be read (outside the picture, say).
inline constexpr ColourValue unreadableColour = 0xFFFFFFFFu;

// Builds a colour value from its three channel bytes.
constexpr ColourValue colourFromRgb(std::uint8_t red, std::uint8_t green, std::uint8_t blue)
{
    return ColourValue(red) | ColourValue(green) << 8 | ColourValue(blue) << 16;
}

} // namespace quenzil
