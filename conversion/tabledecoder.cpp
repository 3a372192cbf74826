#include "tabledecoder.h"

#include <algorithm>
#include <array>

namespace quenzil {

namespace {

// No line the builder writes comes near this; a longer one is not held in memory.
constexpr std::size_t longestLine = std::size_t(1) << 20;

// Beyond any number a table holds, so that adding digits cannot overflow.
constexpr std::uint64_t tooLarge = std::uint64_t(1) << 40;

// The value of a digit character in any base up to 16 (either case), or 99.
constexpr std::array<std::uint8_t, 256> digitValues = [] {
    std::array<std::uint8_t, 256> values{};
    values.fill(99);
    for (int c = '0'; c <= '9'; ++c)
        values[std::size_t(c)] = std::uint8_t(c - '0');
    for (int c = 'A'; c <= 'F'; ++c) {
        values[std::size_t(c)] = std::uint8_t(c - 'A' + 10);
        values[std::size_t(c - 'A' + 'a')] = std::uint8_t(c - 'A' + 10);
    }
    return values;
}();

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

std::string text(std::uint64_t number)
{
    return std::to_string(number);
}

// What stands at `at`, quoted for a message: the word there (up to a space or a comma, at most
// 16 characters), bytes outside printable ASCII as \xHH; "the end of the line" where nothing is.
std::string found(std::string_view line, std::size_t at)
{
    if (at >= line.size())
        return "the end of the line";
    std::size_t end = at + 1;
    while (end < line.size() && end - at < 16 && line[end] != ' ' && line[end] != ',')
        ++end;
    static const char hex[] = "0123456789ABCDEF";
    std::string quoted = "'";
    for (const char c : line.substr(at, end - at)) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F)
            quoted += c;
        else
            quoted += {'\\', 'x', hex[byte >> 4], hex[byte & 0xFu]};
    }
    return quoted + "'";
}

std::string quoted(std::string_view piece)
{
    return "'" + std::string(piece) + "'";
}

// How a number of a radix looks, for a message: "'&H' and hexadecimal digits".
std::string numberWords(const TableDialect &dialect, Radix radix)
{
    const std::string_view prefix = dialect.numbers(radix).prefix;
    const char *digits = radix == Radix::binary        ? "binary digits"
                         : radix == Radix::hexadecimal ? "hexadecimal digits"
                                                       : "decimal digits";
    return prefix.empty() ? std::string(digits) : quoted(prefix) + " and " + digits;
}

// After the line number, if the dialect has them: where the line's text starts, or npos.
std::size_t textStart(const TableDialect &dialect, std::string_view line)
{
    if (!dialect.lineNumbers)
        return 0;
    std::size_t at = 0;
    while (at < line.size() && isDigit(line[at]))
        ++at;
    return at > 0 && at < line.size() && line[at] == ' ' ? at + 1 : std::string_view::npos;
}

// Whether `piece` stands at p (before end). A piece is a few characters: compared one by one,
// which costs less than a call for each of the millions of numbers a table holds.
bool standsAt(const char *p, const char *end, std::string_view piece)
{
    if (std::size_t(end - p) < piece.size())
        return false;
    for (const char c : piece) {
        if (*p++ != c)
            return false;
    }
    return true;
}

bool isHeader(const TableDialect &dialect, std::string_view text)
{
    return text.starts_with(dialect.labelStart) && text.ends_with(dialect.labelEnd) &&
           text.size() >= dialect.labelStart.size() + dialect.labelEnd.size();
}

} // namespace

TableDecoder::TableDecoder(const TableFormat &format, std::uint64_t width, std::uint64_t maxPixels)
    : m_sizeLine(format.sizeLine), m_runLength(format.runLength), m_maxPixels(maxPixels),
      m_sizePending(format.sizeLine)
{
    m_table.width = width;
}

bool TableDecoder::read(std::string_view piece)
{
    while (m_table.error.empty() && !piece.empty()) {
        const std::size_t end = piece.find('\n');
        if (end == std::string_view::npos) {
            if (m_carry.size() + piece.size() > longestLine) {
                fail(longestLine + 1, "expected the end of the line; no table has lines longer "
                                      "than " +
                                          text(longestLine) + " characters");
                break;
            }
            m_carry.append(piece);
            break;
        }
        if (m_carry.empty()) {
            readLine(piece.substr(0, end));
        } else {
            m_carry.append(piece.substr(0, end));
            readLine(m_carry);
            m_carry.clear();
        }
        piece.remove_prefix(end + 1);
        ++m_line;
    }
    return m_table.error.empty();
}

