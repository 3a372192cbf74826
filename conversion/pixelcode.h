#pragma once

#include "colourvalue.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace quenzil {

namespace detail {

using EntryTable = std::array<std::array<char, 13>, 256>;

constexpr EntryTable makeEntryTable()
{
    EntryTable table{};
    for (unsigned code = 0; code < 256; ++code) {
        auto &entry = table[code];
        entry = {' ', '&', 'B', '0', '0', '0', '0', '0', '0', '0', '0', ' ', ','};
        for (unsigned bit = 0; bit < 8; ++bit)
            entry[3 + bit] = (code >> (7 - bit)) & 1u ? '1' : '0';
    }
    return table;
}

// All 256 entries are made at compile time, so coding a pixel is one lookup.
inline constexpr EntryTable entryTable = makeEntryTable();

} // namespace detail

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

    // The entry text of a code byte, e.g. " &B11100000 ," for 0xE0. The view stays valid for
    // the life of the program.
    static constexpr std::string_view entryForCode(std::uint8_t code)
    {
        return {detail::entryTable[code].data(), entryLength};
    }

    // The entry text of a colour.
    static constexpr std::string_view entry(ColourValue colour)
    {
        return entryForCode(code(colour));
    }
};

} // namespace quenzil
