#include "numbertext.h"
#include "scriptedpump.h"
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

std::string entry(ColourValue colour)
{
    return std::string(PixelCode::entry(colour));
}
// The entry that ends a line: without its separator.
std::string lastEntry(ColourValue colour)
{
    return entry(colour).substr(0, PixelCode::entryLength - PixelCode::separatorLength);
}
std::string repeat(const std::string &piece, int times)
{
    std::string text;
    for (int i = 0; i < times; ++i)
        text += piece;
    return text;
}

const ColourValue red = 0x0000FFu;
const ColourValue white = 0xFFFFFFu;
const std::string black = entry(0);
const std::string blackLast = lastEntry(0);

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

struct ShapeCase
{
    const char *name;
    double width;
    double height;
    std::string table;
};
void PrintTo(const ShapeCase &shape, std::ostream *out)
{
    *out << shape.name;
}

class TableShapes : public testing::TestWithParam<ShapeCase>
{
};

TEST_P(TableShapes, giveTheTable)
{
    FakeSource source{GetParam().width, GetParam().height};
    EXPECT_EQ(run(source), GetParam().table);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, TableShapes,
    testing::Values(
        ShapeCase{"onePixel", 1, 1, "Picture:\r\nData" + blackLast},
        ShapeCase{"eightPixels", 8, 1, "Picture:\r\nData" + repeat(black, 7) + blackLast},
        ShapeCase{"ninePixels", 9, 1,
                  "Picture:\r\nData" + repeat(black, 7) + blackLast + "\r\nData" + blackLast},
        // Exactly two full lines and no empty third "Data".
        ShapeCase{"sixteenPixels", 4, 4,
                  "Picture:\r\nData" + repeat(black, 7) + blackLast + "\r\nData" +
                      repeat(black, 7) + blackLast},
        // Rows do not start lines: 3 x 3 gives a line of eight and a line of one.
        ShapeCase{"threeByThree", 3, 3,
                  "Picture:\r\nData" + repeat(black, 7) + blackLast + "\r\nData" + blackLast},
        // Sizes are rounded to the nearest integer, ties to even: 2.5 - 1 rounds to 2 (three
        // columns), 3.5 - 1 rounds to 2 as well, 1.5 - 1 to 0 (one column).
        ShapeCase{"widthTwoAndAHalf", 2.5, 1, "Picture:\r\nData" + repeat(black, 2) + blackLast},
        ShapeCase{"widthThreeAndAHalf", 3.5, 1, "Picture:\r\nData" + repeat(black, 2) + blackLast},
        ShapeCase{"heightOneAndAHalf", 1, 1.5, "Picture:\r\nData" + blackLast},
        // Without pixels the table is the header alone; nothing is cut out of "Data".
        ShapeCase{"empty", 0, 0, "Picture:\r\n"}, ShapeCase{"noColumns", 0, 5, "Picture:\r\n"},
        ShapeCase{"noRows", 5, 0, "Picture:\r\n"}, ShapeCase{"negative", -3, -3, "Picture:\r\n"},
        ShapeCase{"notANumber", std::nan(""), 2, "Picture:\r\n"}),
    [](const testing::TestParamInfo<ShapeCase> &info) { return std::string(info.param.name); });

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

TableFormat shaped(Radix radix, unsigned perLine = 8, bool rowLines = false, bool runLength = false,
                   bool sizeLine = false, const char *label = "Picture")
{
    TableFormat format;
    format.label = label;
    format.radix = radix;
    format.perLine = perLine;
    format.rowLines = rowLines;
    format.runLength = runLength;
    format.sizeLine = sizeLine;
    return format;
}
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
                   shaped(dec, 2, false, true, true), "rle-dec-size-line"}),
    [](const testing::TestParamInfo<GoldenCase> &info) { return std::string(info.param.name); });

TEST(TableBuilder, readsRowsFromTheTopAndEachRowFromTheLeft)
{
    FakeSource source{2, 2};
    source.colour = [](int x, int y) { return x == 1 && y == 0 ? red : y == 1 ? white : 0; };
    EXPECT_EQ(run(source),
              "Picture:\r\nData" + black + entry(red) + entry(white) + lastEntry(white));
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

TEST(TableBuilder, keepsAndExtendsTextTypedBetweenTwoPixels)
{
    FakeSource source{4, 1};
    StringTableOutput output;
    ScriptedPump pump;
    pump.actions[3] = [&] { output.append("typed"); };
    EXPECT_EQ(run(source, output, pump),
              "Picture:\r\nData" + repeat(black, 3) + "typed" + blackLast);
}

TEST(TableBuilder, survivesTheTextBeingEmptiedBeforeALineBreak)
{
    // After the 8th pixel the user clears the area: the cut before the 9th entry finds nothing
    // to cut and the run goes on from the empty text.
    FakeSource source{9, 1};
    StringTableOutput output;
    ScriptedPump pump;
    pump.actions[8] = [&] { output.setText(""); };
    EXPECT_EQ(run(source, output, pump), "\r\nData" + blackLast);

    // A single character left is cut away as well.
    pump = {};
    pump.actions[8] = [&] { output.setText("x"); };
    EXPECT_EQ(run(source, output, pump), "\r\nData" + blackLast);
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
    const std::string inner = "Picture:\r\nData" + repeat(black, 3) + lastEntry(red);
    // The outer run appends its 3rd and 4th entries to the inner run's finished table.
    EXPECT_EQ(run(source, output, outerPump), inner + black + lastEntry(red));
}

TEST(TableBuilder, cutsWhateverTheTextEndsWithBeforeALineBreak)
{
    // Text typed after the 8th entry loses its last two characters to the line break.
    FakeSource source{9, 1};
    StringTableOutput output;
    ScriptedPump pump;
    pump.actions[8] = [&] { output.append("ab"); };
    EXPECT_EQ(run(source, output, pump),
              "Picture:\r\nData" + repeat(black, 8) + "\r\nData" + blackLast);
}

TEST(TableBuilder, linesHoldEightEntriesWhateverTheRowLength)
{
    FakeSource source{7, 5}; // 35 pixels: four full lines and one of three
    const std::string text = run(source);
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t pos; (pos = text.find("\r\n", start)) != std::string::npos; start = pos + 2)
        lines.push_back(text.substr(start, pos - start));
    lines.push_back(text.substr(start));
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0], "Picture:");
    for (int i = 1; i <= 4; ++i)
        EXPECT_EQ(lines[i], "Data" + repeat(black, 7) + blackLast) << "line " << i;
    EXPECT_EQ(lines[5], "Data" + repeat(black, 2) + blackLast);
}

TEST(TableBuilder, tableLengthIsTheLengthOfTheFinishedTable)
{
    // Outputs reserve tableRoom() ahead: a length that is short by even one character costs a
    // copy of the whole table at its last entry.
    for (int pixels = 0; pixels <= 40; ++pixels) {
        FakeSource source{double(pixels), 1};
        EXPECT_EQ(run(source).size(), tableLength(std::size_t(pixels))) << pixels << " pixels";
    }
    EXPECT_EQ(tableRoom(9), tableLength(9) + 2);
}

} // namespace
