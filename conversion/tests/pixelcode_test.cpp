#include "pixelcode.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

using quenzil::colourFromRgb;
using quenzil::ColourValue;
using quenzil::PixelCode;

namespace {

// The coding written out the long way: each channel is masked in place together with the sign
// bit, read as a signed number and walked down a ladder of upper bounds. This is how the code
// has always been defined; the fast path in PixelCode must agree with it for every input.
std::uint8_t ladderCode(ColourValue colour)
{
    const auto channel = [colour](std::uint32_t mask) {
        return double(std::int32_t(colour & mask));
    };
    const auto climb = [](double value, const double *bounds, int steps) {
        int band = 0;
        while (band < steps && value > bounds[band])
            ++band;
        return band;
    };
    static const double redBounds[] = {31, 63, 95, 127, 159, 191, 223};
    static const double greenBounds[] = {7936, 16128, 24320, 32512, 40704, 48896, 57088};
    static const double blueBounds[] = {4128768, 8323072, 12517376};

    const int red = climb(channel(0x800000FFu), redBounds, 7);
    const int green = climb(channel(0x8000FF00u), greenBounds, 7);
    const int blue = climb(channel(0x80FF0000u), blueBounds, 3);
    return std::uint8_t(red << 5 | green << 2 | blue);
}

TEST(PixelCode, agreesWithTheLadderForEveryReadableColourAndTheUnreadableOne)
{
    int mismatches = 0;
    for (ColourValue colour = 0; colour <= 0xFFFFFFu && mismatches < 5; ++colour) {
        if (PixelCode::code(colour) != ladderCode(colour)) {
            ADD_FAILURE() << "colour 0x" << std::hex << colour << ": "
                          << int(PixelCode::code(colour)) << " instead of "
                          << int(ladderCode(colour));
            ++mismatches;
        }
    }
    EXPECT_EQ(PixelCode::code(quenzil::unreadableColour), ladderCode(quenzil::unreadableColour));
}

struct CodeCase
{
    const char *name;
    ColourValue colour;
    std::uint8_t code;
};
void PrintTo(const CodeCase &row, std::ostream *out)
{
    *out << row.name;
}

class PixelCodeCases : public testing::TestWithParam<CodeCase>
{
};

TEST_P(PixelCodeCases, givesTheCode)
{
    EXPECT_EQ(PixelCode::code(GetParam().colour), GetParam().code);
}

INSTANTIATE_TEST_SUITE_P(
    Colours, PixelCodeCases,
    testing::Values(CodeCase{"black", 0x00000000u, 0b00000000},
                    CodeCase{"white", 0x00FFFFFFu, 0b11111111},
                    CodeCase{"pureRed", 0x000000FFu, 0b11100000},
                    CodeCase{"pureGreen", 0x0000FF00u, 0b00011100},
                    CodeCase{"pureBlue", 0x00FF0000u, 0b00000011},
                    // Band edges: the upper bound of a band belongs to that band.
                    CodeCase{"red31", colourFromRgb(31, 0, 0), 0b00000000},
                    CodeCase{"red32", colourFromRgb(32, 0, 0), 0b00100000},
                    CodeCase{"green127", colourFromRgb(0, 127, 0), 0b00001100},
                    CodeCase{"green128", colourFromRgb(0, 128, 0), 0b00010000},
                    CodeCase{"green223", colourFromRgb(0, 223, 0), 0b00011000},
                    CodeCase{"green224", colourFromRgb(0, 224, 0), 0b00011100},
                    CodeCase{"blue63", colourFromRgb(0, 0, 63), 0b00000000},
                    CodeCase{"blue64", colourFromRgb(0, 0, 64), 0b00000001},
                    CodeCase{"blue191", colourFromRgb(0, 0, 191), 0b00000010},
                    CodeCase{"blue192", colourFromRgb(0, 0, 192), 0b00000011},
                    // A pixel that cannot be read codes as black, not as white.
                    CodeCase{"unreadable", quenzil::unreadableColour, 0b00000000},
                    // A stray top byte without the sign bit does not disturb the channels.
                    CodeCase{"topByteSet", 0x7F0000FFu, 0b11100000}),
    [](const testing::TestParamInfo<CodeCase> &info) { return std::string(info.param.name); });

} // namespace
