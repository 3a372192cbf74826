#include "commandline.h"

#include <gtest/gtest.h>

#include <optional>
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
    {"two pictures",
     {"a.bmp", "b.bmp"},
     Action::UsageError,
     {},
     "more than one PICTURE given ('a.bmp', 'b.bmp')"},
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

using Scaling = PicturePreparation::Scaling;
using Resampling = PicturePreparation::Resampling;

struct PrepareCase
{
    const char *name;
    std::vector<std::string> arguments;
    std::string error; // empty: runs with the options below
    Scaling scaling = Scaling::None;
    QSize box = {};
    bool pad = false;
    Resampling resampling = Resampling::Smooth;
    std::optional<QRgb> background = {};
    ColourReduction reduction = ColourReduction::Bands;
};

std::ostream &operator<<(std::ostream &out, const PrepareCase &c)
{
    return out << c.name;
}

class ParsePrepareOptions : public ::testing::TestWithParam<PrepareCase>
{
};

TEST_P(ParsePrepareOptions, GivesThePreparationOrTheError)
{
    const PrepareCase &c = GetParam();
    std::vector<std::string> arguments = c.arguments;
    arguments.push_back("a.bmp");
    const CommandLine result = parseCommandLine(arguments);
    EXPECT_EQ(result.error, c.error);
    if (!c.error.empty()) {
        EXPECT_EQ(result.action, Action::UsageError);
        return;
    }
    ASSERT_EQ(result.action, Action::Run);
    const PrepareOptions &options = result.options.prepare;
    EXPECT_EQ(options.preparation.scaling, c.scaling);
    EXPECT_EQ(options.preparation.box.width(), c.box.width());
    EXPECT_EQ(options.preparation.box.height(), c.box.height());
    EXPECT_EQ(options.preparation.pad, c.pad);
    EXPECT_EQ(options.preparation.resampling, c.resampling);
    EXPECT_EQ(options.preparation.background, c.background);
    EXPECT_EQ(options.reduction, c.reduction);
}

std::string badSize(const std::string &option, const std::string &value)
{
    return "invalid size for " + option + ": '" + value + "' (expected WxH, each 1 to 8192)";
}

const PrepareCase prepareCases[] = {
    {"none", {}, ""},
    {"fit", {"--fit", "320x240"}, "", Scaling::Fit, {320, 240}},
    {"stretch with nearest resampling",
     {"--resample", "nearest", "--stretch=1x8192"},
     "",
     Scaling::Stretch,
     {1, 8192},
     false,
     Resampling::Nearest},
    {"fit padded on a background",
     {"--pad", "--background", "#12aB5f", "--fit", "8192x1"},
     "",
     Scaling::Fit,
     {8192, 1},
     true,
     Resampling::Smooth,
     0xFF12AB5Fu},
    {"background without a hash",
     {"--background", "FFFFFF"},
     "",
     Scaling::None,
     {},
     false,
     Resampling::Smooth,
     0xFFFFFFFFu},
    {"nearest",
     {"--nearest"},
     "",
     Scaling::None,
     {},
     false,
     Resampling::Smooth,
     {},
     ColourReduction::Nearest},
    {"dither none keeps nearest",
     {"--dither", "none", "--nearest"},
     "",
     Scaling::None,
     {},
     false,
     Resampling::Smooth,
     {},
     ColourReduction::Nearest},
    {"ordered",
     {"--dither", "ordered"},
     "",
     Scaling::None,
     {},
     false,
     Resampling::Smooth,
     {},
     ColourReduction::Ordered},
    {"diffuse wins over nearest",
     {"--nearest", "--dither=diffuse"},
     "",
     Scaling::None,
     {},
     false,
     Resampling::Smooth,
     {},
     ColourReduction::Diffuse},

    {"side zero", {"--fit", "0x5"}, badSize("--fit", "0x5")},
    {"side too large", {"--stretch", "8193x5"}, badSize("--stretch", "8193x5")},
    {"side overflowing", {"--fit", "4294967297x5"}, badSize("--fit", "4294967297x5")},
    {"no height", {"--fit", "10x"}, badSize("--fit", "10x")},
    {"no width", {"--fit", "x10"}, badSize("--fit", "x10")},
    {"signed side", {"--fit", "+5x5"}, badSize("--fit", "+5x5")},
    {"capital cross", {"--fit", "5X5"}, badSize("--fit", "5X5")},
    {"three sides", {"--fit", "5x5x5"}, badSize("--fit", "5x5x5")},
    {"space inside", {"--fit", "5 x5"}, badSize("--fit", "5 x5")},
    {"fit and stretch",
     {"--fit", "5x5", "--stretch", "5x5"},
     "--fit and --stretch cannot be used together"},
    {"pad alone", {"--pad"}, "--pad needs --fit"},
    {"pad with stretch", {"--stretch", "5x5", "--pad"}, "--pad needs --fit"},
    {"short colour",
     {"--background", "12345"},
     "invalid colour for --background: '12345' (RRGGBB or #RRGGBB)"},
    {"long colour",
     {"--background", "#1234567"},
     "invalid colour for --background: '#1234567' (RRGGBB or #RRGGBB)"},
    {"not hexadecimal",
     {"--background", "GG0000"},
     "invalid colour for --background: 'GG0000' (RRGGBB or #RRGGBB)"},
    {"unknown resampling",
     {"--resample", "cubic"},
     "invalid mode for --resample: 'cubic' (smooth or nearest)"},
    {"unknown dither",
     {"--dither", "floyd"},
     "invalid mode for --dither: 'floyd' (none, ordered or diffuse)"},
};

INSTANTIATE_TEST_SUITE_P(Cases, ParsePrepareOptions, ::testing::ValuesIn(prepareCases),
                         [](const ::testing::TestParamInfo<PrepareCase> &info) {
                             std::string name = info.param.name;
                             for (char &c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return name;
                         });

TEST(ParsePrepareOptions, NamesTheValueAMissingOneWouldBe)
{
    EXPECT_EQ(parseCommandLine({"a.bmp", "--fit"}).error, "option '--fit' needs a size WxH");
    EXPECT_EQ(parseCommandLine({"a.bmp", "--dither"}).error,
              "option '--dither' needs a mode (none, ordered or diffuse)");
}

} // namespace
