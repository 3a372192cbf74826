#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

namespace quenzil {

// How the numbers of a table are written. A code always has its full width ("&B" and eight
// binary digits, "&H" and two upper-case hexadecimal digits, or plain decimal); any other number
// (width, height, run length) has as many digits as it needs.
enum class Radix { binary, hexadecimal, decimal };

// Every text piece of a table in one family of BASICs, in one value: the builder, the length of
// a table, the longest line and the reader of tables all take them from the dialect a table
// format names, so a table for another BASIC is another value below (and its entry in
// KnownDialects).
//
// A table is the header line (the label between labelStart and labelEnd), then data lines. A
// data line is the line opener and its numbers, the separator between two of them. Lines are
// joined by lineBreak, with none after the last. Where the dialect numbers its lines, every line
// starts with its number and a space.
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

    // The BASICs the dialect is for, as messages name them: "MMBasic".
    std::string_view basics;
    std::string_view labelStart;
    std::string_view labelEnd;
    std::string_view lineOpener;
    std::string_view separator;
    std::string_view lineBreak;
    Numbers binary;
    Numbers hexadecimal;
    Numbers decimal;
    // Whether its BASICs read binary numbers at all; the settings refuse a binary table where
    // they do not, and the reader of tables takes none.
    bool readsBinary;
    // Whether every line starts with a line number, up to lastLineNumber. The data lines are
    // numbered from the format's lineStart in steps of its lineStep, and the header line takes
    // the number just below lineStart, so that a RESTORE of lineStart finds the first data line
    // in every BASIC of the family (bwbasic refuses to RESTORE a line that holds no DATA).
    bool lineNumbers;
    std::uint32_t lastLineNumber;
    // Words a label had better not be, upper case: a line "Sprite:" reads as the SPRITE command.
    std::span<const std::string_view> keywords;

    constexpr const Numbers &numbers(Radix radix) const
    {
        return radix == Radix::binary        ? binary
               : radix == Radix::hexadecimal ? hexadecimal
                                             : decimal;
    }
    // The header line with its line break: "Picture:\r\n", or "999 REM Picture\r\n" for a table
    // whose first data line is number 1000.
    std::string header(std::string_view label, std::uint32_t lineStart) const;
    // A number that is not a code: "&B101000000", "&H140" or "320".
    std::string number(std::uint64_t value, Radix radix) const;
    // A code at its full width: "&B00001110", "&H0E" or "14".
    std::string code(std::uint8_t code, Radix radix) const;
    // The size line after its line number, without a line break: "Data &H140 , &HA0".
    std::string sizeLine(std::uint64_t columns, std::uint64_t rows, Radix radix) const;
    // Whether a label is one of the keywords, regardless of case.
    bool isKeyword(std::string_view label) const;
};

// MMBasic's commands and statements, among them those of its graphics: a label line that is one
// of them ("Box:") reads as that command. FreeBASIC and QB64 share most of the statements.
inline constexpr std::string_view mmbasicKeywords[] = {
    "ARC",     "AUTO",   "BLIT",   "BOX",       "CALL",    "CASE",    "CHDIR",    "CIRCLE",
    "CLEAR",   "CLOSE",  "CLS",    "COLOR",     "COLOUR",  "CONST",   "CONTINUE", "COPY",
    "CPU",     "DATA",   "DATE",   "DIM",       "DO",      "DRIVE",   "EDIT",     "ELSE",
    "ELSEIF",  "END",    "ENDIF",  "ERASE",     "ERROR",   "EXECUTE", "EXIT",     "FILES",
    "FLASH",   "FONT",   "FOR",    "FUNCTION",  "GOSUB",   "GOTO",    "GUI",      "IF",
    "IMAGE",   "INPUT",  "KILL",   "LET",       "LIBRARY", "LINE",    "LIST",     "LOAD",
    "LOCAL",   "LOOP",   "MATH",   "MEMORY",    "MKDIR",   "NEW",     "NEXT",     "ON",
    "OPEN",    "OPTION", "PAUSE",  "PIN",       "PIXEL",   "PLAY",    "POKE",     "POLYGON",
    "PORT",    "PRINT",  "PWM",    "RANDOMIZE", "RBOX",    "READ",    "REM",      "RENAME",
    "RESTORE", "RETURN", "RMDIR",  "RUN",       "SAVE",    "SELECT",  "SERVO",    "SETPIN",
    "SETTICK", "SORT",   "SPRITE", "STATIC",    "STOP",    "SUB",     "TEXT",     "TILE",
    "TIME",    "TIMER",  "TRACE",  "TRIANGLE",  "TROFF",   "TRON",    "UNTIL",    "WATCHDOG",
    "WEND",    "WHILE",  "XMODEM",
};

