#pragma once

#include "quenzilversion.h"
#include "settingrows.h"

#include <string>
#include <string_view>
#include <vector>

namespace quenzil {

inline constexpr std::string_view tableCommandName = "quenzil-table";
inline constexpr std::string_view tableCommandVersion = "quenzil-table " QUENZIL_VERSION;

// The name standard input and standard output go by among the file names.
inline constexpr std::string_view standardStreamName = "-";

// What quenzil-table was asked to do: the options, and the pictures. File names are the bytes the
// command was given, so a picture's name that is not valid UTF-8 still names its file.
struct CommandOptions : Options
{
    std::vector<std::string> pictures; // in order; "-" is standard input
};

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
