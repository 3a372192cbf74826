#include "numbertext.h"

#include <gtest/gtest.h>

#include <clocale>
#include <locale>
#include <string>

using quenzil::numberText;

namespace {

struct NumberCase
{
    double value;
    const char *text;
};
void PrintTo(const NumberCase &row, std::ostream *out)
{
    *out << row.text;
}

class NumberTextCases : public testing::TestWithParam<NumberCase>
{
};

TEST_P(NumberTextCases, writesTheNumber)
{
    EXPECT_EQ(numberText(GetParam().value), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Values, NumberTextCases,
                         testing::Values(NumberCase{0, " 0"}, NumberCase{-0.0, " 0"},
                                         NumberCase{77, " 77"}, NumberCase{-3, "-3"},
                                         // No digit grouping, no exponent for a big count.
                                         NumberCase{16777216, " 16777216"},
                                         NumberCase{123456789012345, " 123456789012345"},
                                         NumberCase{0.5, " 0.5"}, NumberCase{-2.25, "-2.25"},
                                         NumberCase{1.0 / 3, " 0.333333333333333"}));

// A locale whose decimal point is a comma and which groups thousands with dots.
struct GermanPunctuation : std::numpunct<char>
{
    char do_decimal_point() const override { return ','; }
    char do_thousands_sep() const override { return '.'; }
    std::string do_grouping() const override { return "\3"; }
};

TEST(NumberText, ignoresTheLocalesPunctuation)
{
    const std::locale previous =
        std::locale::global(std::locale(std::locale::classic(), new GermanPunctuation));
    // Also the C library's locale, where the machine has a German one.
    const std::string previousC = std::setlocale(LC_NUMERIC, nullptr);
    std::setlocale(LC_NUMERIC, "de_DE.UTF-8");

    EXPECT_EQ(numberText(1234567), " 1234567");
    EXPECT_EQ(numberText(-1.5), "-1.5");
    EXPECT_EQ(quenzil::progressCaption(1234), "Pixel:  1234");

    std::setlocale(LC_NUMERIC, previousC.c_str());
    std::locale::global(previous);
}

} // namespace
