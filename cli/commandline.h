#pragma once

#include "prepareoptions.h"
#include "quenzilversion.h"
#include "shapeoptions.h"

#include <string>
#include <string_view>
#include <vector>

namespace quenzil {

inline constexpr std::string_view tableCommandName = "quenzil-table";
inline constexpr std::string_view tableCommandVersion = "quenzil-table " QUENZIL_VERSION;

// What quenzil-table was asked to do. File names are the bytes the command was given, so a name
// that is not valid UTF-8 still names its file.
struct TableOptions
{
    std::string picture; // the first PICTURE
    std::string output;  // empty: standard output
    std::string preview; // empty: no preview
    bool invert = false;
    std::vector<std::string> pictures{}; // every PICTURE, in order; "-" is standard input
    ShapeOptions shape{};
    // Blending, scaling and the reduction to display colours; none by default.
    PrepareOptions prepare;
};

struct CommandLine
{
    enum class Action { Run, Help, Version, UsageError };
    Action action = Action::UsageError;
    TableOptions options;
    std::string error; // for UsageError: one line, without the command's name
};

// Reads the arguments after the program's name, as the bytes they were given in. --help and
// --version win over everything else before "--"; an unknown option is reported before a
// missing value, and both before a wrong number of pictures. Needs no application object.
CommandLine parseCommandLine(const std::vector<std::string> &arguments);

// The help text: the usage line, what the command does, every option and the PICTURE.
std::string tableCommandUsage();

// A file name as a message shows it: valid UTF-8 as it is, any other byte as \xFF.
std::string readableName(std::string_view name);

} // namespace quenzil
