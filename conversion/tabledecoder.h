#pragma once

#include "tableformat.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quenzil {

// A table read back into the codes of its pixels.
struct DecodedTable
{
    // Empty when the table was read; else why not, with its place in the text:
    // "line 3, column 17: expected ' , ' or the end of the line, found 'x'".
    std::string error;
    std::uint64_t width = 0;
    std::uint64_t height = 0;
    // One code a pixel, rows from the top, each row from the left; runs expanded.
    std::vector<std::uint8_t> codes;
};

// Reads a table back from its text, which may come in pieces of any size (a file a chunk at a
// time). It takes every table the builder writes: any known dialect and radix, which the text
// shows (the first line tells the dialect, the first number the radix), with or without its
// header line, with any count of numbers a line, row lines or line lengths. What the text cannot
// show comes from the format the table was written in: whether its first Data line is the size
// line, and whether its numbers are run-length pairs. Lines may end in CR LF or LF; empty lines
// are passed over. The first place that does not fit ends the reading with an error naming the
// line and column and what was expected there.
class TableDecoder
{
public:
    // `width`: the picture's width for a table without a size line (with one, a width given
    // must be the size line's). `maxPixels`: the most pixels a picture may have; a table that
    // holds more is refused as soon as it passes them.
    TableDecoder(const TableFormat &format, std::uint64_t width, std::uint64_t maxPixels);

    // Reads the next piece of the text. False once the text cannot be read; later pieces are
    // not looked at.
    bool read(std::string_view piece);
    // The text has ended: the table, or why it cannot be read.
    DecodedTable finish();

private:
    void readLine(std::string_view line);
    bool readHeader(std::string_view line, std::size_t at);
    void readNumbers(std::string_view line, std::size_t at);
    bool take(std::uint64_t value, std::string_view line, std::size_t at);
    bool startTable(std::string_view line);
    void fail(std::size_t column, const std::string &what);
    void failAtEnd(const std::string &what);

    const bool m_sizeLine;
    const bool m_runLength;
    const std::uint64_t m_maxPixels;
    DecodedTable m_table;
    const TableDialect *m_dialect = nullptr; // known from the first line on
    std::optional<Radix> m_radix;            // known from the first number on
    bool m_sizePending;                      // the size line is the next Data line
    bool m_headerAllowed = true;             // only the first line may be the header
    unsigned m_pendingCount = 0;             // a run length waiting for its code
    std::uint64_t m_expected = 0;            // the pixels the size line tells of
    std::string m_carry;                     // a line not ended yet
    std::uint64_t m_line = 1;                // the line being read, from 1
    std::uint64_t m_lastLine = 1;            // the last line that held text, and its length
    std::uint64_t m_lastLength = 0;
};

// Reads a whole text at once (see TableDecoder).
DecodedTable decodeTable(std::string_view text, const TableFormat &format, std::uint64_t width,
                         std::uint64_t maxPixels);

} // namespace quenzil
