#include "numbertext.h"
#include "scriptedpump.h"
#include "tablebuilder.h"

#include <gtest/gtest.h>

#include <functional>
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
