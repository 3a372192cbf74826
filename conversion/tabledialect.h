#pragma once

#include "tableformat.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quenzil {

// Every text piece of a table, in one place: the builder, the length of a table and the longest
// line all read them from basicDialect below, so the table's text changes there alone, and the
// table of another BASIC would be a second value of this type.
//
// A table is the header line (the label and labelEnd), then data lines. A data line is the
// line opener and its numbers, each number preceded by numberLead and, after the first, by the
// separator. Lines are joined by lineBreak, with none after the last.
struct TableDialect
{
    // How the numbers of one radix are written: the prefix, then the digits in `base` (upper
    // case). A code has codeWidth digits, with leading zeros; any other number (a width, a
    // height, a run length) as many as it needs.
    struct Numbers
    {
        std::string_view prefix;
        unsigned base;
        std::size_t codeWidth;
    };

    std::string_view labelEnd;
    std::string_view lineOpener;
    std::string_view numberLead;
    std::string_view separator;
    std::string_view lineBreak;
    Numbers binary;
    Numbers hexadecimal;
    Numbers decimal;

    constexpr const Numbers &numbers(Radix radix) const
    {
        return radix == Radix::binary        ? binary
               : radix == Radix::hexadecimal ? hexadecimal
                                             : decimal;
    }
    // The header line with its line break: "Picture:\r\n".
    std::string header(std::string_view label) const;
    // A number that is not a code: "&B101000000", "&H140" or "320".
    std::string number(std::uint64_t value, Radix radix) const;
    // A code at its full width: "&B00001110", "&H0E" or "14".
    std::string code(std::uint8_t code, Radix radix) const;
    // The size line, without a line break: "Data &H140 , &HA0".
    std::string sizeLine(std::uint64_t columns, std::uint64_t rows, Radix radix) const;
};

// The table BASIC reads: "Picture:", then "Data &B11100000 , &B00011100 , ..." lines, CR LF
// between lines.
inline constexpr TableDialect basicDialect{":",    "Data",       " ",           " ,",
                                           "\r\n", {"&B", 2, 8}, {"&H", 16, 2}, {"", 10, 1}};

// The texts of all 256 codes and run lengths in one dialect and radix, made once so that
// writing a number is a lookup. Each text is the number as a line's later number: separator,
// lead, number (" , &HE0"); a line's first number leaves out the separator (" &HE0").
class NumberTexts
{
public:
    NumberTexts(const TableDialect &dialect, Radix radix);
    // The texts of the basic dialect, made on first use.
    static const NumberTexts &of(Radix radix);

    // " , &HE0" for 0xE0.
    std::string_view code(std::uint8_t code) const { return m_codes[code].view(); }
    // The first character of a code's text, for callers that know the texts' length.
    const char *codeText(std::uint8_t code) const { return m_codes[code].text.data(); }
    // The text of a run length, 1 to 255: " , &H1F".
    std::string_view count(std::uint8_t count) const { return m_counts[count].view(); }
    // The length of every code's text, or 0 when they differ (decimal).
    std::size_t codeLength() const { return m_codeLength; }
    std::size_t longestCode() const { return m_longestCode; }
    std::size_t longestCount() const { return m_longestCount; }

private:
    // Sixteen bytes, so that no text straddles two cache lines.
    struct alignas(16) Text
    {
        std::array<char, 15> text{};
        std::uint8_t length = 0;
        std::string_view view() const { return {text.data(), length}; }
    };
    static Text laterText(const TableDialect &dialect, const std::string &number);

    std::array<Text, 256> m_codes;
    std::array<Text, 256> m_counts;
    std::size_t m_codeLength = 0;
    std::size_t m_longestCode = 0;
    std::size_t m_longestCount = 0;
};

} // namespace quenzil
