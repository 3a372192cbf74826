#include "tableformat.h"

#include <algorithm>
#include <charconv>

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

std::string_view prefix(Radix radix)
{
    switch (radix) {
    case Radix::binary:
        return "&B";
    case Radix::hexadecimal:
        return "&H";
    case Radix::decimal:
        break;
    }
    return "";
}

int base(Radix radix)
{
    switch (radix) {
    case Radix::binary:
        return 2;
    case Radix::hexadecimal:
        return 16;
    case Radix::decimal:
        break;
    }
    return 10;
}

// The digits of a value in the radix, upper case, at least `width` of them.
std::string digits(std::uint64_t value, Radix radix, std::size_t width)
{
    std::array<char, 64> buffer{};
    const auto result =
        std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, base(radix));
    std::string text(buffer.data(), result.ptr);
    for (char &c : text)
        c = c >= 'a' && c <= 'f' ? char(c - 'a' + 'A') : c;
    if (text.size() < width)
        text.insert(0, width - text.size(), '0');
    return text;
}

} // namespace

bool isValidLabel(std::string_view label)
{
    return !label.empty() && label.size() <= TableFormat::maxLabelLength &&
           isAsciiLetter(label.front()) &&
           std::all_of(label.begin(), label.end(), [](char c) { return isLabelCharacter(c); });
}

std::string formatError(const TableFormat &format)
{
    if (!isValidLabel(format.label))
        return "the label '" + format.label +
               "' is not a BASIC label (a letter, then letters, digits or '_', at most 32)";
    if (format.perLine < 1 || format.perLine > TableFormat::maxPerLine)
        return "the numbers per line must be 1 to 64, not " + std::to_string(format.perLine);
    if (format.runLength && format.perLine % 2 != 0)
        return "run-length pairs need an even number of numbers per line, not " +
               std::to_string(format.perLine);
    return {};
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
    const RadixEntries &entries = RadixEntries::of(format.radix);
    const std::size_t items = std::max(1u, format.runLength ? format.perLine / 2 : format.perLine);
    const std::size_t item =
        entries.longestCode() + (format.runLength ? entries.longestCount() : 0);
    return std::string_view("Data").size() + items * item - RadixEntries::separatorLength;
}

std::string numberLiteral(std::uint64_t value, Radix radix)
{
    return std::string(prefix(radix)) + digits(value, radix, 1);
}

void RadixEntries::Entry::set(std::string_view number)
{
    std::string entry = " ";
    entry += number;
    entry += " ,";
    std::copy(entry.begin(), entry.end(), text.begin());
    length = std::uint8_t(entry.size());
}

RadixEntries::RadixEntries(Radix radix)
{
    const std::size_t codeWidth = radix == Radix::binary ? 8 : radix == Radix::hexadecimal ? 2 : 1;
    for (unsigned value = 0; value < 256; ++value) {
        m_codes[value].set(std::string(prefix(radix)) + digits(value, radix, codeWidth));
        m_counts[value].set(numberLiteral(value, radix));
        m_longestCode = std::max<std::size_t>(m_longestCode, m_codes[value].length);
        m_longestCount = std::max<std::size_t>(m_longestCount, m_counts[value].length);
    }
    const bool fixed = std::all_of(m_codes.begin(), m_codes.end(), [this](const Entry &entry) {
        return entry.length == m_longestCode;
    });
    m_codeLength = fixed ? m_longestCode : 0;
}

const RadixEntries &RadixEntries::of(Radix radix)
{
    static const RadixEntries binary(Radix::binary);
    static const RadixEntries hexadecimal(Radix::hexadecimal);
    static const RadixEntries decimal(Radix::decimal);
    switch (radix) {
    case Radix::binary:
        return binary;
    case Radix::hexadecimal:
        return hexadecimal;
    case Radix::decimal:
        break;
    }
    return decimal;
}

} // namespace quenzil
