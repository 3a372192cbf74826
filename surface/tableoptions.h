#pragma once

#include "preparation.h"
#include "tableformat.h"

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

// The long names of the options that are settings, in the order the help lists them: "fit",
// "stretch", "pad", "resample", "background", "nearest", "dither", "radix", "label", "per-line",
// "size-line", "row-lines", "rle".
const std::vector<std::string_view> &settingNames();

// Applies one setting as the command takes it: `name` without dashes, `value` as typed after the
// option ("160x128", "hex"; a switch takes "true" or "false"). Returns the reason in one line,
// worded as the command's usage errors, or empty when applied; on a refusal nothing changes.
std::string applySetting(TableSettings &settings, std::string_view name, std::string_view value);

// Every setting that differs from the default, as the (name, value) pairs that applySetting()
// takes back, in the order of settingNames().
std::vector<std::pair<std::string, std::string>> settingValues(const TableSettings &settings);

// What is wrong with a combination of settings (--pad without --fit, an odd count per line with
// run-length pairs, ...), in one line, or empty when they are sound.
std::string settingsError(const TableSettings &settings);

} // namespace quenzil
