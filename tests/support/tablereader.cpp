#include "tablereader.h"

#include <optional>

namespace quenzil::testsupport {

namespace {

std::vector<std::string_view> split(std::string_view text, std::string_view separator)
{
    std::vector<std::string_view> parts;
    for (std::size_t at; (at = text.find(separator)) != std::string_view::npos;) {
        parts.push_back(text.substr(0, at));
        text.remove_prefix(at + separator.size());
    }
    parts.push_back(text);
    return parts;
}

struct Number
{
    char radix;
    std::uint64_t value;
    std::size_t digits;
};

std::optional<Number> parseNumber(std::string_view text)
{
    Number number{'D', 0, 0};
    unsigned base = 10;
    if (text.starts_with("&B")) {
        number.radix = 'B';
        base = 2;
        text.remove_prefix(2);
    } else if (text.starts_with("&H")) {
        number.radix = 'H';
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty() || text.size() > 40)
        return std::nullopt;
    for (char c : text) {
        unsigned digit = 99;
        if (c >= '0' && c <= '9')
            digit = unsigned(c - '0');
        else if (c >= 'A' && c <= 'F')
            digit = unsigned(c - 'A' + 10);
        if (digit >= base)
            return std::nullopt;
        number.value = number.value * base + digit;
    }
    number.digits = text.size();
    return number;
}

bool isLabel(std::string_view label)
{
    const auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
    if (label.empty() || label.size() > 32 || !letter(label[0]))
        return false;
    for (char c : label) {
        if (!letter(c) && !(c >= '0' && c <= '9') && c != '_')
            return false;
    }
    return true;
}

} // namespace

ReadTable readTable(std::string_view text, bool sizeLine, bool runLength, bool classic)
{
    ReadTable table;
    const auto fail = [&table](std::size_t line, const std::string &what) {
        if (table.error.empty())
            table.error = "line " + std::to_string(line + 1) + ": " + what;
        return table;
    };
    std::vector<std::string_view> lines = split(text, "\r\n");
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].find_first_of("\r\n") != std::string_view::npos)
            return fail(i, "a lone CR or LF");
        if (!classic)
            continue;
        // A line number: digits without a leading zero, then one space.
        const std::size_t space = lines[i].find(' ');
        const std::optional<Number> number =
            space == std::string_view::npos ? std::nullopt : parseNumber(lines[i].substr(0, space));
        if (!number || number->radix != 'D' || (space > 1 && lines[i][0] == '0'))
            return fail(i, "no line number: '" + std::string(lines[i]) + "'");
        table.lineNumbers.push_back(number->value);
        lines[i].remove_prefix(space + 1);
    }
    const std::string_view dataOpener = classic ? "DATA " : "Data ";
    const std::string_view separator = classic ? "," : " , ";
    if (classic) {
        if (!lines[0].starts_with("REM ") || !isLabel(lines[0].substr(4)))
            return fail(0, "not a REM line: '" + std::string(lines[0]) + "'");
        table.label = lines[0].substr(4);
    } else {
        if (!lines[0].ends_with(':') || !isLabel(lines[0].substr(0, lines[0].size() - 1)))
            return fail(0, "not a label line: '" + std::string(lines[0]) + "'");
        table.label = lines[0].substr(0, lines[0].size() - 1);
    }

    for (std::size_t i = 1; i < lines.size(); ++i) {
        std::string_view line = lines[i];
        if (!line.starts_with(dataOpener))
            return fail(i, "not a Data line: '" + std::string(line) + "'");
        line.remove_prefix(dataOpener.size());
        std::vector<Number> numbers;
        for (std::string_view piece : split(line, separator)) {
            const std::optional<Number> number = parseNumber(piece);
            if (!number)
                return fail(i, "not a number: '" + std::string(piece) + "'");
            if (table.radix == 0)
                table.radix = number->radix;
            if (number->radix != table.radix)
                return fail(i, "numbers of two radixes");
            if (classic && number->radix == 'B')
                return fail(i, "a binary number in a classic table");
            numbers.push_back(*number);
        }
        const auto isCode = [](const Number &number) {
            const std::size_t width = number.radix == 'B' ? 8 : number.radix == 'H' ? 2 : 0;
            return number.value <= 255 &&
                   (width ? number.digits == width
                          : number.digits == std::to_string(number.value).size());
        };
        const auto noLeadingZero = [](const Number &number, std::string_view piece) {
            const std::string_view digits = number.radix == 'D' ? piece : piece.substr(2);
            return digits.size() == 1 || digits[0] != '0';
        };
        const std::vector<std::string_view> pieces = split(line, separator);

        if (i == 1 && sizeLine) {
            if (numbers.size() != 2 || !noLeadingZero(numbers[0], pieces[0]) ||
                !noLeadingZero(numbers[1], pieces[1]))
                return fail(i, "not a size line");
            table.width = numbers[0].value;
            table.height = numbers[1].value;
            continue;
        }
        table.numbersPerLine.push_back(numbers.size());
        std::size_t pixels = 0;
        if (runLength) {
            if (numbers.size() % 2 != 0)
                return fail(i, "a pair split across lines");
            for (std::size_t n = 0; n < numbers.size(); n += 2) {
                if (numbers[n].value < 1 || numbers[n].value > 255 ||
                    !noLeadingZero(numbers[n], pieces[n]))
                    return fail(i, "not a run length: '" + std::string(pieces[n]) + "'");
                if (!isCode(numbers[n + 1]))
                    return fail(i, "not a code: '" + std::string(pieces[n + 1]) + "'");
                table.codes.insert(table.codes.end(), numbers[n].value,
                                   std::uint8_t(numbers[n + 1].value));
                pixels += numbers[n].value;
            }
        } else {
            for (std::size_t n = 0; n < numbers.size(); ++n) {
                if (!isCode(numbers[n]))
                    return fail(i, "not a code: '" + std::string(pieces[n]) + "'");
                table.codes.push_back(std::uint8_t(numbers[n].value));
            }
            pixels = numbers.size();
        }
        table.pixelsPerLine.push_back(pixels);
    }
    if (sizeLine && lines.size() < 2)
        return fail(1, "no size line");
    return table;
}

} // namespace quenzil::testsupport
