#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quenzil {

// How the numbers of a table are written. A code always has its full width ("&B" and eight
// binary digits, "&H" and two upper-case hexadecimal digits, or plain decimal); any other number
// (width, height, run length) has as many digits as it needs.
enum class Radix { binary, hexadecimal, decimal };

// The shape of a table. The default is the table the window writes:
//
//     Picture:
//     Data &B11100000 , &B00011100 , ... (eight numbers a line)
//
// Lines are separated by CR LF, with none after the last; every number is preceded by a space,
// and " ," separates two numbers of a line (tabledialect.h holds these pieces).
struct TableFormat
{
    // The header line is the label followed by ":". A BASIC label: see isValidLabel().
    std::string label = "Picture";
    Radix radix = Radix::binary;
    // Numbers on a Data line (1 to 64). With run-length pairs, a line holds perLine / 2 pairs.
    unsigned perLine = 8;
    // A line also ends where a picture row ends, so no line holds pixels of two rows.
    bool rowLines = false;
    // Codes as pairs "count , code": a run of 1 to 255 equal codes. A run continues across row
    // ends unless rowLines is set; a pair is never split across lines.
    bool runLength = false;
    // The first Data line holds the picture's width and height.
    bool sizeLine = false;

    static constexpr unsigned maxPerLine = 64;
    static constexpr std::size_t maxLabelLength = 32;
    static constexpr unsigned maxRun = 255;

    friend bool operator==(const TableFormat &, const TableFormat &) = default;
};

// An ASCII letter, then ASCII letters, digits or "_", at most 32 characters.
bool isValidLabel(std::string_view label);

// A label made from a file name without its folder and extension: every character that a label
// cannot hold becomes "_" (a UTF-8 sequence counts as one character), a name that does not start
// with a letter gets "P" in front, and the result is cut to the longest label.
std::string labelFromName(std::string_view name);

// Gives out labels that differ from every label given out before: a label already taken gets
// "_2", "_3", ... (cut so that it stays a valid label). BASIC compares labels regardless of
// case, so "Cat" and "cat" count as the same.
class LabelRegistry
{
public:
    std::string claim(const std::string &label);

private:
    bool taken(std::string_view label) const;
    std::vector<std::string> m_taken; // lower case
};

// Items on a Data line: numbers, or run-length pairs (at least one).
inline unsigned itemsPerLine(const TableFormat &format)
{
    return std::max(1u, format.runLength ? format.perLine / 2 : format.perLine);
}

// The most characters a Data line of the format can hold, the size line apart.
std::size_t longestDataLine(const TableFormat &format);

// The length of the table of a picture of columns x rows in the format: exact for binary and
// hexadecimal codes, an upper bound for decimal codes and run-length pairs. For outputs that
// reserve room ahead.
std::size_t tableLength(const TableFormat &format, std::size_t columns, std::size_t rows);

} // namespace quenzil
