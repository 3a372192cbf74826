#pragma once

#include "preparation.h"
#include "tableformat.h"

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quenzil {

// What shapes a table beyond the picture itself: how the picture is prepared for the display and
// how the table is written. The default is the plain table of the picture as read. quenzil-table
// takes these as options; the window keeps them as its settings, each under the option's long
// name without its dashes.
struct TableSettings
{
    Preparation preparation;
    TableFormat format;

    friend bool operator==(const TableSettings &, const TableSettings &) = default;
};

// One option that is a setting, declared once: the command's parser and help, the window's
// stored settings and every message about a value come from these rows.
struct SettingOption
{
    // The long name without its dashes ("per-line").
    std::string_view name;
    // What the value is called in the help ("N"); empty for a switch, which takes "true" or
    // "false" where a value is written out (the window's settings).
    std::string_view valueName;
    std::string_view help;
    // Applies a value; returns the reason it was refused (the part after "option '--NAME': "),
    // or empty. On a refusal nothing changes.
    std::string (*apply)(TableSettings &settings, std::string_view value);
    // The value as apply() takes it back; nothing where the setting has its default.
    std::optional<std::string> (*value)(const TableSettings &settings);

    bool isSwitch() const { return valueName.empty(); }
};

// Every setting, in the order the help lists them: "fit", "stretch", "pad", "resample",
// "background", "nearest", "dither", "radix", "label", "per-line", "size-line", "row-lines",
// "rle".
const std::vector<SettingOption> &settingOptions();

// The long names of settingOptions(), in their order.
const std::vector<std::string_view> &settingNames();

// Applies one setting as the command takes it: `name` without dashes, `value` as typed after the
// option ("160x128", "hex"; a switch takes "true" or "false"). Returns the usage error in one
// line ("option '--radix': 'oct' is not bin, hex or dec"), or empty when applied; on a refusal
// nothing changes.
std::string applySetting(TableSettings &settings, std::string_view name, std::string_view value);

// Every setting that differs from the default, as the (name, value) pairs that applySetting()
// takes back, in the order of settingNames().
std::vector<std::pair<std::string, std::string>> settingValues(const TableSettings &settings);

// What is wrong with a combination of settings (--pad without --fit, an odd count per line with
// run-length pairs, or a label or count that the options would refuse), in one line, or empty
// when they are sound: a table is built only in a sound format.
std::string settingsError(const TableSettings &settings);

// What is wrong with giving these settings together, in one line, or empty: --fit and --stretch
// are two ways to one size, so the second of them given is refused.
std::string settingsClash(const std::vector<std::string_view> &given);

// Text from a command line or a file as a message shows it, quoted: valid UTF-8 as it is, a byte
// that is not UTF-8 and every control character as \xHH, so nothing typed reaches the terminal
// raw. "'a\x1B[2Jb'".
std::string quotedText(std::string_view text);

// A whole number typed by a user: ASCII digits only (no sign, no spaces; leading zeros are
// fine), from `least` to `most`; nothing otherwise.
std::optional<unsigned> parseNumber(std::string_view text, unsigned least, unsigned most);

} // namespace quenzil
