#include "colourreduction.h"
#include "displaycolour.h"
#include "pixelcode.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <tuple>
#include <vector>

using namespace quenzil;

namespace {

// A picture in rows a few pixels longer than its width; the spare pixels hold a mark that no
// reduction may touch.
struct Picture
{
    static constexpr std::uint32_t mark = 0xDEADBEEFu;
    static constexpr int spare = 3;

    int width;
    int height;
    std::vector<std::uint32_t> stored;

    Picture(int w, int h, const std::vector<ColourValue> &pixels)
        : width(w), height(h), stored(std::size_t((w + spare) * h), mark)
    {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                stored[std::size_t(y * (w + spare) + x)] = pixels[std::size_t(y * w + x)];
    }

    // Reduces the picture and gives its pixels, after checking the spare ones.
    std::vector<ColourValue> reduced(ColourReduction reduction)
    {
        reduceToDisplayColours({stored.data(), width, height, width + spare}, reduction);
        std::vector<ColourValue> pixels;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width + spare; ++x) {
                const std::uint32_t pixel = stored[std::size_t(y * (width + spare) + x)];
                if (x < width)
                    pixels.push_back(pixel);
                else
                    EXPECT_EQ(pixel, mark) << "a spare pixel changed in row " << y;
            }
        }
        return pixels;
    }
};

// Colours spread over the whole cube from a fixed seed.
std::vector<ColourValue> noise(int pixels)
{
    std::vector<ColourValue> colours;
    std::uint32_t state = 12345;
    for (int i = 0; i < pixels; ++i) {
        state = state * 1664525u + 1013904223u;
        colours.push_back(state >> 8);
    }
    return colours;
}

unsigned channel(ColourValue colour, int index)
{
    return colour >> (8 * index) & 0xFFu;
}

const char *nameOf(ColourReduction reduction)
{
    static const char *const names[] = {"bands", "nearest", "ordered", "diffuse"};
    return names[int(reduction)];
}

// One channel's value (0 red, 1 green, 2 blue), the others zero, and the display value it shows
// under bands and under nearest levels.
struct LevelCase
{
    const char *name;
    int channel;
    unsigned value;
    unsigned band;
    unsigned nearest;
};
void PrintTo(const LevelCase &row, std::ostream *out)
{
    *out << row.name;
}

class BandAndNearest : public testing::TestWithParam<LevelCase>
{
};

TEST_P(BandAndNearest, giveTheirDisplayLevels)
{
    const LevelCase &row = GetParam();
    const ColourValue colour = ColourValue(row.value) << (8 * row.channel);
    EXPECT_EQ(Picture(1, 1, {colour}).reduced(ColourReduction::Bands)[0], ColourValue(row.band)
                                                                              << (8 * row.channel));
    EXPECT_EQ(Picture(1, 1, {colour}).reduced(ColourReduction::Nearest)[0],
              ColourValue(row.nearest) << (8 * row.channel));
}

// Display levels: red and green 0 36 73 109 146 182 219 255, blue 0 85 170 255.
INSTANTIATE_TEST_SUITE_P(
    BandEdges, BandAndNearest,
    testing::Values(LevelCase{"red31", 0, 31, 0, 36}, LevelCase{"red32", 0, 32, 36, 36},
                    LevelCase{"red18HalfwayTakesTheLower", 0, 18, 0, 0},
                    LevelCase{"red19", 0, 19, 0, 36}, LevelCase{"green223", 1, 223, 219, 219},
                    LevelCase{"green224", 1, 224, 255, 219},
                    LevelCase{"green238", 1, 238, 255, 255}, LevelCase{"blue42", 2, 42, 0, 0},
                    LevelCase{"blue63", 2, 63, 0, 85}, LevelCase{"blue191", 2, 191, 170, 170},
                    LevelCase{"blue213", 2, 213, 255, 255}, LevelCase{"blue255", 2, 255, 255, 255}),
    [](const testing::TestParamInfo<LevelCase> &info) { return std::string(info.param.name); });

TEST(ColourReduction, followsTheChannelLayoutAndKeepsTheOtherBits)
{
    // 0xAARRGGBB: red 31, green 224, blue 63.
    std::uint32_t pixel = 0x801FE03Fu;
    reduceToDisplayColours({&pixel, 1, 1, 1}, ColourReduction::Nearest, {16, 8, 0});
    EXPECT_EQ(pixel, 0x8024DB55u);
}

class EveryReduction : public testing::TestWithParam<ColourReduction>
{
};

TEST_P(EveryReduction, leavesAPictureOnDisplayColoursUnchanged)
{
    // All 256 display colours, in an order that puts unlike colours side by side.
    std::vector<ColourValue> colours;
    for (unsigned i = 0; i < 256; ++i)
        colours.push_back(displayColour(std::uint8_t(i * 37 + 11)));
    Picture picture(16, 16, colours);
    EXPECT_EQ(picture.reduced(GetParam()), colours);
}

TEST_P(EveryReduction, givesDisplayColoursTheSameOnEveryRun)
{
    const std::vector<ColourValue> colours = noise(37 * 23);
    Picture first(37, 23, colours);
    Picture second(37, 23, colours);
    const std::vector<ColourValue> reduced = first.reduced(GetParam());
    EXPECT_EQ(second.reduced(GetParam()), reduced);
    for (std::size_t i = 0; i < reduced.size(); ++i) {
        const std::uint8_t code = PixelCode::code(reduced[i]);
        ASSERT_EQ(displayColour(code), reduced[i]) << "pixel " << i;
        // Bands shows what plain coding gives.
        if (GetParam() == ColourReduction::Bands) {
            ASSERT_EQ(code, PixelCode::code(colours[i])) << "pixel " << i;
        }
    }
}

