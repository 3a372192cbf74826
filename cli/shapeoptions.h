#pragma once

#include "tableformat.h"

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

// The name standard input goes by among the pictures.
inline constexpr std::string_view standardInputName = "-";

// The label of each picture's table: the format's label for a single picture; with several, one
// made from each file name without its folder and extension ("Picture" for standard input),
// each different from the others.
std::vector<std::string> tableLabels(const std::vector<std::string> &pictures,
                                     const TableFormat &format);

} // namespace quenzil
