#pragma once

#include "colourvalue.h"

#include <cstdint>

namespace quenzil {

// Codes one pixel as a byte of 3 bits red, 3 bits green and 2 bits blue (red on top), the
// number the table carries for that pixel.
class PixelCode
{
public:
    // The code byte of a colour. Each red and green band is 32 levels wide, each blue band 64;
    // a pixel that cannot be read (any value with the top bit set) codes as black.
    static constexpr std::uint8_t code(ColourValue colour)
    {
        if (colour & 0x80000000u)
            return 0;
        const unsigned red = colour & 0xFFu;
        const unsigned green = (colour >> 8) & 0xFFu;
        const unsigned blue = (colour >> 16) & 0xFFu;
        return std::uint8_t((red >> 5) << 5 | (green >> 5) << 2 | blue >> 6);
    }
};

} // namespace quenzil