// Squared distance between two colours, channel by channel.
int distance(ColourValue a, ColourValue b)
{
    int sum = 0;
    for (int index = 0; index < 3; ++index) {
        const int difference = int(channel(a, index)) - int(channel(b, index));
        sum += difference * difference;
    }
    return sum;
}

TEST_P(EveryReduction, keepsTheKeyForTransparentPixelsAlone)
{
    // Noise, and colours near each key's own display colour, which bands and nearest levels
    // would code as the key; every fifth pixel transparent (the top byte 0).
    for (const std::uint8_t key : {std::uint8_t(0), std::uint8_t(0x49), std::uint8_t(255)}) {
        std::vector<ColourValue> colours = noise(40 * 20);
        for (std::size_t i = 0; i < colours.size(); ++i) {
            const ColourValue near = displayColour(key) ^ (colours[i] & 0x0F0F0Fu);
            colours[i] =
                (i % 2 == 0 ? near : colours[i] & 0xFFFFFFu) | (i % 5 == 0 ? 0u : 0xFF000000u);
        }
        Picture plain(40, 20, colours);
        const std::vector<ColourValue> unkeyed = plain.reduced(GetParam());
        Picture keyed(40, 20, colours);
        reduceToDisplayColours({keyed.stored.data(), 40, 20, 40 + Picture::spare}, GetParam(),
                               colourValueLayout, key);
        for (int i = 0; i < 40 * 20; ++i) {
            const std::size_t place = std::size_t(i / 40 * (40 + Picture::spare) + i % 40);
            const ColourValue pixel = keyed.stored[place];
            if (i % 5 == 0) {
                ASSERT_EQ(pixel, displayColour(key)) << "transparent pixel " << i;
                continue;
            }
            const std::uint8_t code = PixelCode::code(pixel & 0xFFFFFFu);
            ASSERT_NE(code, key) << "pixel " << i;
            ASSERT_EQ(pixel, displayColour(code) | 0xFF000000u) << "pixel " << i;
            // Colour by colour, only a pixel that would be the key changes, to the nearest
            // other display colour.
            if (GetParam() != ColourReduction::Bands && GetParam() != ColourReduction::Nearest)
                continue;
            if (PixelCode::code(unkeyed[std::size_t(i)] & 0xFFFFFFu) != key) {
                ASSERT_EQ(pixel, unkeyed[std::size_t(i)]) << "pixel " << i;
                continue;
            }
            int nearest = 1 << 30;
            for (unsigned other = 0; other < 256; ++other) {
                if (other != key)
                    nearest = std::min(nearest, distance(colours[std::size_t(i)],
                                                         displayColour(std::uint8_t(other))));
            }
            ASSERT_EQ(distance(colours[std::size_t(i)], pixel), nearest) << "pixel " << i;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Reductions, EveryReduction,
                         testing::Values(ColourReduction::Bands, ColourReduction::Nearest,
                                         ColourReduction::Ordered, ColourReduction::Diffuse),
                         [](const testing::TestParamInfo<ColourReduction> &info) {
                             return std::string(nameOf(info.param));
                         });

class Dither : public testing::TestWithParam<std::tuple<ColourReduction, ColourValue>>
{
};

// A flat colour between display levels comes out as a mix of the two levels around each
// channel, whose average lies within 5 of the colour.
TEST_P(Dither, mixesTheTwoLevelsAroundAFlatColour)
{
    const auto [reduction, colour] = GetParam();
    constexpr int side = 64;
    Picture picture(side, side, std::vector<ColourValue>(side * side, colour));
    const std::vector<ColourValue> reduced = picture.reduced(reduction);
    for (int index = 0; index < 3; ++index) {
        const unsigned bits = index == 2 ? 2 : 3;
        const unsigned value = channel(colour, index);
        unsigned lower = 0;
        while (lower < (1u << bits) - 1 && widenChannel(lower + 1, bits) <= value)
            ++lower;
        const unsigned low = widenChannel(lower, bits);
        const unsigned high = value == low ? low : widenChannel(lower + 1, bits);
        double sum = 0;
        for (ColourValue pixel : reduced) {
            const unsigned shown = channel(pixel, index);
            ASSERT_TRUE(shown == low || shown == high)
                << "channel " << index << " of " << value << " shows " << shown;
            sum += shown;
        }
        EXPECT_NEAR(sum / double(reduced.size()), double(value), 5.0) << "channel " << index;
    }
}

INSTANTIATE_TEST_SUITE_P(
    FlatColours, Dither,
    testing::Combine(testing::Values(ColourReduction::Ordered, ColourReduction::Diffuse),
                     testing::Values(colourFromRgb(100, 100, 100), colourFromRgb(20, 200, 30),
                                     colourFromRgb(250, 5, 240), colourFromRgb(164, 127, 128),
                                     colourFromRgb(1, 254, 84))),
    [](const testing::TestParamInfo<std::tuple<ColourReduction, ColourValue>> &info) {
        char colour[8];
        std::snprintf(colour, sizeof colour, "%06x", unsigned(std::get<1>(info.param)));
        return std::string(nameOf(std::get<0>(info.param))) + "_" + colour;
    });

} // namespace
