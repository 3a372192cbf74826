// The settings as both front ends read and write them: values in, values out, the messages.
#include "tableoptions.h"

#include <gtest/gtest.h>

namespace quenzil {
namespace {

struct Applied
{
    std::vector<std::pair<std::string, std::string>> given;
    // What settingValues() gives back: the same unless a value is the default or is written
    // another way ("#ffffff" comes back as "FFFFFF").
    std::vector<std::pair<std::string, std::string>> written;
};

class SettingRoundTrip : public testing::TestWithParam<Applied>
{
};

TEST_P(SettingRoundTrip, comesBackAsWritten)
{
    TableSettings settings;
    for (const auto &[name, value] : GetParam().given)
        ASSERT_EQ(applySetting(settings, name, value), "") << name << "=" << value;
    EXPECT_EQ(settingValues(settings), GetParam().written);
    TableSettings again;
    for (const auto &[name, value] : settingValues(settings))
        ASSERT_EQ(applySetting(again, name, value), "");
    EXPECT_EQ(again, settings);
}

INSTANTIATE_TEST_SUITE_P(
    Settings, SettingRoundTrip,
    testing::Values(
        Applied{{}, {}},
        Applied{{{"fit", "160x128"}, {"pad", "true"}, {"background", "#ffffff"}},
                {{"fit", "160x128"}, {"pad", "true"}, {"background", "FFFFFF"}}},
        Applied{{{"stretch", "00128x0160"}, {"resample", "nearest"}},
                {{"stretch", "128x160"}, {"resample", "nearest"}}},
        Applied{{{"resample", "smooth"}, {"radix", "bin"}, {"per-line", "8"}, {"label", "Picture"}},
                {}},
        // A dither works with the nearest levels anyway; "none" leaves --nearest standing.
        Applied{{{"nearest", "true"}, {"dither", "diffuse"}}, {{"dither", "diffuse"}}},
        Applied{{{"dither", "ordered"}, {"nearest", "true"}}, {{"dither", "ordered"}}},
        Applied{{{"nearest", "true"}, {"dither", "none"}}, {{"nearest", "true"}}},
        Applied{{{"radix", "hex"},
                 {"label", "Logo_2"},
                 {"per-line", "16"},
                 {"size-line", "true"},
                 {"row-lines", "true"},
                 {"rle", "true"}},
                {{"radix", "hex"},
                 {"label", "Logo_2"},
                 {"per-line", "16"},
                 {"size-line", "true"},
                 {"row-lines", "true"},
                 {"rle", "true"}}},
        Applied{{{"rle", "true"}, {"rle", "false"}}, {}}));

struct Refused
{
    std::string name;
    std::string value;
    std::string error;
};

class SettingRefusal : public testing::TestWithParam<Refused>
{
};

TEST_P(SettingRefusal, saysWhyAndChangesNothing)
{
    TableSettings settings;
    ASSERT_EQ(applySetting(settings, "per-line", "4"), "");
    const TableSettings before = settings;
    EXPECT_EQ(applySetting(settings, GetParam().name, GetParam().value), GetParam().error);
    EXPECT_EQ(settings, before);
}

INSTANTIATE_TEST_SUITE_P(
    Settings, SettingRefusal,
    testing::Values(
        Refused{"fit", "160x", "option '--fit': '160x' is not a size WxH with each side 1 to 8192"},
        Refused{"fit", "0x5", "option '--fit': '0x5' is not a size WxH with each side 1 to 8192"},
        Refused{"stretch", "8193x1",
                "option '--stretch': '8193x1' is not a size WxH with each side 1 to 8192"},
        // One rule for every number: digits only.
        Refused{"per-line", " 8", "option '--per-line': ' 8' is not a number from 1 to 64"},
        Refused{"per-line", "+8", "option '--per-line': '+8' is not a number from 1 to 64"},
        Refused{"per-line", "8 ", "option '--per-line': '8 ' is not a number from 1 to 64"},
        Refused{"per-line", "65", "option '--per-line': '65' is not a number from 1 to 64"},
        Refused{"per-line", "99999999999",
                "option '--per-line': '99999999999' is not a number "
                "from 1 to 64"},
        Refused{"radix", "oct", "option '--radix': 'oct' is not bin, hex or dec"},
        Refused{"radix", "\xff", "option '--radix': '\\xFF' is not bin, hex or dec"},
        Refused{"dither", "x", "option '--dither': 'x' is not none, ordered or diffuse"},
        Refused{"resample", "", "option '--resample': '' is not smooth or nearest"},
        Refused{"background", "#12345", "option '--background': '#12345' is not a colour RRGGBB"},
        Refused{"label", "a\x1b[2Jb",
                "option '--label': 'a\\x1B[2Jb' is not a BASIC label (a letter, then letters, "
                "digits or _, at most 32)"},
        Refused{"pad", "yes", "option '--pad': 'yes' is not true or false"},
        Refused{"colour", "1", "unknown option '--colour'"}));

TEST(SettingCombination, saysWhatIsWrong)
{
    TableSettings settings;
    EXPECT_EQ(settingsError(settings), "");
    settings.preparation.pad = true;
    EXPECT_EQ(settingsError(settings), "option '--pad' needs '--fit'");
    settings.preparation.scaling = Preparation::Scaling::Fit;
    settings.preparation.box = {4, 4};
    EXPECT_EQ(settingsError(settings), "");
    settings.format.runLength = true;
    settings.format.perLine = 7;
    EXPECT_EQ(settingsError(settings), "option '--rle' needs an even '--per-line', not 7");
}

TEST(SettingCombination, holdsAFormatSetDirectlyToTheOptionsRules)
{
    struct Row
    {
        std::string label;
        unsigned perLine;
        bool runLength;
        bool sound;
    };
    const Row rows[] = {
        {"Picture", 8, false, true},
        {"a", 1, false, true},
        {"A1_b", 64, true, true},
        {std::string(32, 'a'), 8, false, true},
        {std::string(33, 'a'), 8, false, false},
        {"", 8, false, false},
        {"1abc", 8, false, false},
        {"_abc", 8, false, false},
        {"a-b", 8, false, false},
        {"a b", 8, false, false},
        {"\xc3\xa9t\xc3\xa9", 8, false, false},
        {"Ok", 0, false, false},
        {"Ok", 65, false, false},
        {"Ok", 7, true, false},
        {"Ok", 2, true, true},
    };
    for (const Row &row : rows) {
        TableSettings settings;
        settings.format.label = row.label;
        settings.format.perLine = row.perLine;
        settings.format.runLength = row.runLength;
        EXPECT_EQ(settingsError(settings).empty(), row.sound) << row.label << " " << row.perLine;
    }
    TableSettings settings;
    settings.format.label = "a b";
    EXPECT_EQ(settingsError(settings), "option '--label': 'a b' is not a BASIC label (a letter, "
                                       "then letters, digits or _, at most 32)");
}

TEST(Quoting, showsEveryByteReadably)
{
    const std::pair<std::string, std::string> rows[] = {
        {"plain.bmp", "'plain.bmp'"},
        {"gr\xc3\xbc\xc3\x9f.bmp", "'gr\xc3\xbc\xc3\x9f.bmp'"}, // valid UTF-8 stays
        {"a\xff"
         "b",
         "'a\\xFFb'"},
        {"\xc3", "'\\xC3'"},                   // a sequence cut short
        {"\xc0\xaf", "'\\xC0\\xAF'"},          // an overlong form
        {"\xed\xa0\x80", "'\\xED\\xA0\\x80'"}, // a surrogate
        {"line\r\n\t", "'line\\x0D\\x0A\\x09'"},
        {"\xc2\x9b"
         "2J",
         "'\\xC2\\x9B2J'"}, // a C1 control character
        {"\x7f", "'\\x7F'"},
    };
    for (const auto &[text, shown] : rows)
        EXPECT_EQ(quotedText(text), shown);
}

} // namespace
} // namespace quenzil