DecodedTable TableDecoder::finish()
{
    if (m_table.error.empty() && !m_carry.empty()) {
        readLine(m_carry);
        m_carry.clear();
    }
    if (!m_table.error.empty()) {
    } else if (!m_dialect) {
        failAtEnd("expected a table, found no text");
    } else if (m_sizePending) {
        failAtEnd("expected the size line: a Data line of the picture's width and height");
    } else if (m_pendingCount != 0) {
        failAtEnd("expected the code after the run length " + text(m_pendingCount));
    } else if (m_table.codes.empty()) {
        failAtEnd("the table holds no pixels");
    } else if (m_sizeLine && m_table.codes.size() != m_expected) {
        failAtEnd("the table ends after " + text(m_table.codes.size()) + " of the size line's " +
                  text(m_table.width) + " x " + text(m_table.height) + " pixels");
    } else if (m_table.width == 0) {
        failAtEnd("the table has no size line, and no width was given");
    } else if (m_table.codes.size() % m_table.width != 0) {
        failAtEnd("the table ends after " + text(m_table.codes.size()) +
                  " pixels, not whole rows of " + text(m_table.width));
    } else {
        m_table.height = m_table.codes.size() / m_table.width;
    }
    if (!m_table.error.empty()) {
        m_table.codes.clear();
        m_table.width = 0;
        m_table.height = 0;
    }
    return std::move(m_table);
}

void TableDecoder::fail(std::size_t column, const std::string &what)
{
    if (m_table.error.empty())
        m_table.error = "line " + text(m_line) + ", column " + text(column) + ": " + what;
}

void TableDecoder::failAtEnd(const std::string &what)
{
    m_line = m_lastLine;
    fail(m_lastLength + 1, what);
}

void TableDecoder::readLine(std::string_view line)
{
    if (line.ends_with('\r'))
        line.remove_suffix(1);
    if (line.empty())
        return;
    m_lastLine = m_line;
    m_lastLength = line.size();
    if (!m_dialect && !startTable(line))
        return;
    const TableDialect &dialect = *m_dialect;
    const std::size_t start = textStart(dialect, line);
    if (start == std::string_view::npos) {
        std::size_t at = 0;
        while (at < line.size() && isDigit(line[at]))
            ++at;
        return fail(at + 1, at == 0
                                ? "expected a line number, found " + found(line, 0)
                                : "expected ' ' after the line number, found " + found(line, at));
    }
    if (m_headerAllowed && readHeader(line, start))
        return;
    m_headerAllowed = false;
    if (!line.substr(start).starts_with(dialect.lineOpener))
        return fail(start + 1,
                    "expected " + quoted(dialect.lineOpener) + ", found " + found(line, start));
    readNumbers(line, start + dialect.lineOpener.size());
}

bool TableDecoder::startTable(std::string_view line)
{
    anyDialect([&](auto tag) {
        const TableDialect &dialect = decltype(tag)::dialect;
        const std::size_t start = textStart(dialect, line);
        if (start == std::string_view::npos)
            return false;
        const std::string_view rest = line.substr(start);
        if (!rest.starts_with(dialect.lineOpener) && !isHeader(dialect, rest))
            return false;
        m_dialect = &dialect;
        return true;
    });
    if (m_dialect)
        return true;
    std::string expected;
    anyDialect([&](auto tag) {
        const TableDialect &dialect = decltype(tag)::dialect;
        expected +=
            std::string(expected.empty() ? "" : ", or ") +
            (dialect.lineNumbers ? "a line number, then " : "") +
            quoted(std::string(dialect.labelStart) + "LABEL" + std::string(dialect.labelEnd)) +
            " or " + quoted(dialect.lineOpener) + " (" + std::string(dialect.basics) + ")";
        return false;
    });
    fail(1, "expected the first line of a table: " + expected + ", found " + found(line, 0));
    return false;
}

bool TableDecoder::readHeader(std::string_view line, std::size_t at)
{
    const TableDialect &dialect = *m_dialect;
    const std::string_view rest = line.substr(at);
    if (rest.starts_with(dialect.lineOpener) || !isHeader(dialect, rest))
        return false;
    m_headerAllowed = false;
    // The label of a dialect with a colon is a BASIC label; after REM anything is a comment.
    if (!dialect.labelEnd.empty()) {
        const std::string_view label =
            rest.substr(dialect.labelStart.size(),
                        rest.size() - dialect.labelStart.size() - dialect.labelEnd.size());
        if (!isValidLabel(label))
            fail(at + dialect.labelStart.size() + 1,
                 "expected a label (a letter, then letters, digits or _, at most " +
                     text(TableFormat::maxLabelLength) + "), found " +
                     quoted(std::string(label).substr(0, 40)));
    }
    return true;
}

