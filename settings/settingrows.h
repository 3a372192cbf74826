#pragma once

#include "preparation.h"
#include "tableformat.h"

#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quenzil {

// What shapes a table beyond the picture itself: how the picture is prepared for the display and
// how the table is written. The default is the plain table of the picture as read.
struct TableSettings
{
    Preparation preparation;
    TableFormat format;

    friend bool operator==(const TableSettings &, const TableSettings &) = default;
};

// Everything a user can set: the table's settings, and where quenzil-table writes. The window
// uses the table's settings alone.
struct Options
{
    TableSettings table;
    // The table's file; empty for standard output.
    std::string output;
    // The preview's file; empty for none, "-" for standard output.
    std::string preview;
    // One line of figures per picture on standard error.
    bool stats = false;
    // Read tables back into pictures instead of writing them.
    bool decode = false;
    // The width of a decoded picture; 0 to take it from the table's size line.
    unsigned width = 0;

    friend bool operator==(const Options &, const Options &) = default;
};

// A setting by its name and its value as text, as a command line, the settings file or a dialog
// gives it: ("fit", "160x128"), ("rle", "true").
struct NamedValue
{
    std::string name;
    std::string value;

    friend bool operator==(const NamedValue &, const NamedValue &) = default;
};

// One value out of a row's fixed list: its name as typed ("diffuse") and its words in the window
// ("Diffuse dither").
struct Choice
{
    std::string_view name;
    std::string_view words;
};

// Where a row counts.
enum class Reach {
    // A command option, a setting the window keeps between starts and offers in its dialog.
    Setting,
    // A command option alone (the window's Invers box applies "invert" as well, not kept).
    Command,
    // One control of the window's dialog that stands for several options (the colours).
    Dialog,
};

// One setting, declared once: the command's parser, its help, the window's stored settings, the
// dialog's controls and every message about a value come from these rows. Rows are written with
// designated initializers, so that a field added later leaves the others as they are.
struct SettingRow
{
    // The long name without its dashes ("per-line"); one letter for a short option ("o").
    std::string_view name;
    // What the value is called in the help ("N"); empty for a switch, which takes "true" or
    // "false" where a value is written out.
    std::string_view valueName;
    // The command's help.
    std::string_view help;
    Reach reach;
    // What the window calls the setting ("Numbers per line").
    std::string_view words;
    // The values to choose from, for a value out of a list; empty for any other.
    std::vector<Choice> choices = {};
    // Applies a value; returns the reason it was refused (the part after "option '--NAME': "),
    // or empty. On a refusal nothing changes.
    std::string (*apply)(Options &options, std::string_view value);
    // The value as apply() takes it back; nothing where the setting has its default.
    std::optional<std::string> (*value)(const Options &options);
    // Rows given before this one in settingRows() that cannot be given together with it.
    std::vector<std::string_view> clashes = {};
    // Why the value, set, cannot stand beside the others once all are applied ("needs --fit");
    // null where it always can. A refusal turns the setting back to its default, `unset`.
    std::string (*check)(const Options &options) = nullptr;

    // The window's side of the row (Reach::Setting and Reach::Dialog rows).
    // The group of the dialog the row's control sits in ("Display", "Table"); empty for a row
    // with no control of its own.
    std::string_view group = {};
    // The control's tooltip, written for a user.
    std::string_view tip = {};
    // For a whole number: the least and the most it may be (most 0: the value is no number).
    unsigned least = 0;
    unsigned most = 0;
    // What the window says of a value the row refuses, in a sentence that names the field.
    std::string_view refusalWords = {};
    // What the window says when check() refuses the value beside the others.
    std::string_view checkWords = {};
    // For a number or a text: the value as apply() takes it that the setting has where none is
    // given ("8", "Picture"), which the dialog shows then; empty where the setting is then off
    // (the dialog's field is left empty, or a number shows "None").
    std::string_view defaultValue = {};
    // The value apply() takes to turn the setting back to its default, where check() refuses it.
    std::string_view unset = "false";

    bool isSwitch() const { return valueName.empty(); }
};

// Every row, in the order the help lists them and values are applied: "invert", "preview", "o",
// the table's settings ("fit" ... "rle"), "stats", then the dialog's "colours".
const std::vector<SettingRow> &settingRows();

// The row of that name, or null.
const SettingRow *findSettingRow(std::string_view name);

// Whose words a refusal is told in.
enum class Voice {
    // The command's usage error: "option '--label': '7' is not a BASIC label (...)".
    Command,
    // A sentence for the window's user that names the field, from the rows' refusalWords and
    // checkWords: "The label must start with a letter ...".
    Window,
};

// A value that applySettings() did not take.
struct Refusal
{
    // The row refused, as given.
    std::string name;
    // Why, in one line: in the command's voice its usage error ("option '--radix': 'oct' is not
    // bin, hex or dec"), in the window's a sentence naming the field.
    std::string message;

    friend bool operator==(const Refusal &, const Refusal &) = default;
};

// Applies several values together, as the command line, the stored settings and the dialog give
// them, in the order of settingRows() whatever order they come in (a later value of the same
// name wins). A value is refused when its name is unknown, the row refuses it, a row it clashes
// with was given too ("--stretch" beside "--fit"), or it cannot stand beside the others once all
// are applied (a switch turned off again: "--pad" without "--fit"). Refused values leave their
// setting as it was, so `options` always ends sound. Names of rows outside `reaches` are unknown
// (the command takes Setting and Command rows, the settings file Setting rows, the dialog Setting
// and Dialog rows). Returns every refusal, in that order, told in `voice`.
std::vector<Refusal> applySettings(Options &options, const std::vector<NamedValue> &values,
                                   std::initializer_list<Reach> reaches,
                                   Voice voice = Voice::Command);

// Every setting the window keeps (Reach::Setting) that differs from the default, as the values
// that applySettings() takes back, in the order of settingRows().
std::vector<NamedValue> storedValues(const TableSettings &settings);

// What is wrong with settings made other than through applySettings() (the fuzz checks build a
// format directly), as the first refusal's message of applying them as values; empty when they
// are sound.
std::string settingsError(const TableSettings &settings);

// Text from a command line or a file as a message shows it, quoted: valid UTF-8 as it is, a byte
// that is not UTF-8 and every control character as \xHH, so nothing typed reaches the terminal
// raw. "'a\x1B[2Jb'".
std::string quotedText(std::string_view text);

// A whole number typed by a user: ASCII digits only (no sign, no spaces; leading zeros are
// fine), from `least` to `most`; nothing otherwise.
std::optional<unsigned> parseNumber(std::string_view text, unsigned least, unsigned most);

// An option's name as typed: "-o", "--fit".
std::string dashed(std::string_view name);

} // namespace quenzil
