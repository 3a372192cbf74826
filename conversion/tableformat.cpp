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

std::size_t longestDataLine(const TableFormat &format)
{
    const NumberTexts &texts = NumberTexts::of(format.radix);
    const std::size_t item = texts.longestCode() + (format.runLength ? texts.longestCount() : 0);
    // The first number has no separator in front.
    return basicDialect.lineOpener.size() + itemsPerLine(format) * item -
           basicDialect.separator.size();
}

std::size_t tableLength(const TableFormat &format, std::size_t columns, std::size_t rows)
{
    const NumberTexts &texts = NumberTexts::of(format.radix);
    const TableDialect &dialect = basicDialect;
    std::size_t length = dialect.header(format.label).size();
    if (format.sizeLine)
        length += dialect.sizeLine(columns, rows, format.radix).size();
    const std::size_t pixels = columns * rows;
    if (pixels == 0)
        return length;

    // Every pixel a pair is the most a run-length table can hold; the fewer pairs, the fewer
    // lines, and a line costs more than the separator it saves.
    const std::size_t perLine = itemsPerLine(format);
    const std::size_t item =
        format.runLength ? texts.longestCount() + texts.longestCode() : texts.longestCode();
    const auto linesOf = [perLine](std::size_t items) { return (items + perLine - 1) / perLine; };
    const std::size_t lines = format.rowLines ? rows * linesOf(columns) : linesOf(pixels);
    // Each line: a break before it (unless it is the table's first line), the opener, and its
    // items, the first without a separator.
    length += lines * (dialect.lineBreak.size() + dialect.lineOpener.size()) + pixels * item -
              lines * dialect.separator.size();
    if (!format.sizeLine)
        length -= dialect.lineBreak.size();
    return length;
}

} // namespace quenzil
