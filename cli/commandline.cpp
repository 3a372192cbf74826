#include "commandline.h"

namespace quenzil {

const std::string_view tableCommandUsage =
    "Usage: quenzil-table [--invert] [--preview OUT.png] [-o OUT] PICTURE\n"
    "Writes the table of PICTURE: a \"Picture:\" line, then Data lines of eight 3-3-2 colour\n"
    "codes, CR LF between lines.\n"
    "\n"
    "  --invert           code the picture with its colours inverted\n"
    "  --preview OUT.png  also write the picture as a 3-3-2 display shows it\n"
    "  -o OUT             write the table to OUT instead of standard output\n"
    "  --help             show this help and exit\n"
    "  --version          show the version and exit\n"
    "  --                 end of options: a PICTURE may then start with '-'\n";

namespace {

CommandLine usageError(std::string text)
{
    CommandLine result;
    result.action = CommandLine::Action::UsageError;
    result.error = std::move(text);
    return result;
}

} // namespace

CommandLine parseCommandLine(const std::vector<std::string> &arguments)
{
    CommandLine result;
    result.action = CommandLine::Action::Run;
    std::vector<std::string> pictures;
    std::string error;
    bool optionsEnded = false;

    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string &argument = arguments[i];
        if (optionsEnded || argument == "-" || argument.empty() || argument[0] != '-') {
            pictures.push_back(argument);
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        if (argument == "--help" || argument == "-h") {
            result.action = CommandLine::Action::Help;
            return result;
        }
        if (argument == "--version") {
            result.action = CommandLine::Action::Version;
            return result;
        }
        if (!error.empty())
            continue; // keep looking for --help and --version
        if (argument == "--invert") {
            result.options.invert = true;
            continue;
        }

        // Options that take a file name: "-o OUT", "-oOUT", "--preview OUT", "--preview=OUT".
        std::string *target = nullptr;
        std::string value;
        bool hasValue = false;
        std::string name = argument;
        if (argument.rfind("-o", 0) == 0 && argument.rfind("--", 0) != 0) {
            name = "-o";
            target = &result.options.output;
            if (argument.size() > 2) {
                value = argument.substr(2);
                hasValue = true;
            }
        } else if (argument == "--preview" || argument.rfind("--preview=", 0) == 0) {
            name = "--preview";
            target = &result.options.preview;
            if (argument.size() > name.size()) {
                value = argument.substr(name.size() + 1);
                hasValue = true;
            }
        } else {
            error = "unknown option '" + argument + "'";
            continue;
        }
        if (!hasValue) {
            if (i + 1 == arguments.size()) {
                error = "option '" + name + "' needs a file name";
                continue;
            }
            value = arguments[++i];
        }
        if (value.empty())
            error = "option '" + name + "' needs a file name";
        else
            *target = value;
    }

    if (!error.empty())
        return usageError(error);
    if (pictures.empty())
        return usageError("no PICTURE given");
    if (pictures.size() > 1)
        return usageError("more than one PICTURE given ('" + pictures[0] + "', '" + pictures[1] +
                          "')");
    if (!result.options.output.empty() && result.options.output == result.options.preview)
        return usageError("the table and the preview cannot both go to '" + result.options.output +
                          "'");
    result.options.picture = pictures.front();
    return result;
}

} // namespace quenzil