void TableDecoder::readNumbers(std::string_view line, std::size_t at)
{
    const TableDialect &dialect = *m_dialect;
    if (!m_radix) {
        const std::string_view rest = line.substr(at);
        if (rest.starts_with(dialect.hexadecimal.prefix))
            m_radix = Radix::hexadecimal;
        else if (dialect.readsBinary && rest.starts_with(dialect.binary.prefix))
            m_radix = Radix::binary;
        else if (!rest.empty() && isDigit(rest.front()))
            m_radix = Radix::decimal;
        else
            return fail(at + 1, "expected a number, found " + found(line, at));
    }
    const TableDialect::Numbers &numbers = dialect.numbers(*m_radix);
    const std::string_view prefix = numbers.prefix;
    const std::string_view separator = dialect.separator;
    const unsigned base = numbers.base;
    const bool sizeLine = m_sizePending;
    std::array<std::uint64_t, 2> size{};
    std::size_t count = 0;
    std::vector<std::uint8_t> &codes = m_table.codes;
    const std::uint64_t most = m_sizeLine ? m_expected : m_maxPixels;
    const char *const first = line.data();
    const char *const end = first + line.size();
    const char *p = first + at;
    for (;;) {
        const char *number = p;
        if (!standsAt(p, end, prefix))
            return fail(std::size_t(p - first) + 1, "expected " + numberWords(dialect, *m_radix) +
                                                        ", found " +
                                                        found(line, std::size_t(p - first)));
        p += prefix.size();
        const char *digits = p;
        std::uint64_t value = 0;
        for (unsigned digit; p != end && (digit = digitValues[std::uint8_t(*p)]) < base; ++p)
            value = std::min(value * base + digit, tooLarge);
        if (p == digits)
            return fail(std::size_t(p - first) + 1, "expected " + numberWords(dialect, *m_radix) +
                                                        ", found " +
                                                        found(line, std::size_t(number - first)));
        if (sizeLine) {
            if (count == 2)
                return fail(std::size_t(number - first) + 1,
                            "expected the end of the size line after the width and height, "
                            "found " +
                                found(line, std::size_t(number - first)));
            size[count] = value;
        } else if (!m_runLength && value <= 255 && codes.size() < most) {
            // The common case, without a call.
            codes.push_back(std::uint8_t(value));
        } else if (!take(value, line, std::size_t(number - first))) {
            return;
        }
        ++count;
        if (p == end)
            break;
        if (!standsAt(p, end, separator))
            return fail(std::size_t(p - first) + 1, "expected " + quoted(separator) +
                                                        " or the end of the line, found " +
                                                        found(line, std::size_t(p - first)));
        p += separator.size();
    }
    if (!sizeLine)
        return;
    if (count < 2)
        return fail(line.size() + 1,
                    "expected " + quoted(separator) + " and the picture's height on the size line");
    m_sizePending = false;
    if (size[0] == 0 || size[1] == 0 || size[0] > m_maxPixels || size[1] > m_maxPixels ||
        size[0] * size[1] > m_maxPixels)
        return fail(at + 1, "expected a picture's size, found " + text(size[0]) + " x " +
                                text(size[1]) + " pixels (at least one, at most " +
                                text(m_maxPixels) + ")");
    if (m_table.width != 0 && m_table.width != size[0])
        return fail(at + 1, "the size line's width is " + text(size[0]) + ", not the " +
                                text(m_table.width) + " given");
    m_table.width = size[0];
    m_table.height = size[1];
    m_expected = size[0] * size[1];
    m_table.codes.reserve(m_expected);
}

bool TableDecoder::take(std::uint64_t value, std::string_view line, std::size_t at)
{
    std::vector<std::uint8_t> &codes = m_table.codes;
    if (m_runLength && m_pendingCount == 0) {
        if (value < 1 || value > TableFormat::maxRun) {
            fail(at + 1, "expected a run length from 1 to " + text(TableFormat::maxRun) +
                             ", found " + found(line, at));
            return false;
        }
        m_pendingCount = unsigned(value);
        return true;
    }
    if (value > 255) {
        fail(at + 1, "expected a code from 0 to 255, found " + found(line, at));
        return false;
    }
    const std::size_t count = m_runLength ? m_pendingCount : 1;
    m_pendingCount = 0;
    const std::uint64_t most = m_sizeLine ? m_expected : m_maxPixels;
    if (codes.size() + count > most) {
        fail(at + 1, m_sizeLine ? "expected the end of the table after the size line's " +
                                      text(m_table.width) + " x " + text(m_table.height) +
                                      " pixels, found " + found(line, at)
                                : "the table holds more than " + text(m_maxPixels) +
                                      " pixels, the most a picture may have");
        return false;
    }
    if (count == 1)
        codes.push_back(std::uint8_t(value));
    else
        codes.insert(codes.end(), count, std::uint8_t(value));
    return true;
}

DecodedTable decodeTable(std::string_view text, const TableFormat &format, std::uint64_t width,
                         std::uint64_t maxPixels)
{
    TableDecoder decoder(format, width, maxPixels);
    decoder.read(text);
    return decoder.finish();
}

} // namespace quenzil
