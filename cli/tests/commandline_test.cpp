#include "commandline.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

using namespace quenzil;
using Action = CommandLine::Action;

namespace {

// The file options and --invert a run is expected with (TableOptions has more members).
struct ExpectedOptions
{
    std::string picture;
    std::string output;
    std::string preview;
    bool invert = false;
};

struct Case
{
    const char *name;
    std::vector<std::string> arguments;
    Action action;
    ExpectedOptions options; // for Run
    std::string error;       // for UsageError
};

std::ostream &operator<<(std::ostream &out, const Case &c)
{
    return out << c.name;
}

class ParseCommandLine : public ::testing::TestWithParam<Case>
{
};

TEST_P(ParseCommandLine, GivesActionOptionsAndError)
{
    const Case &c = GetParam();
    const CommandLine result = parseCommandLine(c.arguments);
    EXPECT_EQ(result.action, c.action);
    EXPECT_EQ(result.error, c.error);
    if (c.action == Action::Run) {
        EXPECT_EQ(result.options.picture, c.options.picture);
        EXPECT_EQ(result.options.output, c.options.output);
        EXPECT_EQ(result.options.preview, c.options.preview);
        EXPECT_EQ(result.options.invert, c.options.invert);
    }
}

const Case cases[] = {
    {"picture alone", {"a.bmp"}, Action::Run, {"a.bmp", "", "", false}, ""},
    {"every option",
     {"--invert", "--preview", "p.png", "-o", "t.txt", "a.bmp"},
     Action::Run,
     {"a.bmp", "t.txt", "p.png", true},
     ""},
    {"options after the picture",
     {"a.bmp", "-o", "t.txt", "--invert"},
     Action::Run,
     {"a.bmp", "t.txt", "", true},
     ""},
    {"joined values",
     {"-ot.txt", "--preview=p.png", "a.bmp"},
     Action::Run,
     {"a.bmp", "t.txt", "p.png", false},
     ""},
    {"-- lets a picture start with a dash",
     {"--invert", "--", "-o"},
     Action::Run,
     {"-o", "", "", true},
     ""},
    {"a lone dash is a name", {"-"}, Action::Run, {"-", "", "", false}, ""},
    {"help", {"--help"}, Action::Help, {}, ""},
    {"help wins over a usage error", {"--bogus", "--help"}, Action::Help, {}, ""},
    {"version", {"a.bmp", "--version"}, Action::Version, {}, ""},
    {"help after -- is a picture", {"--", "--help"}, Action::Run, {"--help", "", "", false}, ""},
    {"nothing", {}, Action::UsageError, {}, "no PICTURE given"},
    {"only options", {"--invert"}, Action::UsageError, {}, "no PICTURE given"},
    {"two pictures", {"a.bmp", "b.bmp"}, Action::Run, {"a.bmp", "", "", false}, ""},
    {"unknown option",
     {"--inverse", "a.bmp"},
     Action::UsageError,
     {},
     "unknown option '--inverse'"},
    {"-o without a name", {"a.bmp", "-o"}, Action::UsageError, {}, "option '-o' needs a file name"},
    {"empty preview name",
     {"--preview=", "a.bmp"},
     Action::UsageError,
     {},
     "option '--preview' needs a file name"},
    {"table and preview to one file",
     {"-o", "x", "--preview", "x", "a.bmp"},
     Action::UsageError,
     {},
     "the table and the preview cannot both go to 'x'"},
    {"table and preview to one file through ./ and ..",
     {"-o", "x.png", "--preview", "./d/../x.png", "a.bmp"},
     Action::UsageError,
     {},
     "the table and the preview cannot both go to 'x.png'"},
    {"a picture name that is not UTF-8 keeps its bytes",
     {"bad\xff.bmp"},
     Action::Run,
     {"bad\xff.bmp", "", "", false},
     ""},
    {"an output name that is not UTF-8",
     {"-o", "t\xff.txt", "a.bmp"},
     Action::UsageError,
     {},
     "option '-o': the name 't\\xFF.txt' is not valid UTF-8; only PICTURE may have such a name"},
};

INSTANTIATE_TEST_SUITE_P(Cases, ParseCommandLine, ::testing::ValuesIn(cases),
                         [](const ::testing::TestParamInfo<Case> &info) {
                             std::string name = info.param.name;
                             for (char &c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return name;
                         });

} // namespace

namespace {

// Each row: the options before the picture, and the usage error they give or, when empty, a
// summary of the preparation read: scaling box pad resampling background reduction.
struct PrepareCase
{
    std::vector<std::string> arguments;
    std::string expected;
};

void PrintTo(const PrepareCase &c, std::ostream *out)
{
    for (const std::string &argument : c.arguments)
        *out << argument << ' ';
}

std::string summary(const PrepareOptions &options)
{
    const Preparation &p = options.preparation;
    char text[96];
    std::snprintf(text, sizeof text, "%d %dx%d %d %d %08X %d", int(p.scaling), p.box.width(),
                  p.box.height(), int(p.pad), int(p.resampling), p.background.value_or(0u),
                  int(p.reduction));
    return text;
}

class ParsePrepareOptions : public ::testing::TestWithParam<PrepareCase>
{
};

TEST_P(ParsePrepareOptions, GivesThePreparationOrTheError)
{
    std::vector<std::string> arguments = GetParam().arguments;
    arguments.push_back("a.bmp");
    const CommandLine result = parseCommandLine(arguments);
    EXPECT_EQ(result.action == Action::Run ? summary(result.options.prepare) : result.error,
              GetParam().expected);
}

std::string badSize(const std::string &value)
{
    return "invalid size for --fit: '" + value + "' (expected WxH, each 1 to 8192)";
}

// Scaling 0 none, 1 fit, 2 stretch; resampling 0 smooth, 1 nearest; reduction 0 bands,
// 1 nearest, 2 ordered, 3 diffuse.
const PrepareCase prepareCases[] = {
    {{}, "0 -1x-1 0 0 00000000 0"},
    {{"--fit", "320x240"}, "1 320x240 0 0 00000000 0"},
    {{"--resample", "nearest", "--stretch=1x8192"}, "2 1x8192 0 1 00000000 0"},
    {{"--pad", "--background", "#12aB5f", "--fit", "8192x1"}, "1 8192x1 1 0 FF12AB5F 0"},
    {{"--background", "FFFFFF", "--nearest"}, "0 -1x-1 0 0 FFFFFFFF 1"},
    {{"--dither", "none", "--nearest"}, "0 -1x-1 0 0 00000000 1"},
    {{"--dither", "ordered"}, "0 -1x-1 0 0 00000000 2"},
    {{"--nearest", "--dither=diffuse"}, "0 -1x-1 0 0 00000000 3"},
    {{"--fit", "0x5"}, badSize("0x5")},
    {{"--fit", "8193x5"}, badSize("8193x5")},
    {{"--fit", "4294967297x5"}, badSize("4294967297x5")},
    {{"--fit", "10x"}, badSize("10x")},
    {{"--fit", "+5x5"}, badSize("+5x5")},
    {{"--fit", "5X5"}, badSize("5X5")},
    {{"--fit", "5x5x5"}, badSize("5x5x5")},
    {{"--stretch", " 5x5"}, "invalid size for --stretch: ' 5x5' (expected WxH, each 1 to 8192)"},
    {{"--fit", "5x5", "--stretch", "5x5"}, "--fit and --stretch cannot be used together"},
    {{"--pad"}, "--pad needs --fit"},
    {{"--stretch", "5x5", "--pad"}, "--pad needs --fit"},
    {{"--background", "12345"}, "invalid colour for --background: '12345' (RRGGBB or #RRGGBB)"},
    {{"--background", "#GG0000"}, "invalid colour for --background: '#GG0000' (RRGGBB or #RRGGBB)"},
    {{"--resample", "cubic"}, "invalid mode for --resample: 'cubic' (smooth or nearest)"},
    {{"--dither", "floyd"}, "invalid mode for --dither: 'floyd' (none, ordered or diffuse)"},
};

INSTANTIATE_TEST_SUITE_P(Cases, ParsePrepareOptions, ::testing::ValuesIn(prepareCases));

TEST(ParsePrepareOptions, NamesTheValueAMissingOneWouldBe)
{
    EXPECT_EQ(parseCommandLine({"a.bmp", "--fit"}).error, "option '--fit' needs a size WxH");
    EXPECT_EQ(parseCommandLine({"a.bmp", "--dither"}).error,
              "option '--dither' needs a mode (none, ordered or diffuse)");
}

} // namespace
