#include "numbertext.h"

#include <array>
#include <charconv>
#include <cmath>

namespace quenzil {

std::string numberText(double value)
{
    if (std::isnan(value))
        return "NaN";

    std::string text(1, std::signbit(value) && value != 0 ? '-' : ' ');
    const double magnitude = std::fabs(value);
    if (std::isinf(magnitude))
        return text + "Inf";

    // std::to_chars never consults the locale, so "." stays the decimal point under any of them.
    std::array<char, 64> buffer{};
    std::to_chars_result result{};
    if (magnitude == std::floor(magnitude) && magnitude < 1e15) {
        // Whole numbers below 10^15 are written out in full, never in exponent form.
        result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), magnitude,
                               std::chars_format::fixed, 0);
    } else {
        // Fifteen significant digits, the precision the labels have always shown.
        result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), magnitude,
                               std::chars_format::general, 15);
    }
    text.append(buffer.data(), result.ptr);
    return text;
}

std::string progressCaption(double count)
{
    return "Pixel: " + numberText(count);
}

} // namespace quenzil
