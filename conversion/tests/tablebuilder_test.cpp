#include "numbertext.h"
#include "scriptedpump.h"
#include "shapedformat.h"
#include "tablebuilder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <string>
#include <utility>
#include <vector>

using namespace quenzil;
using quenzil::testsupport::ScriptedPump;

namespace {

// A picture made up in the test: every pixel's colour comes from a function of its place, and
// the width may answer differently each time it is asked (a picture loaded mid-run).
struct FakeSource
{
    FakeSource(double width, double height) : w(width), h(height) {}

    double w;
    double h;
    std::function<ColourValue(int, int)> colour = [](int, int) { return ColourValue(0); };
    std::vector<double> laterWidths; // answers to the 2nd, 3rd, ... width() call
    int widthCalls = 0;
    int heightCalls = 0;
    std::vector<std::pair<int, int>> reads;

    double width()
    {
        const int call = widthCalls++;
        if (call == 0 || laterWidths.empty())
            return w;
        return laterWidths[std::min<std::size_t>(call - 1, laterWidths.size() - 1)];
    }
    double height()
    {
        ++heightCalls;
        return h;
    }
    ColourValue colourAt(int x, int y)
    {
        reads.emplace_back(x, y);
        return colour(x, y);
    }
};

struct RecordingProgress
{
    std::vector<double> counts;
    void setCount(double count) { counts.push_back(count); }
};

const ColourValue red = 0x0000FFu;
const ColourValue white = 0xFFFFFFu;

std::string run(FakeSource &source, StringTableOutput &output, ScriptedPump &pump)
{
    RecordingProgress progress;
    TableBuilder(source, output, progress, pump).run();
    return std::string(output.text());
}
std::string run(FakeSource &source)
{
    StringTableOutput output;
    output.setText("RichTextBox1");
    ScriptedPump pump;
    return run(source, output, pump);
}

// Pictures for the golden tables: a colour from the place of each pixel.
namespace pictures {
ColourValue black(int, int)
{
    return 0;
}
// Nearly every pixel a code of its own, so a pixel out of order shows.
ColourValue noise(int x, int y)
{
    return (std::uint32_t(x) * 2654435761u ^ std::uint32_t(y) * 40503u) & 0xFFFFFFu;
}
// A different code in every column, the same in every row.
ColourValue columns(int x, int)
{
    return colourFromRgb(std::uint8_t(x * 37), std::uint8_t(x * 91), std::uint8_t(x * 53));
}
// 17 black pixels, then white.
ColourValue halves(int x, int)
{
    return x < 17 ? ColourValue(0) : ColourValue(0xFFFFFF);
}
// The colours either side of every band edge, then a pixel that cannot be read.
ColourValue bandEdges(int x, int)
{
    static const ColourValue edges[] = {colourFromRgb(31, 0, 0),
                                        colourFromRgb(32, 0, 0),
                                        colourFromRgb(0, 127, 0),
                                        colourFromRgb(0, 128, 0),
                                        colourFromRgb(0, 223, 0),
                                        colourFromRgb(0, 224, 0),
                                        colourFromRgb(0, 0, 63),
                                        colourFromRgb(0, 0, 64),
                                        colourFromRgb(0, 0, 191),
                                        colourFromRgb(0, 0, 192),
                                        0xFFFFFFu,
                                        unreadableColour};
    return edges[std::size_t(x) % std::size(edges)];
}
} // namespace pictures

using testsupport::classic;
using testsupport::shaped;
const TableFormat plain;
const Radix bin = Radix::binary;
const Radix hex = Radix::hexadecimal;
const Radix dec = Radix::decimal;

// A picture and a shape, and the file in conversion/tests/golden that holds their table byte
// for byte. QUENZIL_WRITE_GOLDEN=1 writes the files afresh instead of comparing.
struct GoldenCase
{
    const char *name;
    ColourValue (*colour)(int, int);
    double width;
    double height;
    TableFormat format;
    const char *golden;
};
void PrintTo(const GoldenCase &row, std::ostream *out)
{
    *out << row.name;
}

class GoldenTables : public testing::TestWithParam<GoldenCase>
{
};

TEST_P(GoldenTables, matchTheirFiles)
{
    const GoldenCase &row = GetParam();
    FakeSource source{row.width, row.height};
    source.colour = row.colour;
    const std::string table = buildTableText(source, row.format);
    const std::string path = std::string(QUENZIL_GOLDEN_DIR) + "/" + row.golden + ".txt";
    if (std::getenv("QUENZIL_WRITE_GOLDEN")) {
        std::ofstream(path, std::ios::binary) << table;
        GTEST_SKIP() << "wrote " << path;
    }
    std::ifstream file(path, std::ios::binary);
    ASSERT_TRUE(file) << "no file " << path;
    const std::string expected{std::istreambuf_iterator<char>(file), {}};
    EXPECT_EQ(table, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Tables, GoldenTables,
    testing::Values(
        // The window's table: eight numbers a line, lines running on across rows.
        GoldenCase{"onePixel", pictures::noise, 1, 1, plain, "plain-1x1"},
        GoldenCase{"eightPixels", pictures::noise, 8, 1, plain, "plain-8x1"},
        GoldenCase{"ninePixels", pictures::noise, 9, 1, plain, "plain-9x1"},
        // Exactly two full lines and no empty third "Data".
        GoldenCase{"sixteenPixels", pictures::noise, 4, 4, plain, "plain-4x4"},
        // Rows do not start lines: 3 x 3 gives a line of eight and a line of one.
        GoldenCase{"threeByThree", pictures::noise, 3, 3, plain, "plain-3x3"},
        GoldenCase{"bandEdges", pictures::bandEdges, 12, 1, plain, "plain-band-edges"},
        // Sizes are rounded to the nearest integer, ties to even: 2.5 - 1 rounds to 2 (three
        // columns), 3.5 - 1 rounds to 2 as well, 1.5 - 1 to 0 (one row).
        GoldenCase{"widthTwoAndAHalf", pictures::noise, 2.5, 1, plain, "plain-3x1"},
        GoldenCase{"widthThreeAndAHalf", pictures::noise, 3.5, 1, plain, "plain-3x1"},
        GoldenCase{"heightOneAndAHalf", pictures::noise, 1, 1.5, plain, "plain-1x1"},
        // Without pixels the table is the header alone.
        GoldenCase{"empty", pictures::noise, 0, 0, plain, "header-only"},
        GoldenCase{"noColumns", pictures::noise, 0, 5, plain, "header-only"},
        GoldenCase{"noRows", pictures::noise, 5, 0, plain, "header-only"},
        GoldenCase{"negative", pictures::noise, -3, -3, plain, "header-only"},
        GoldenCase{"notANumber", pictures::noise, std::nan(""), 2, plain, "header-only"},
        // Every shape.
        GoldenCase{"label", pictures::noise, 1, 1, shaped(bin, 8, false, false, false, "Sprite_2"),
                   "label-1x1"},
        GoldenCase{"hexOnePixel", pictures::black, 1, 1, shaped(hex), "hex-1x1"},
        GoldenCase{"hexColumns", pictures::columns, 9, 2, shaped(hex), "hex-9x2"},
        GoldenCase{"decColumns", pictures::columns, 9, 2, shaped(dec), "dec-9x2"},
        GoldenCase{"perLine1", pictures::noise, 3, 1, shaped(hex, 1), "hex-per-line-1"},
        GoldenCase{"perLine64", pictures::noise, 9, 9, shaped(dec, 64), "dec-per-line-64"},
        GoldenCase{"rowLines", pictures::noise, 9, 2, shaped(hex, 8, true), "hex-row-lines"},
        GoldenCase{"sizeLine", pictures::black, 5, 2, shaped(bin, 8, false, false, true),
                   "size-line"},
        GoldenCase{"sizeLineWithoutPixels", pictures::black, 0, 0,
                   shaped(hex, 8, false, false, true), "size-line-only"},
        GoldenCase{"sizeLineRowLines", pictures::noise, 17, 3, shaped(dec, 8, true, false, true),
                   "dec-size-line-row-lines"},
        GoldenCase{"runsInHex", pictures::halves, 20, 1, shaped(hex, 4, false, true),
                   "rle-hex-per-line-4"},
        GoldenCase{"runsOfOne", pictures::columns, 9, 1, shaped(bin, 8, false, true),
                   "rle-runs-of-one"},
        GoldenCase{"runsAcrossRowsPast255", pictures::black, 300, 2, shaped(hex, 8, false, true),
                   "rle-across-rows"},
        GoldenCase{"runsEndWithTheRow", pictures::columns, 5, 2, shaped(bin, 8, true, true, true),
                   "rle-row-lines-size-line"},
        GoldenCase{"runsInDecimalWithSizeLine", pictures::black, 320, 1,
                   shaped(dec, 2, false, true, true), "rle-dec-size-line"},
        // Line-numbered DATA: the REM line just below the first DATA line, no spaces.
        GoldenCase{"classicHex", pictures::columns, 9, 2, classic(shaped(hex)), "classic-hex-9x2"},
        GoldenCase{"classicDecimalSizeLineRowLines", pictures::noise, 5, 3,
                   classic(shaped(dec, 4, true, false, true, "Sprite"), 10, 5),
                   "classic-dec-size-line-row-lines"},
        GoldenCase{"classicRunsStepOne", pictures::halves, 20, 1,
                   classic(shaped(hex, 2, false, true), 1, 1), "classic-rle-hex-step-1"}),
    [](const testing::TestParamInfo<GoldenCase> &info) { return std::string(info.param.name); });

TEST(TableBuilder, readsRowsFromTheTopAndEachRowFromTheLeft)
{
    FakeSource source{2, 2};
    source.colour = [](int x, int y) { return x == 1 && y == 0 ? red : y == 1 ? white : 0; };
    EXPECT_EQ(run(source), "Picture:\r\nData &B00000000 , &B11100000 , &B11111111 , &B11111111");
    EXPECT_EQ(source.reads, (std::vector<std::pair<int, int>>{{0, 0}, {1, 0}, {0, 1}, {1, 1}}));
}

TEST(TableBuilder, readsTheHeightOnceAndTheWidthAtEveryRow)
{
    // The width shrinks and grows between rows; the row count stays as first read.
    FakeSource source{2, 3};
    source.laterWidths = {3, 1};
    run(source);
    EXPECT_EQ(source.heightCalls, 1);
    EXPECT_EQ(source.widthCalls, 3);
    EXPECT_EQ(source.reads,
              (std::vector<std::pair<int, int>>{{0, 0}, {1, 0}, {0, 1}, {1, 1}, {2, 1}, {0, 2}}));
}

TEST(TableBuilder, secondRunGivesTheSameTextAndKeepsNothingOfTheFirst)
{
    FakeSource source{3, 2};
    source.colour = [](int x, int y) {
        return colourFromRgb(std::uint8_t(x * 90), 0, std::uint8_t(y * 200));
    };
    StringTableOutput output;
    output.setText("RichTextBox1");
    ScriptedPump pump;
    const std::string first = run(source, output, pump);
    EXPECT_EQ(run(source, output, pump), first);
    EXPECT_EQ(first.find("RichTextBox1"), std::string::npos);
}

TEST(TableBuilder, reportsEveryPixelCountAndPumpsAfterEveryPixel)
{
    FakeSource source{3, 3};
    StringTableOutput output;
    RecordingProgress progress;
    ScriptedPump pump;
    TableBuilder(source, output, progress, pump).run();
    EXPECT_EQ(progress.counts, (std::vector<double>{1, 2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_EQ(pump.calls, 9);
    EXPECT_EQ(progressCaption(progress.counts.back()), "Pixel:  9");
}

TEST(TableBuilder, leavesTheProgressAloneWhenThereAreNoPixels)
{
    FakeSource source{0, 4};
    StringTableOutput output;
    RecordingProgress progress;
    ScriptedPump pump;
    TableBuilder(source, output, progress, pump).run();
    EXPECT_TRUE(progress.counts.empty());
    EXPECT_EQ(pump.calls, 0);
}

// A letter typed while events are processed, after pixel `first`, first + step, ... of a
// 20-pixel table (lines of 8, 8 and 4 numbers).
struct TypingCase
{
    const char *name;
    int first;
    int step;
};
void PrintTo(const TypingCase &row, std::ostream *out)
{
    *out << row.name;
}

class TypedLetters : public testing::TestWithParam<TypingCase>
{
};

TEST_P(TypedLetters, stayWhereTheyWereTypedInAnUnbrokenTable)
{
    constexpr int pixels = 20;
    FakeSource source{pixels, 1};
    source.colour = pictures::noise;
    StringTableOutput output;
    ScriptedPump pump;
    std::vector<int> typedAfter;
    for (int pixel = GetParam().first; pixel <= pixels; pixel += GetParam().step) {
        pump.actions[pixel] = [&output] { output.append("Q"); };
        typedAfter.push_back(pixel);
    }
    const std::string typed = run(source, output, pump);

    // Each letter right after the digits of its pixel's number, and nothing else changed.
    std::string expected = buildTableText(source);
    std::vector<std::size_t> numberEnds;
    for (std::size_t at = expected.find("&B"); at != std::string::npos;
         at = expected.find("&B", at + 1))
        numberEnds.push_back(at + 10);
    ASSERT_EQ(numberEnds.size(), std::size_t(pixels));
    for (auto pixel = typedAfter.rbegin(); pixel != typedAfter.rend(); ++pixel)
        expected.insert(numberEnds[std::size_t(*pixel - 1)], "Q");
    EXPECT_EQ(typed, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Places, TypedLetters,
    testing::Values(TypingCase{"afterNumber1", 1, 8}, TypingCase{"afterNumber2", 2, 8},
                    TypingCase{"afterNumber3", 3, 8}, TypingCase{"afterNumber4", 4, 8},
                    TypingCase{"afterNumber5", 5, 8}, TypingCase{"afterNumber6", 6, 8},
                    TypingCase{"afterNumber7", 7, 8}, TypingCase{"afterNumber8", 8, 8},
                    TypingCase{"afterTheLastPixel", 20, 1}, TypingCase{"afterEveryPixel", 1, 1}),
    [](const testing::TestParamInfo<TypingCase> &info) { return std::string(info.param.name); });

TEST(TableBuilder, extendsTheTextAUserEmptied)
{
    // After the 8th pixel the user clears the area: the run goes on from the empty text.
    FakeSource source{9, 1};
    StringTableOutput output;
    ScriptedPump pump;
    pump.actions[8] = [&] { output.setText(""); };
    EXPECT_EQ(run(source, output, pump), "\r\nData &B00000000");
}

TEST(TableBuilder, aRunStartedBetweenTwoPixelsReplacesTheTextAndTheOuterRunGoesOn)
{
    FakeSource source{4, 1};
    source.colour = [](int x, int) { return x == 3 ? red : 0; };
    StringTableOutput output;
    ScriptedPump outerPump;
    ScriptedPump innerPump;
    RecordingProgress innerProgress;
    outerPump.actions[2] = [&] { TableBuilder(source, output, innerProgress, innerPump).run(); };
    const std::string inner = "Picture:\r\nData &B00000000 , &B00000000 , &B00000000 , &B11100000";
    // The outer run appends its 3rd and 4th numbers to the inner run's finished table.
    EXPECT_EQ(run(source, output, outerPump), inner + " , &B00000000 , &B11100000");
}

} // namespace
