#pragma once

#include <array>
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
// Lines are separated by CR LF, with none after the last; every number is preceded by a space
// and followed by " ," except the last on its line.
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

// What is wrong with a format, in one line for a user ("the label 'x y' is not ..."), or empty
// when it is sound. A run-length table needs an even perLine so that pairs fill whole lines.
std::string formatError(const TableFormat &format);

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

// The most characters a Data line of the format can hold, the size line apart.
std::size_t longestDataLine(const TableFormat &format);

// A number that is not a code (a width, a height, a run length) in the radix: "&B101000000",
// "&H140" or "320".
std::string numberLiteral(std::uint64_t value, Radix radix);

// The ready-made entry texts of one radix: each number preceded by a space and followed by the
// separator " ,". Made once per radix, so that writing a number is a lookup.
class RadixEntries
{
public:
    static constexpr std::size_t separatorLength = 2;

    static const RadixEntries &of(Radix radix);

    // The entry of a code byte, e.g. " &HE0 ,".
    std::string_view code(std::uint8_t code) const { return m_codes[code].view(); }
    // The first character of a code's entry, for callers that know the entries' length.
    const char *codeText(std::uint8_t code) const { return m_codes[code].text.data(); }
    // The entry of a run length (1 to 255), e.g. " &H1F ,".
    std::string_view count(std::uint8_t count) const { return m_counts[count].view(); }
    // The longest code entry and the longest count entry.
    std::size_t longestCode() const { return m_longestCode; }
    std::size_t longestCount() const { return m_longestCount; }
    // The length of every code entry, or 0 when they differ (decimal).
    std::size_t codeLength() const { return m_codeLength; }

private:
    explicit RadixEntries(Radix radix);

    struct Entry
    {
        std::array<char, 15> text{};
        std::uint8_t length = 0;
        std::string_view view() const { return {text.data(), length}; }
        void set(std::string_view number);
    };

    std::array<Entry, 256> m_codes;
    std::array<Entry, 256> m_counts;
    std::size_t m_longestCode = 0;
    std::size_t m_longestCount = 0;
    std::size_t m_codeLength = 0;
};

} // namespace quenzil
