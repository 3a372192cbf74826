// The settings as both front ends read and write them: values in, values out, the messages.
#include "settingrows.h"

#include <gtest/gtest.h>

namespace quenzil {

// Readable in a failure's message.
void PrintTo(const NamedValue &value, std::ostream *out)
{
    *out << value.name << "=" << value.value;
}
void PrintTo(const Refusal &refusal, std::ostream *out)
{
    *out << refusal.name << ": " << refusal.message;
}

namespace {

struct Applied
{
    std::vector<NamedValue> given;
    // What storedValues() gives back: the same unless a value is the default or is written
    // another way ("#ffffff" comes back as "FFFFFF").
    std::vector<NamedValue> written;
};

class SettingRoundTrip : public testing::TestWithParam<Applied>
{
};

TEST_P(SettingRoundTrip, comesBackAsWritten)
{
    Options options;
    ASSERT_EQ(applySettings(options, GetParam().given, {Reach::Setting}), std::vector<Refusal>{});
    EXPECT_EQ(storedValues(options.table), GetParam().written);
    Options again;
    ASSERT_EQ(applySettings(again, storedValues(options.table), {Reach::Setting}),
              std::vector<Refusal>{});
    EXPECT_EQ(again, options);
}

INSTANTIATE_TEST_SUITE_P(
    Settings, SettingRoundTrip,
    testing::Values(
        Applied{{}, {}},
        Applied{{{"fit", "160x128"}, {"pad", "true"}, {"background", "#ffffff"}},
                {{"fit", "160x128"}, {"pad", "true"}, {"background", "FFFFFF"}}},
        Applied{{{"stretch", "00128x0160"}, {"resample", "nearest"}},
                {{"stretch", "128x160"}, {"resample", "nearest"}}},
        Applied{{{"fill", "320x240"}, {"background", "000000"}},
                {{"fill", "320x240"}, {"background", "000000"}}},
        Applied{{{"fit", "4096x8192"}, {"pad", "true"}}, {{"fit", "4096x8192"}, {"pad", "true"}}},
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
        Applied{{{"rle", "true"}, {"rle", "false"}}, {}},
        Applied{{{"dialect", "classic"},
                 {"radix", "dec"},
                 {"line-start", "00100"},
                 {"line-step", "1"},
                 {"max-line", "80"},
                 {"key", "0"}},
                {{"key", "0"},
                 {"dialect", "classic"},
                 {"radix", "dec"},
                 {"max-line", "80"},
                 {"line-start", "100"},
                 {"line-step", "1"}}},
        // The defaults, and an empty key for none.
        Applied{{{"dialect", "mmbasic"},
                 {"max-line", "0"},
                 {"line-start", "1000"},
                 {"line-step", "10"},
                 {"key", "7"},
                 {"key", ""}},
                {}}));

struct Refused
{
    std::vector<NamedValue> given;
    // The refusals, each as the name refused and its message; the other values are taken.
    std::vector<Refusal> refusals;
    // What is left, as stored values; a count of 4 a line was set before.
    std::vector<NamedValue> left;
};

class SettingRefusal : public testing::TestWithParam<Refused>
{
};

TEST_P(SettingRefusal, saysWhyAndLeavesTheSettingAsItWas)
{
    Options options;
    ASSERT_EQ(applySettings(options, {{"per-line", "4"}}, {Reach::Setting}),
              std::vector<Refusal>{});
    EXPECT_EQ(applySettings(options, GetParam().given, {Reach::Setting, Reach::Command}),
              GetParam().refusals);
    EXPECT_EQ(storedValues(options.table), GetParam().left);
    // Whatever was refused, what is left is sound.
    EXPECT_EQ(settingsError(options.table), "");
}

Refused refused(std::string name, std::string value, std::string message)
{
    return {{{name, value}}, {{name, message}}, {{"per-line", "4"}}};
}

INSTANTIATE_TEST_SUITE_P(
    Values, SettingRefusal,
    testing::Values(
        refused("fit", "160x", "option '--fit': '160x' is not a size WxH with each side 1 to 8192"),
        refused("fit", "0x5", "option '--fit': '0x5' is not a size WxH with each side 1 to 8192"),
        refused("stretch", "8193x1",
                "option '--stretch': '8193x1' is not a size WxH with each side 1 to 8192"),
        // A box the prepared picture may fill is held to the pixel limit, 8192 x 4096.
        refused("fit", "8192x8192",
                "option '--fit': '8192x8192' is 67108864 pixels, more than the 33554432 a picture "
                "may have"),
        refused("stretch", "4097x8192",
                "option '--stretch': '4097x8192' is 33562624 pixels, more than the 33554432 a "
                "picture may have"),
        // One rule for every number: digits only.
        refused("per-line", " 8", "option '--per-line': ' 8' is not a number from 1 to 64"),
        refused("per-line", "+8", "option '--per-line': '+8' is not a number from 1 to 64"),
        refused("per-line", "8 ", "option '--per-line': '8 ' is not a number from 1 to 64"),
        refused("per-line", "65", "option '--per-line': '65' is not a number from 1 to 64"),
        refused("per-line", "99999999999",
                "option '--per-line': '99999999999' is not a number from 1 to 64"),
        refused("radix", "oct", "option '--radix': 'oct' is not bin, hex or dec"),
        refused("radix", "\xff", "option '--radix': '\\xFF' is not bin, hex or dec"),
        refused("dither", "x", "option '--dither': 'x' is not none, ordered or diffuse"),
        refused("resample", "", "option '--resample': '' is not smooth or nearest"),
        refused("background", "#12345", "option '--background': '#12345' is not a colour RRGGBB"),
        refused("label", "a\x1b[2Jb",
                "option '--label': 'a\\x1B[2Jb' is not a BASIC label (a letter, then letters, "
                "digits or _, at most 32)"),
        refused("pad", "yes", "option '--pad': 'yes' is not true or false"),
        refused("colour", "1", "unknown option '--colour'"),
        refused("o", "", "option '-o': the file name is empty"),
        // The window's colours are no option of the command's.
        refused("colours", "nearest", "unknown option '--colours'"),
        refused("dialect", "gwbasic", "option '--dialect': 'gwbasic' is not mmbasic or classic"),
        refused("key", "256", "option '--key': '256' is not a code from 0 to 255"),
        refused("key", "-1", "option '--key': '-1' is not a code from 0 to 255"),
        refused("line-start", "0", "option '--line-start': '0' is not a number from 1 to 65529"),
        refused("line-step", "65530",
                "option '--line-step': '65530' is not a number from 1 to 65529"),
        refused("max-line", "65536",
                "option '--max-line': '65536' is not a number from 0 to 65535")));

INSTANTIATE_TEST_SUITE_P(
    Together, SettingRefusal,
    testing::Values(
        // Two ways to one size: the later row is refused, the earlier stands.
        Refused{{{"stretch", "10x10"}, {"fit", "4x4"}},
                {{"stretch", "option '--stretch' cannot go with '--fit'"}},
                {{"fit", "4x4"}, {"per-line", "4"}}},
        Refused{{{"fill", "10x10"}, {"stretch", "4x4"}},
                {{"fill", "option '--fill' cannot go with '--stretch'"}},
                {{"stretch", "4x4"}, {"per-line", "4"}}},
        Refused{{{"pad", "true"}, {"fill", "4x4"}},
                {{"pad", "option '--pad' cannot go with '--fill'"}},
                {{"fill", "4x4"}, {"per-line", "4"}}},
        Refused{{{"pad", "true"}}, {{"pad", "option '--pad' needs '--fit'"}}, {{"per-line", "4"}}},
        Refused{{{"pad", "true"}, {"stretch", "4x4"}},
                {{"pad", "option '--pad' needs '--fit'"}},
                {{"stretch", "4x4"}, {"per-line", "4"}}},
        Refused{{{"rle", "true"}, {"per-line", "7"}},
                {{"rle", "option '--rle' needs an even '--per-line', not 7"}},
                {{"per-line", "7"}}},
        // A refused count leaves the count standing, and the pairs with it.
        Refused{{{"rle", "true"}, {"per-line", "0"}},
                {{"per-line", "option '--per-line': '0' is not a number from 1 to 64"}},
                {{"per-line", "4"}, {"rle", "true"}}},
        // GW-BASIC and its kin read no &B: the dialect goes back to its default.
        Refused{{{"dialect", "classic"}},
                {{"dialect", "option '--dialect' 'classic' cannot go with '--radix bin': "
                             "GW-BASIC, QBasic, bwbasic read no &B numbers; use '--radix hex' "
                             "or '--radix dec'"}},
                {{"per-line", "4"}}},
        // "Data &B11111111" is 15 characters; with the classic line number 5 + 1 more.
        Refused{{{"max-line", "14"}},
                {{"max-line", "option '--max-line' 14 leaves no room for one number: a line of "
                              "one number has up to 15 characters"}},
                {{"per-line", "4"}}},
        Refused{{{"max-line", "15"}}, {}, {{"per-line", "4"}, {"max-line", "15"}}},
        Refused{{{"dialect", "classic"}, {"radix", "hex"}, {"rle", "true"}, {"max-line", "19"}},
                {{"max-line", "option '--max-line' 19 leaves no room for one number: a line of "
                              "one pair has up to 20 characters"}},
                {{"dialect", "classic"}, {"radix", "hex"}, {"per-line", "4"}, {"rle", "true"}}},
        // Decoding reads a table: nothing to invert, no preview beside the picture it writes.
        Refused{{{"invert", "true"}, {"decode", "true"}},
                {{"decode", "option '--decode' cannot go with '--invert'"}},
                {{"per-line", "4"}}}));

// The value a row's control shows where none is given is the default indeed.
TEST(SettingDefaults, areTheDefaultOptions)
{
    for (const SettingRow &row : settingRows()) {
        if (row.defaultValue.empty())
            continue;
        Options options;
        EXPECT_EQ(applySettings(options, {{std::string(row.name), std::string(row.defaultValue)}},
                                {row.reach}),
                  std::vector<Refusal>{});
        EXPECT_EQ(options, Options{}) << row.name;
    }
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
