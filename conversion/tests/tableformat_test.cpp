#include "shapedformat.h"
#include "tablebuilder.h"
#include "tabledecoder.h"
#include "tablereader.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

using namespace quenzil;
using quenzil::testsupport::readTable;

namespace {

// A picture whose colours come from a function of the place.
struct GridSource
{
    int w;
    int h;
    std::function<ColourValue(int, int)> colour;
    double width() const { return w; }
    double height() const { return h; }
    ColourValue colourAt(int x, int y) const { return colour(x, y); }
};

ColourValue black(int, int)
{
    return 0;
}
// A different code in every column, the same in every row.
ColourValue columns(int x, int)
{
    return colourFromRgb(std::uint8_t(x * 37), std::uint8_t(x * 91), std::uint8_t(x * 53));
}
// Nearly every pixel a code of its own.
ColourValue noise(int x, int y)
{
    return (std::uint32_t(x) * 2654435761u ^ std::uint32_t(y) * 40503u) & 0xFFFFFFu;
}

using testsupport::classic;
using testsupport::limited;
using testsupport::shaped;

const TableFormat plain;
const TableFormat hex = shaped(Radix::hexadecimal, 8, false, false, false);
const TableFormat dec = shaped(Radix::decimal, 8, false, false, false);

// Shapes read back: the codes of every pixel in order, and how many numbers each line holds.
struct LineCase
{
    const char *name;
    TableFormat format;
    int width;
    int height;
    ColourValue (*colour)(int, int);
    std::vector<std::size_t> numbersPerLine;
};
void PrintTo(const LineCase &row, std::ostream *out)
{
    *out << row.name;
}

class TableLines : public testing::TestWithParam<LineCase>
{
};

TEST_P(TableLines, holdEveryPixelsCodeInOrder)
{
    const LineCase &row = GetParam();
    GridSource source{row.width, row.height, row.colour};
    StringTableOutput output;
    NoProgress progress;
    NoEventPump pump;
    TableBuilder builder(source, output, progress, pump, row.format);
    builder.run();
    const std::string text(output.text());

    const bool lineNumbers = row.format.dialect->lineNumbers;
    const auto read = readTable(text, row.format.sizeLine, row.format.runLength, lineNumbers);
    ASSERT_EQ(read.error, "") << text;
    EXPECT_EQ(read.label, row.format.label);
    std::vector<std::uint8_t> expected;
    for (int y = 0; y < row.height; ++y) {
        for (int x = 0; x < row.width; ++x)
            expected.push_back(PixelCode::code(row.colour(x, y)));
    }
    EXPECT_EQ(read.codes, expected);
    EXPECT_EQ(read.numbersPerLine, row.numbersPerLine);
    // The decoder reads back what the builder wrote.
    const DecodedTable decoded =
        decodeTable(text, row.format, row.format.sizeLine ? 0 : std::uint64_t(row.width), 1000000);
    ASSERT_EQ(decoded.error, "") << text;
    EXPECT_EQ(decoded.codes, expected);
    EXPECT_EQ(decoded.height, std::uint64_t(row.height));
    if (lineNumbers) {
        // The header just below the first DATA line, the others a step apart.
        ASSERT_EQ(read.lineNumbers.size(), 1 + row.numbersPerLine.size() + row.format.sizeLine);
        for (std::size_t line = 0; line < read.lineNumbers.size(); ++line)
            EXPECT_EQ(read.lineNumbers[line],
                      line == 0 ? row.format.lineStart - 1
                                : row.format.lineStart + (line - 1) * row.format.lineStep);
    }
    if (row.format.sizeLine) {
        EXPECT_EQ(read.width, std::uint64_t(row.width));
        EXPECT_EQ(read.height, std::uint64_t(row.height));
    }
    if (row.format.rowLines) {
        // Each row is a whole number of lines.
        std::size_t line = 0;
        for (int y = 0; y < row.height; ++y) {
            std::size_t pixels = 0;
            while (pixels < std::size_t(row.width) && line < read.pixelsPerLine.size())
                pixels += read.pixelsPerLine[line++];
            EXPECT_EQ(pixels, std::size_t(row.width)) << "row " << y;
        }
    }

    // What the builder counts for --stats, and the length reserved ahead.
    std::size_t numbers = 0;
    for (std::size_t count : row.numbersPerLine)
        numbers += count;
    EXPECT_EQ(builder.items(), row.format.runLength ? numbers / 2 : numbers);
    EXPECT_EQ(builder.dataLines(), row.numbersPerLine.size() + (row.format.sizeLine ? 1 : 0));
    EXPECT_EQ(builder.characters(), text.size());
    const std::size_t length =
        tableLength(row.format, std::size_t(row.width), std::size_t(row.height));
    const bool exact = !row.format.runLength && row.format.radix != Radix::decimal;
    if (exact)
        EXPECT_EQ(text.size(), length);
    else
        EXPECT_LE(text.size(), length);

    // No Data line is longer than the long-line note says; a full line of codes of one width is
    // exactly that long.
    std::vector<std::size_t> lineLengths;
    for (std::size_t start = 0, end = 0; end != std::string::npos; start = end + 2) {
        end = text.find("\r\n", start);
        lineLengths.push_back((end == std::string::npos ? text.size() : end) - start);
    }
    const std::size_t firstData = row.format.sizeLine ? 2 : 1;
    ASSERT_EQ(lineLengths.size(), firstData + row.numbersPerLine.size());
    for (std::size_t line = 0; line < row.numbersPerLine.size(); ++line) {
        const std::size_t lineLength = lineLengths[firstData + line];
        EXPECT_LE(lineLength, longestDataLine(row.format)) << "line " << line;
        if (row.format.maxLine != 0) {
            EXPECT_LE(lineLength, row.format.maxLine) << "line " << line;
        }
        // Line numbers are taken as wide as the last may be, so only lines without are exact.
        const unsigned full = itemsPerLine(row.format) * (row.format.runLength ? 2 : 1);
        if (exact && !lineNumbers && row.numbersPerLine[line] == full) {
            EXPECT_EQ(lineLength, longestDataLine(row.format)) << "line " << line;
        }
    }
}

using Sizes = std::vector<std::size_t>;
const TableFormat perLine1 = shaped(Radix::hexadecimal, 1, false, false, false);
const TableFormat perLine64 = shaped(Radix::decimal, 64, false, false, false);
const TableFormat rowLines = shaped(Radix::hexadecimal, 8, true, false, false);
const TableFormat sizeLine = shaped(Radix::decimal, 8, false, false, true);
const TableFormat runs = shaped(Radix::hexadecimal, 8, false, true, false);
const TableFormat runsPerLine2 = shaped(Radix::decimal, 2, false, true, false);
const TableFormat runsByRow = shaped(Radix::binary, 8, true, true, true);

INSTANTIATE_TEST_SUITE_P(
    Shapes, TableLines,
    testing::Values(
        LineCase{"default9x2", plain, 9, 2, noise, {8, 8, 2}},
        LineCase{"hex1x1", hex, 1, 1, noise, {1}}, LineCase{"hex8", hex, 8, 1, noise, {8}},
        LineCase{"dec9", dec, 9, 1, noise, {8, 1}}, LineCase{"dec17", dec, 17, 1, noise, {8, 8, 1}},
        LineCase{"hexRowsRunOn", hex, 5, 3, noise, {8, 7}},
        LineCase{"perLine1_1x1", perLine1, 1, 1, noise, {1}},
        LineCase{"perLine1_9", perLine1, 9, 1, noise, Sizes(9, 1)},
        LineCase{"perLine64_17", perLine64, 17, 1, noise, {17}},
        LineCase{"perLine64_9x9", perLine64, 9, 9, noise, {64, 17}},
        LineCase{"rowLines1x1", rowLines, 1, 1, noise, {1}},
        LineCase{"rowLines8x2", rowLines, 8, 2, noise, {8, 8}},
        LineCase{"rowLines9x2", rowLines, 9, 2, noise, {8, 1, 8, 1}},
        LineCase{"rowLines17x2", rowLines, 17, 2, noise, {8, 8, 1, 8, 8, 1}},
        LineCase{"rowLines5x3", rowLines, 5, 3, noise, {5, 5, 5}},
        LineCase{"sizeLine1x1", sizeLine, 1, 1, noise, {1}},
        LineCase{"sizeLine9", sizeLine, 9, 1, noise, {8, 1}},
        LineCase{"sizeLine17x3", sizeLine, 17, 3, noise, {8, 8, 8, 8, 8, 8, 3}},
        // Run-length pairs: runs of 1 (every code differs), 255, 256 and across rows.
        LineCase{"runs1x1", runs, 1, 1, noise, {2}},
        LineCase{"runsOf1_9", runs, 9, 1, columns, {8, 8, 2}},
        LineCase{"runsOf1_17PerLine2", runsPerLine2, 17, 1, columns, Sizes(17, 2)},
        LineCase{"runOf8", runs, 8, 1, black, {2}}, LineCase{"runOf255", runs, 255, 1, black, {2}},
        LineCase{"runOf256", runs, 256, 1, black, {4}},
        LineCase{"runOf256PerLine2", runsPerLine2, 256, 1, black, {2, 2}},
        LineCase{"runAcrossRows", runs, 3, 3, black, {2}},
        LineCase{"runAcrossRowsPast255", runs, 300, 2, black, {6}},
        LineCase{"runsEndWithTheRow", runsByRow, 3, 3, black, {2, 2, 2}},
        LineCase{"runsEndWithTheRowPast255", runsByRow, 300, 2, black, {4, 4}},
        LineCase{"runsOf1ByRow", runsByRow, 5, 2, columns, {8, 2, 8, 2}},
        // Classic line-numbered DATA, line numbers growing a digit on the way.
        LineCase{"classicHex", classic(hex), 9, 2, noise, {8, 8, 2}},
        LineCase{"classicNumbersGrowADigit", classic(perLine1, 7, 1), 5, 1, noise, Sizes(5, 1)},
        LineCase{"classicDecimalRunsByRow",
                 classic(shaped(Radix::decimal, 8, true, true, true), 90, 5),
                 3,
                 3,
                 columns,
                 {6, 6, 6}},
        LineCase{"classicSizeLine", classic(sizeLine, 1), 9, 1, noise, {8, 1}},
        // --max-line: "Data " and 19 binary codes are 249 characters, 20 would be 262.
        LineCase{"maxLine255", limited(shaped(Radix::binary, 64), 255), 40, 1, noise, {19, 19, 2}},
        LineCase{
            "maxLineExactlyOneLine", limited(shaped(Radix::binary, 8), 15), 2, 1, noise, {1, 1}},
        LineCase{"maxLinePairs", limited(runs, 30), 9, 1, columns, {4, 4, 4, 4, 2}},
        LineCase{"maxLineClassic", limited(classic(hex), 20), 5, 1, noise, {2, 2, 1}}),
    [](const testing::TestParamInfo<LineCase> &info) { return std::string(info.param.name); });

TEST(TableFormat, writesOtherNumbersWithTheDigitsTheyNeed)
{
    struct Row
    {
        std::uint64_t value;
        Radix radix;
        const char *text;
    };
    for (const Row &row :
         {Row{320, Radix::binary, "&B101000000"}, Row{320, Radix::hexadecimal, "&H140"},
          Row{320, Radix::decimal, "320"}, Row{0, Radix::binary, "&B0"},
          Row{0, Radix::hexadecimal, "&H0"}, Row{255, Radix::hexadecimal, "&HFF"},
          Row{5792, Radix::hexadecimal, "&H16A0"}})
        EXPECT_EQ(mmbasicDialect.number(row.value, row.radix), row.text) << row.value;
}

TEST(TableFormat, refusesPicturesTheLineNumbersOrTheLongestLineCannotHold)
{
    struct Row
    {
        TableFormat format;
        std::uint64_t columns;
        std::uint64_t rows;
        const char *error;
    };
    const TableFormat nearTheEnd = classic(hex, 65520, 9);
    for (const Row &row : {
             // Data lines at 65520 and 65529: the last number a line may have.
             Row{nearTheEnd, 16, 1, ""},
             Row{nearTheEnd, 17, 1,
                 "the table of 17 x 1 pixels needs 3 numbered lines; from 65520 in steps of 9 "
                 "the last would be 65538, past 65529, the last line number of GW-BASIC"},
             Row{classic(sizeLine, 65529), 1, 1,
                 "the table of 1 x 1 pixels needs 2 numbered "
                 "lines; from 65529 in steps of 10 the last "
                 "would be 65539, past 65529, the last line "
                 "number of GW-BASIC"},
             // Without line numbers any size goes.
             Row{hex, 8192, 4096, ""},
             // The size line "Data 8192 , 4096" has 16 characters.
             Row{limited(sizeLine, 16), 8192, 4096, ""},
             Row{limited(sizeLine, 15), 8192, 4096,
                 "the size line of 8192 x 4096 pixels has 16 characters, more than the 15 a "
                 "line may have"},
         })
        EXPECT_EQ(tableSizeError(row.format, row.columns, row.rows), row.error) << row.columns;
}

TEST(TableFormat, makesDistinctLabelsFromFileNames)
{
    const std::string longName(40, 'x');
    struct Row
    {
        std::string name;
        std::string label;
    };
    LabelRegistry registry;
    for (const Row &row :
         {Row{"cat", "cat"}, Row{"my picture", "my_picture"}, Row{"2x", "P2x"}, Row{"", "P"},
          Row{"_a", "P_a"}, Row{"\xc3\xa9t\xc3\xa9", "P_t_"}, Row{"cat", "cat_2"},
          Row{"Cat", "Cat_3"}, Row{"cat_2", "cat_2_2"}, Row{longName, std::string(32, 'x')},
          Row{longName, std::string(30, 'x') + "_2"}}) {
        const std::string label = registry.claim(labelFromName(row.name));
        EXPECT_EQ(label, row.label) << row.name;
        EXPECT_TRUE(isValidLabel(label)) << label;
    }
}

} // namespace
