#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quenzil::testsupport {

// A table text read back into what it carries. Written apart from the table builder, from the
// text's rules alone: a header line "LABEL:", then "Data" lines of numbers, each preceded by a
// space and followed by " ," except the last on its line; CR LF between lines, none after the
// last. All numbers of a table share one radix: "&B" binary, "&H" upper-case hexadecimal or plain
// decimal; a code has its full width (8 binary or 2 hexadecimal digits), any other number no
// leading zero.
//
// A classic table (GW-BASIC and the like) numbers every line: "999 REM LABEL", then
// "1000 DATA 1,2,3" lines, numbers separated by a comma alone, never binary.
struct ReadTable
{
    std::string error; // empty when the text is well formed; else what is wrong, with its line
    std::string label;
    char radix = 0; // 'B', 'H' or 'D'; 0 for a table without numbers
    std::uint64_t width = 0;
    std::uint64_t height = 0;
    std::vector<std::uint8_t> codes;         // one per pixel, runs expanded
    std::vector<std::size_t> numbersPerLine; // Data lines after any size line
    std::vector<std::size_t> pixelsPerLine;  // codes each of those lines stands for
    std::vector<std::uint64_t> lineNumbers;  // a classic table's, the header's first
};

// Reads a table; `sizeLine` and `runLength` say how it was asked to be shaped. Run lengths must
// be 1 to 255 and a line must hold whole pairs.
ReadTable readTable(std::string_view text, bool sizeLine, bool runLength, bool classic = false);

} // namespace quenzil::testsupport
