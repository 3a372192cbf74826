// Reading quenzil-table's arguments: the options and settings read, or the one-line usage error.
#include "commandline.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace quenzil;
using Action = CommandLine::Action;

namespace {

struct Case
{
    std::vector<std::string> arguments;
    // For a run: the files and every setting differing from the default, as "o=t.txt
    // preview=p.png invert stats fit=5x5 ... | a.bmp b.bmp"; for a usage error its message;
    // "help" or "version".
    std::string expected;
};

void PrintTo(const Case &c, std::ostream *out)
{
    for (const std::string &argument : c.arguments)
        *out << argument << ' ';
}

std::string summary(const CommandLine &result)
{
    switch (result.action) {
    case Action::Help:
        return "help";
    case Action::Version:
        return "version";
    case Action::UsageError:
        return result.error;
    case Action::Run:
        break;
    }
    const CommandOptions &options = result.options;
    std::string text;
    if (!options.output.empty())
        text += "o=" + options.output + " ";
    if (!options.preview.empty())
        text += "preview=" + options.preview + " ";
    if (options.table.preparation.invert)
        text += "invert ";
    if (options.stats)
        text += "stats ";
    for (const auto &[name, value] : storedValues(options.table))
        text += name + "=" + value + " ";
    text += "|";
    for (const std::string &picture : options.pictures)
        text += " " + picture;
    return text;
}

// Rows are named by number: their arguments hold bytes a test name cannot.
std::string rowNumber(const ::testing::TestParamInfo<Case> &info)
{
    return std::to_string(info.index);
}

class ParseCommandLine : public ::testing::TestWithParam<Case>
{
};

TEST_P(ParseCommandLine, givesTheOptionsOrTheError)
{
    EXPECT_EQ(summary(parseCommandLine(GetParam().arguments)), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Runs, ParseCommandLine,
    ::testing::Values(
        Case{{"a.bmp"}, "| a.bmp"},
        Case{{"--invert", "--preview", "p.png", "-o", "t.txt", "--stats", "a.bmp"},
             "o=t.txt preview=p.png invert stats | a.bmp"},
        Case{{"-ot.txt", "--preview=p.png", "a.bmp"}, "o=t.txt preview=p.png | a.bmp"},
        Case{{"--invert", "--", "-o", "--help"}, "invert | -o --help"},
        Case{{"-", "b.bmp"}, "| - b.bmp"},
        Case{{"-o", "-", "a.bmp"}, "| a.bmp"}, // "-" is standard output
        Case{{"-o", "t.txt", "--preview", "-", "a.bmp"}, "o=t.txt preview=- | a.bmp"},
        Case{{"bad\xff.bmp"}, "| bad\xff.bmp"}, // a picture's name keeps its bytes
        // The settings, each from its row; a later value wins.
        Case{{"--fit", "160x128", "--pad", "--background", "#ffffff", "--dither", "diffuse",
              "--resample", "nearest", "a.bmp"},
             "fit=160x128 pad=true resample=nearest background=FFFFFF dither=diffuse | a.bmp"},
        Case{{"--radix", "dec", "--radix=hex", "--label", "Logo", "--per-line", "16", "--size-line",
              "--row-lines", "--rle", "a.bmp"},
             "radix=hex label=Logo per-line=16 size-line=true row-lines=true rle=true | a.bmp"},
        // One rule for every number: digits only, leading zeros are fine.
        Case{{"--per-line", "0008", "--fit", "00005x00005", "a.bmp"}, "fit=5x5 | a.bmp"},
        Case{{"--stretch", "000005x5", "a.bmp"}, "stretch=5x5 | a.bmp"},
        Case{{"--help", "--bogus"}, "help"}, Case{{"a.bmp", "-v"}, "version"}));

INSTANTIATE_TEST_SUITE_P(
    UsageErrors, ParseCommandLine,
    ::testing::Values(
        Case{{}, "no PICTURE given"}, Case{{"--invert"}, "no PICTURE given"},
        Case{{"--inverse", "a.bmp"}, "unknown option '--inverse'"},
        Case{{"--x\x1b", "a.bmp"}, "unknown option '--x\\x1B'"},
        Case{{"a.bmp", "-o"}, "option '-o' needs a value (OUT)"},
        Case{{"a.bmp", "--fit"}, "option '--fit' needs a value (WxH)"},
        Case{{"--rle=1", "a.bmp"}, "option '--rle' takes no value"},
        Case{{"--preview=", "a.bmp"}, "option '--preview': the file name is empty"},
        Case{{"-o", "t\xff.txt", "a.bmp"},
             "option '-o': 't\\xFF.txt' is not valid UTF-8; only PICTURE may have such a name"},
        Case{{"--per-line", " 8", "a.bmp"},
             "option '--per-line': ' 8' is not a number from 1 to 64"},
        Case{{"--per-line", "8 ", "a.bmp"},
             "option '--per-line': '8 ' is not a number from 1 to 64"},
        Case{{"--per-line", "+8", "a.bmp"},
             "option '--per-line': '+8' is not a number from 1 to 64"},
        Case{{"--fit", "+5x5", "a.bmp"},
             "option '--fit': '+5x5' is not a size WxH with each side 1 to 8192"},
        Case{{"--fit", "5x 5", "a.bmp"},
             "option '--fit': '5x 5' is not a size WxH with each side 1 to 8192"},
        // Values reach the terminal readably: no raw byte, no escape sequence.
        Case{{"--radix", "\xff", "a.bmp"}, "option '--radix': '\\xFF' is not bin, hex or dec"},
        Case{{"--label", "a\x1b[2Jb", "a.bmp"},
             "option '--label': 'a\\x1B[2Jb' is not a BASIC label (a letter, then letters, digits "
             "or _, at most 32)"},
        Case{{"--pad", "a.bmp"}, "option '--pad' needs '--fit'"},
        Case{{"--fit", "5x5", "--stretch", "6x6", "a.bmp"},
             "option '--stretch' cannot go with '--fit'"},
        Case{{"--rle", "--per-line", "7", "a.bmp"},
             "option '--rle' needs an even '--per-line', not 7"},
        Case{{"a.bmp", "--preview=p.png", "b.bmp"},
             "option '--preview' shows one PICTURE; 2 were given"},
        Case{{"--label", "A", "a.bmp", "b.bmp"},
             "option '--label' names the table of one PICTURE; 2 were given"},
        Case{{"-", "a.bmp", "-"}, "standard input ('-') can be read only once"},
        Case{{"--preview", "-", "a.bmp"},
             "option '--preview': '-' (standard output) needs '-o' for the table"},
        Case{{"-o", "x", "--preview", "./d/../x", "a.bmp"},
             "the table and the preview cannot both go to 'x'"}),
    rowNumber);

} // namespace
