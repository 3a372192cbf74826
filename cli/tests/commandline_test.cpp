#include "commandline.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace quenzil;
using Action = CommandLine::Action;

namespace {

struct Case
{
    const char *name;
    std::vector<std::string> arguments;
    Action action;
    TableOptions options; // for Run
    std::string error;    // for UsageError
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
