#pragma once

#include "colourvalue.h"
#include "tableformat.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace quenzil {

// Codes one pixel as a byte of 3 bits red, 3 bits green and 2 bits blue (red on top), and as
// the table entry that carries that byte: " &B" + eight binary digits + " ,".
class PixelCode
{
public:
    // Length of every entry text.
    static constexpr std::size_t entryLength = 13;
    // Length of the separator " ," that ends every entry.
    static constexpr std::size_t separatorLength = 2;

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

    // The entry text of a code byte, e.g. " &B11100000 ," for 0xE0: the binary entry of the
    // table format. The view stays valid for the life of the program.
    static std::string_view entryForCode(std::uint8_t code)
    {
        return RadixEntries::of(Radix::binary).code(code);
    }

    // The entry text of a colour.
    static std::string_view entry(ColourValue colour) { return entryForCode(code(colour)); }
};

} // namespace quenzil
