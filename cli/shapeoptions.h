#pragma once

#include "tableformat.h"

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

class QCommandLineParser;

namespace quenzil {

// How quenzil-table shapes its tables (--label, --size-line, --radix, --per-line, --row-lines,
// --rle) and whether it tells their figures (--stats).
struct ShapeOptions
{
    // The label is "Picture" unless --label gives one; with several pictures each table's label
    // comes from its file name instead.
    TableFormat format;
    bool labelGiven = false;
    bool stats = false;
};

// Declares the shape options to the command's parser.
void declareShapeOptions(QCommandLineParser &parser);

// Whether an argument as typed names a shape option that takes a value ("--radix").
bool isShapeValueOption(std::string_view typed);

// Reads the shape options after a successful parse, and checks them against the pictures given
// (and whether a preview is asked for). Returns the usage error in one line, or empty.
std::string readShapeOptions(const QCommandLineParser &parser,
                             const std::vector<std::string> &pictures, bool preview,
                             ShapeOptions &shape);

// Many BASICs read lines of at most this many characters (bwbasic drops a longer line without a
// word), so a format whose Data lines may be longer gets a note on standard error.
inline constexpr std::size_t commonLineLimit = 255;
void noteLongLines(const TableFormat &format, std::FILE *errors);

// The name standard input goes by among the pictures.
inline constexpr std::string_view standardInputName = "-";

// The label of each picture's table: the format's label for a single picture; with several, one
// made from each file name without its folder and extension ("Picture" for standard input),
// each different from the others.
std::vector<std::string> tableLabels(const std::vector<std::string> &pictures,
                                     const TableFormat &format);

} // namespace quenzil
