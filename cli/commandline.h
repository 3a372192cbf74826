#pragma once

#include "quenzilversion.h"
#include "tableoptions.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace quenzil {

inline constexpr std::string_view tableCommandName = "quenzil-table";
inline constexpr std::string_view tableCommandVersion = "quenzil-table " QUENZIL_VERSION;

// The name standard input and standard output go by among the file names.
inline constexpr std::string_view standardStreamName = "-";

// What quenzil-table was asked to do. File names are the bytes the command was given, so a
// picture's name that is not valid UTF-8 still names its file.
struct CommandOptions
{
    // How each picture is prepared and its table shaped; --invert is its preparation's.
    TableSettings settings;
    std::string output;  // empty: standard output
    std::string preview; // empty: none; "-": standard output
    bool stats = false;
    std::vector<std::string> pictures; // in order; "-" is standard input
};

// One option of the command, in the shape of the setting rows (tableoptions.h): the parser's
// declarations, the help, the messages and the reading all come from these rows.
struct CommandOption
{
    std::string_view name;      // without dashes
    std::string_view valueName; // empty for a switch
    std::string_view help;
    // Applies the value as typed (a switch gets "true"); returns the reason it was refused, the
    // part after "option '--NAME': ", or empty.
    std::function<std::string(CommandOptions &options, std::string_view value)> apply;

    bool isSwitch() const { return valueName.empty(); }
};

// Every option, in the order the help lists them: --invert, --preview, -o, the settings, --stats.
const std::vector<CommandOption> &commandOptions();

// An option's name as typed: "-o", "--fit".
std::string dashed(std::string_view name);

struct CommandLine
{
    enum class Action { Run, Help, Version, UsageError };
    Action action = Action::UsageError;
    CommandOptions options;
    std::string error; // for UsageError: one line, without the command's name
};

// Reads the arguments after the program's name, as the bytes they were given in. --help and
// --version win over everything else before "--"; then come an unknown option, a missing or
// unwanted value, the values, their combination, the pictures and the files (an output that is
// an input, standard output's file or the other output). Needs no application object.
CommandLine parseCommandLine(const std::vector<std::string> &arguments);

// The help text: the usage line, what the command does, every option and PICTURE.
std::string tableCommandUsage();

} // namespace quenzil