// The table BASIC reads: "Picture:", then "Data &B11100000 , &B00011100 , ..." lines, CR LF
// between lines. For MMBasic, FreeBASIC and QB64.
inline constexpr TableDialect mmbasicDialect{
    .basics = "MMBasic",
    .labelStart = "",
    .labelEnd = ":",
    .lineOpener = "Data ",
    .separator = " , ",
    .lineBreak = "\r\n",
    .binary = {"&B", 2, 8},
    .hexadecimal = {"&H", 16, 2},
    .decimal = {"", 10, 1},
    .readsBinary = true,
    .lineNumbers = false,
    .lastLineNumber = 0,
    .keywords = mmbasicKeywords,
};

// Line-numbered DATA for GW-BASIC, QBasic, bwbasic and the like: "999 REM Picture", then
// "1000 DATA 224,28,3,255"; no spaces between numbers, and no binary numbers, which these BASICs
// do not read. The label is a comment, so no word is kept from it.
inline constexpr TableDialect classicDialect{
    .basics = "GW-BASIC",
    .labelStart = "REM ",
    .labelEnd = "",
    .lineOpener = "DATA ",
    .separator = ",",
    .lineBreak = "\r\n",
    .binary = {"&B", 2, 8},
    .hexadecimal = {"&H", 16, 2},
    .decimal = {"", 10, 1},
    .readsBinary = false,
    .lineNumbers = true,
    .lastLineNumber = 65529,
    .keywords = {},
};

template <const TableDialect &...Dialects> struct DialectList
{
};

// Every dialect a table may be written in. The builder makes a pixel loop of its own for each,
// with the dialect's pieces as constants.
using KnownDialects = DialectList<mmbasicDialect, classicDialect>;

// Names one of the known dialects at compile time.
template <const TableDialect &Dialect> struct DialectTag
{
    static constexpr const TableDialect &dialect = Dialect;
};

// Calls `function` with the DialectTag of `dialect`, which must be one of KnownDialects
// (std::invalid_argument otherwise): the one place a dialect chosen at run time becomes a
// constant.
template <typename Function> void withDialect(const TableDialect &dialect, Function &&function)
{
    const bool known = [&]<const TableDialect &...Dialects>(DialectList<Dialects...>)
    {
        return ((&dialect == &Dialects ? (function(DialectTag<Dialects>{}), true) : false) || ...);
    }
    (KnownDialects{});
    if (!known)
        throw std::invalid_argument("a table dialect that is not one of the known ones");
}

// Calls `function` with the DialectTag of every known dialect, in the order of KnownDialects,
// until it returns true; returns whether it did.
template <typename Function> bool anyDialect(Function &&function)
{
    return [&]<const TableDialect &...Dialects>(DialectList<Dialects...>)
    {
        return (function(DialectTag<Dialects>{}) || ...);
    }
    (KnownDialects{});
}

// The texts of all 256 codes and run lengths in one dialect and radix, made once so that
// writing a number is a lookup. Each text is the number as a line's later number: separator,
// number (" , &HE0"); a line's first number leaves out the separator ("&HE0").
class NumberTexts
{
public:
    NumberTexts(const TableDialect &dialect, Radix radix);
    // The texts of a known dialect, made on first use.
    static const NumberTexts &of(const TableDialect &dialect, Radix radix);

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
