#pragma once

#include "quenzilversion.h"

#include <string>
#include <string_view>
#include <vector>

namespace quenzil {

inline constexpr std::string_view tableCommandName = "quenzil-table";
inline constexpr std::string_view tableCommandVersion = "quenzil-table " QUENZIL_VERSION;
extern const std::string_view tableCommandUsage;

// What quenzil-table was asked to do.
struct TableOptions
{
    std::string picture;
    std::string output;  // empty: standard output
    std::string preview; // empty: no preview
    bool invert = false;
};

struct CommandLine
{
    enum class Action { Run, Help, Version, UsageError };
    Action action = Action::UsageError;
    TableOptions options;
    std::string error; // for UsageError: one line, without the command's name
};

// Reads the arguments after the program's name. --help and --version win over everything else
// before "--"; a usage error is the first one met.
CommandLine parseCommandLine(const std::vector<std::string> &arguments);

} // namespace quenzil
