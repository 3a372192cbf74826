#pragma once

#include "tableformat.h"

#include <cstdint>
#include <string>

namespace quenzil {
class ImagePixels;
}

namespace quenzil::fuzz {

// The table shape that bytes 4 to 7 of a fuzz input ask for:
// - byte 4: bits 0-1 the radix (0 binary, 1 hexadecimal, 2 decimal, 3 hexadecimal), bit 2 row
//   lines, bit 3 run-length pairs, bit 4 a size line, bit 5 a label of its own, bit 6 the
//   classic dialect (lines numbered from 1 in steps of 1; hexadecimal for binary);
// - byte 5: numbers per line, 1 + the byte modulo 64 (one more when odd with run-length pairs);
// - byte 6: the label's length (1 to 32) and byte 7 its characters, when bit 5 of byte 4 asks.
TableFormat shapeRequest(const std::uint8_t *bytes);

// Builds the table of the picture in the shape `format`, reads it back with the test
// support's table reader and checks that it holds exactly the codes of the plain table in order,
// the size line the picture's size, lines no longer than the shape allows (full lines but the
// last, rows kept apart with row lines), and a length within the room the builder reserves; and
// that the decoder reads the codes back. A picture too large for the classic dialect's line
// numbers is passed over. Returns the first fault, or empty.
std::string shapeFault(const ImagePixels &picture, const TableFormat &format);

} // namespace quenzil::fuzz
