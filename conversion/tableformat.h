#pragma once

#include "tabledialect.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quenzil {

// The shape of a table. The default is the table the window writes:
//
//     Picture:
//     Data &B11100000 , &B00011100 , ... (eight numbers a line)
//
// Lines are separated by CR LF, with none after the last, and " , " separates two numbers of a
// line: the pieces of the dialect (tabledialect.h).
struct TableFormat
{
    // The header line: "LABEL:", or a REM line in the classic dialect. A BASIC label: see
    // isValidLabel().
    std::string label = "Picture";
    // Whose BASICs read the table; one of KnownDialects.
    const TableDialect *dialect = &mmbasicDialect;
    Radix radix = Radix::binary;
    // Numbers on a Data line (1 to 64). With run-length pairs, a line holds perLine / 2 pairs.
    unsigned perLine = 8;
    // The most characters a data line may have; a line then holds fewer numbers than perLine
    // where more would not fit (see itemsPerLine()). 0 for no limit.
    unsigned maxLine = 0;
    // A line also ends where a picture row ends, so no line holds pixels of two rows.
    bool rowLines = false;
    // Codes as pairs "count , code": a run of 1 to 255 equal codes. A run continues across row
    // ends unless rowLines is set; a pair is never split across lines.
    bool runLength = false;
    // The first Data line holds the picture's width and height.
    bool sizeLine = false;
    // In a dialect that numbers its lines: the first data line's number (1 to the dialect's last
    // line number) and the step from one line to the next.
    unsigned lineStart = defaultLineStart;
    unsigned lineStep = defaultLineStep;

    static constexpr unsigned defaultLineStart = 1000;
    static constexpr unsigned defaultLineStep = 10;
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

// Items on a Data line: numbers, or run-length pairs; as many as perLine asks for, fewer where
// maxLine asks for shorter lines, and at least one.
unsigned itemsPerLine(const TableFormat &format);

// The most characters a Data line of `items` items can hold in the format, its line number
// included (taken as wide as the dialect's last line number), the size line apart.
std::size_t dataLineLength(const TableFormat &format, unsigned items);

// The most characters a Data line of the format can hold, the size line apart.
std::size_t longestDataLine(const TableFormat &format);

// Why the table of a picture of columns x rows cannot be written in the format, though the
// format itself is sound: its last line number would pass the dialect's last, or its size line
// would be longer than maxLine. Empty where it can.
std::string tableSizeError(const TableFormat &format, std::uint64_t columns, std::uint64_t rows);

// The length of the table of a picture of columns x rows in the format: exact for binary and
// hexadecimal codes, an upper bound for decimal codes and run-length pairs. For outputs that
// reserve room ahead.
std::size_t tableLength(const TableFormat &format, std::size_t columns, std::size_t rows);

} // namespace quenzil
