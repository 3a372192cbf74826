#include "tableformat.h"

#include "tabledialect.h"

#include <algorithm>

namespace quenzil {

namespace {

bool isAsciiLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool isLabelCharacter(char c)
{
    return isAsciiLetter(c) || (c >= '0' && c <= '9') || c == '_';
}

char lowerCase(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

std::string lowerCase(std::string_view text)
{
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) { return lowerCase(c); });
    return lower;
}

} // namespace

bool isValidLabel(std::string_view label)
{
    return !label.empty() && label.size() <= TableFormat::maxLabelLength &&
           isAsciiLetter(label.front()) &&
           std::all_of(label.begin(), label.end(), [](char c) { return isLabelCharacter(c); });
}

std::string labelFromName(std::string_view name)
{
    std::string label;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const auto byte = static_cast<unsigned char>(name[i]);
        // The bytes that continue a UTF-8 sequence belong to the "_" of its first byte.
        if (byte >= 0x80 && byte < 0xC0 && i > 0 && static_cast<unsigned char>(name[i - 1]) >= 0x80)
            continue;
        label += isLabelCharacter(name[i]) ? name[i] : '_';
    }
    if (label.empty() || !isAsciiLetter(label.front()))
        label.insert(0, 1, 'P');
    label.resize(std::min(label.size(), TableFormat::maxLabelLength));
    return label;
}

bool LabelRegistry::taken(std::string_view label) const
{
    const std::string lower = lowerCase(label);
    return std::find(m_taken.begin(), m_taken.end(), lower) != m_taken.end();
}

std::string LabelRegistry::claim(const std::string &label)
{
    std::string claimed = label;
    for (unsigned number = 2; taken(claimed); ++number) {
        const std::string suffix = "_" + std::to_string(number);
        const std::size_t room = TableFormat::maxLabelLength - suffix.size();
        claimed = label.substr(0, std::min(label.size(), room)) + suffix;
    }
    m_taken.push_back(lowerCase(claimed));
    return claimed;
}

unsigned itemsPerLine(const TableFormat &format)
{
    const unsigned asked = std::max(1u, format.runLength ? format.perLine / 2 : format.perLine);
    if (format.maxLine == 0)
        return asked;
    for (unsigned items = asked; items > 1; --items) {
        if (dataLineLength(format, items) <= format.maxLine)
            return items;
    }
    return 1;
}

std::size_t dataLineLength(const TableFormat &format, unsigned items)
{
    const TableDialect &dialect = *format.dialect;
    const NumberTexts &texts = NumberTexts::of(dialect, format.radix);
    const std::size_t item = texts.longestCode() + (format.runLength ? texts.longestCount() : 0);
    const std::size_t lineNumber =
        dialect.lineNumbers ? std::to_string(dialect.lastLineNumber).size() + 1 : 0;
    // The first number has no separator in front.
    return lineNumber + dialect.lineOpener.size() + items * item - dialect.separator.size();
}

std::size_t longestDataLine(const TableFormat &format)
{
    return dataLineLength(format, itemsPerLine(format));
}

namespace {

// The Data lines of a table, the size line apart.
std::uint64_t dataLines(const TableFormat &format, std::uint64_t columns, std::uint64_t rows)
{
    const std::uint64_t perLine = itemsPerLine(format);
    const auto linesOf = [perLine](std::uint64_t items) { return (items + perLine - 1) / perLine; };
    // Every pixel a pair is the most a run-length table can hold.
    return format.rowLines ? rows * linesOf(columns) : linesOf(columns * rows);
}

// The characters of `count` line numbers from `first` in steps of `step`, each with its space.
std::uint64_t lineNumberCharacters(std::uint64_t first, std::uint64_t step, std::uint64_t count)
{
    if (count == 0)
        return 0;
    // Every number has a first digit and a space; each number at or above 10, 100, ... one digit
    // more.
    std::uint64_t characters = 2 * count;
    const std::uint64_t last = first + (count - 1) * step;
    for (std::uint64_t power = 10; power <= last; power *= 10) {
        const std::uint64_t below = power <= first ? 0 : (power - first + step - 1) / step;
        characters += count - std::min(count, below);
        if (power > last / 10)
            break;
    }
    return characters;
}

} // namespace

std::size_t tableLength(const TableFormat &format, std::size_t columns, std::size_t rows)
{
    const TableDialect &dialect = *format.dialect;
    const NumberTexts &texts = NumberTexts::of(dialect, format.radix);
    std::size_t length = dialect.header(format.label, format.lineStart).size();
    if (format.sizeLine)
        length += dialect.sizeLine(columns, rows, format.radix).size();
    const std::size_t pixels = columns * rows;
    const std::size_t lines = pixels == 0 ? 0 : dataLines(format, columns, rows);
    if (dialect.lineNumbers)
        length += lineNumberCharacters(format.lineStart, format.lineStep,
                                       lines + (format.sizeLine ? 1 : 0));
    if (pixels == 0)
        return length;

    // A line costs more than the separator it saves, so the most lines are the longest table.
    const std::size_t item =
        format.runLength ? texts.longestCount() + texts.longestCode() : texts.longestCode();
    // Each line: a break before it (unless it is the table's first line), the opener, and its
    // items, the first without a separator.
    length += lines * (dialect.lineBreak.size() + dialect.lineOpener.size()) + pixels * item -
              lines * dialect.separator.size();
    if (!format.sizeLine)
        length -= dialect.lineBreak.size();
    return length;
}

std::string tableSizeError(const TableFormat &format, std::uint64_t columns, std::uint64_t rows)
{
    const TableDialect &dialect = *format.dialect;
    const auto text = [](std::uint64_t number) { return std::to_string(number); };
    if (dialect.lineNumbers) {
        const std::uint64_t lines = (columns * rows == 0 ? 0 : dataLines(format, columns, rows)) +
                                    (format.sizeLine ? 1 : 0);
        const std::uint64_t last =
            format.lineStart + (lines == 0 ? 0 : lines - 1) * format.lineStep;
        if (last > dialect.lastLineNumber)
            return "the table of " + text(columns) + " x " + text(rows) + " pixels needs " +
                   text(lines) + " numbered lines; from " + text(format.lineStart) +
                   " in steps of " + text(format.lineStep) + " the last would be " + text(last) +
                   ", past " + text(dialect.lastLineNumber) + ", the last line number of " +
                   std::string(dialect.basics);
    }
    if (format.maxLine != 0 && format.sizeLine) {
        const std::size_t length = (dialect.lineNumbers ? text(format.lineStart).size() + 1 : 0) +
                                   dialect.sizeLine(columns, rows, format.radix).size();
        if (length > format.maxLine)
            return "the size line of " + text(columns) + " x " + text(rows) + " pixels has " +
                   text(length) + " characters, more than the " + text(format.maxLine) +
                   " a line may have";
    }
    return {};
}

} // namespace quenzil
