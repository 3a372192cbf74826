#include "tabledialect.h"

#include <algorithm>
#include <charconv>
#include <stdexcept>

namespace quenzil {

namespace {

// The digits of a value in `base`, upper case, at least `width` of them.
std::string digits(std::uint64_t value, unsigned base, std::size_t width)
{
    std::array<char, 64> buffer{};
    const auto result =
        std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, int(base));
    std::string text(buffer.data(), result.ptr);
    for (char &c : text)
        c = c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
    if (text.size() < width)
        text.insert(0, width - text.size(), '0');
    return text;
}

char upperCase(char c)
{
    return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
}

// The texts of one known dialect, made on first use.
template <const TableDialect &Dialect> const NumberTexts &textsOf(Radix radix)
{
    static const NumberTexts binary(Dialect, Radix::binary);
    static const NumberTexts hexadecimal(Dialect, Radix::hexadecimal);
    static const NumberTexts decimal(Dialect, Radix::decimal);
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

} // namespace

std::string TableDialect::header(std::string_view label, std::uint32_t lineStart) const
{
    std::string header;
    if (lineNumbers)
        header = std::to_string(lineStart == 0 ? 0 : lineStart - 1) + " ";
    header += labelStart;
    header += label;
    header += labelEnd;
    header += lineBreak;
    return header;
}

std::string TableDialect::number(std::uint64_t value, Radix radix) const
{
    const Numbers &writing = numbers(radix);
    return std::string(writing.prefix) + digits(value, writing.base, 1);
}

std::string TableDialect::code(std::uint8_t code, Radix radix) const
{
    const Numbers &writing = numbers(radix);
    return std::string(writing.prefix) + digits(code, writing.base, writing.codeWidth);
}

std::string TableDialect::sizeLine(std::uint64_t columns, std::uint64_t rows, Radix radix) const
{
    std::string line(lineOpener);
    line += number(columns, radix);
    line += separator;
    line += number(rows, radix);
    return line;
}

bool TableDialect::isKeyword(std::string_view label) const
{
    return std::any_of(keywords.begin(), keywords.end(), [label](std::string_view keyword) {
        return keyword.size() == label.size() &&
               std::equal(keyword.begin(), keyword.end(), label.begin(),
                          [](char a, char b) { return a == upperCase(b); });
    });
}

NumberTexts::NumberTexts(const TableDialect &dialect, Radix radix)
{
    for (unsigned value = 0; value < 256; ++value) {
        m_codes[value] = laterText(dialect, dialect.code(std::uint8_t(value), radix));
        m_counts[value] = laterText(dialect, dialect.number(value, radix));
        m_longestCode = std::max<std::size_t>(m_longestCode, m_codes[value].length);
        m_longestCount = std::max<std::size_t>(m_longestCount, m_counts[value].length);
    }
    const bool fixed = std::all_of(m_codes.begin(), m_codes.end(), [this](const Text &text) {
        return text.length == m_longestCode;
    });
    m_codeLength = fixed ? m_longestCode : 0;
}

NumberTexts::Text NumberTexts::laterText(const TableDialect &dialect, const std::string &number)
{
    const std::string later = std::string(dialect.separator) + number;
    Text text;
    if (later.size() > text.text.size())
        throw std::length_error("a number's text is longer than a dialect may make it");
    std::copy(later.begin(), later.end(), text.text.begin());
    text.length = std::uint8_t(later.size());
    return text;
}

const NumberTexts &NumberTexts::of(const TableDialect &dialect, Radix radix)
{
    const NumberTexts *texts = nullptr;
    withDialect(dialect, [&](auto tag) { texts = &textsOf<decltype(tag)::dialect>(radix); });
    return *texts;
}

} // namespace quenzil
