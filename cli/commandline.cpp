#include "commandline.h"

#include <QCommandLineParser>

#include <algorithm>
#include <filesystem>
#include <system_error>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace quenzil {

namespace {

namespace fs = std::filesystem;

// The command's options: every row but those of the window's dialog alone.
bool isOption(const SettingRow &row)
{
    return row.reach != Reach::Dialog;
}

const char description[] =
    "Writes the table of PICTURE: a \"Picture:\" line, then Data lines of eight 3-3-2 colour\n"
    "codes, CR LF between lines. Several pictures give their tables one after another, each\n"
    "labelled from its file name. After \"--\" every argument is a PICTURE, even one that\n"
    "starts with '-'.\n"
    "MMBasic, FreeBASIC and QB64 read the default &B literals; for BASICs that do not\n"
    "(bwbasic, GW-BASIC and QBasic read &H and decimal numbers) use --radix hex: bwbasic, for\n"
    "one, misreads a &B table without an error. --dialect classic writes their line-numbered\n"
    "DATA lines.\n"
    "With --decode, reads one TABLE written so back into the picture it holds.";

QString latin1(std::string_view text)
{
    return QString::fromLatin1(text.data(), qsizetype(text.size()));
}

void declareOptions(QCommandLineParser &parser)
{
    parser.setApplicationDescription(QString::fromLatin1(description));
    parser.addHelpOption();
    parser.addVersionOption();
    for (const SettingRow &row : settingRows()) {
        if (isOption(row))
            parser.addOption({latin1(row.name), latin1(row.help), latin1(row.valueName)});
    }
    parser.addPositionalArgument(
        "PICTURE",
        "The pictures to read, in any format Qt reads here: BMP, PNG, GIF, JPEG, ICO, PBM, PGM, "
        "PPM, XBM, XPM, and with Qt's image format plugins WebP, TIFF, TGA and more; - is "
        "standard input. With --decode, the table to read.",
        "PICTURE...");
}

const SettingRow *findOption(std::string_view name)
{
    const SettingRow *row = findSettingRow(name);
    return row && isOption(*row) ? row : nullptr;
}

// The parser's complaint beside an unknown option: a switch given a value ("--rle=1"), or an
// option lacking its value, which can only be the last argument.
std::string valueError(const std::vector<std::string> &arguments)
{
    for (const std::string &argument : arguments) {
        if (argument == "--")
            break;
        const std::size_t equals = argument.find('=');
        if (argument.rfind("--", 0) != 0 || equals == std::string::npos)
            continue;
        const SettingRow *option = findOption(std::string_view(argument).substr(2, equals - 2));
        if (option && option->isSwitch())
            return "option '" + dashed(option->name) + "' takes no value";
    }
    std::string_view last = arguments.empty() ? std::string_view() : arguments.back();
    last.remove_prefix(std::min(last.find_first_not_of('-'), last.size()));
    if (const SettingRow *option = findOption(last))
        return "option '" + dashed(option->name) + "' needs a value (" +
               std::string(option->valueName) + ")";
    return "the arguments cannot be read";
}

// The file a name writes to: links followed (a dangling one to the file it would create),
// "." and ".." resolved, relative to the current folder.
fs::path destinationOf(const std::string &name)
{
    std::error_code error;
    fs::path path = fs::absolute(fs::path(name), error);
    for (int links = 0; links < 40 && fs::is_symlink(path, error); ++links) {
        const fs::path target = fs::read_symlink(path, error);
        if (error)
            break;
        path = target.is_absolute() ? target : path.parent_path() / target;
    }
    const fs::path resolved = fs::weakly_canonical(path, error);
    return (error ? path : resolved).lexically_normal();
}

bool sameDestination(const std::string &first, const std::string &second)
{
    std::error_code error;
    return fs::equivalent(first, second, error) || destinationOf(first) == destinationOf(second);
}

// Whether a name is the file behind standard input (0) or standard output (1): the same device
// and inode, however the file is named (/dev/stdout, /proc/self/fd/1, a link, the file itself).
bool isStreamFile(const std::string &name, [[maybe_unused]] int descriptor)
{
#ifdef _WIN32
    // The standard library cannot compare a handle with a name, and Windows shells give no name
    // for a redirected stream that a user would type again; not checked there.
    return false;
#else
    struct stat stream = {};
    struct stat named = {};
    return ::fstat(descriptor, &stream) == 0 && ::stat(name.c_str(), &named) == 0 &&
           stream.st_dev == named.st_dev && stream.st_ino == named.st_ino;
#endif
}

// An output that would overwrite what the command reads or writes elsewhere: a picture, standard
// output while the table or preview goes there, or the other output.
std::string fileClash(const CommandOptions &options)
{
    const bool outputToStream = options.output.empty() || options.preview == standardStreamName;
    const bool readsInput =
        std::count(options.pictures.begin(), options.pictures.end(), standardStreamName) > 0;
    const std::pair<std::string_view, const std::string *> outputs[] = {
        {"o", &options.output}, {"preview", &options.preview}};
    for (const auto &[option, name] : outputs) {
        if (name->empty() || *name == standardStreamName)
            continue;
        const std::string prefix = "option '" + dashed(option) + "': " + quotedText(*name);
        std::error_code error;
        const std::string input = options.decode ? "the table" : "the picture";
        for (const std::string &picture : options.pictures) {
            if (picture != standardStreamName && fs::equivalent(*name, picture, error))
                return prefix + " is " + input + " " + quotedText(picture);
        }
        if (readsInput && isStreamFile(*name, 0))
            return prefix + " is " + input + " read from standard input";
        if (outputToStream && isStreamFile(*name, 1))
            return prefix + " is the file standard output goes to";
    }
    if (!options.output.empty() && !options.preview.empty() &&
        sameDestination(options.output, options.preview))
        return "the table and the preview cannot both go to " + quotedText(options.output);
    return {};
}

CommandLine usageError(std::string text)
{
    CommandLine result;
    result.error = std::move(text);
    return result;
}

} // namespace

std::string tableCommandUsage()
{
    QCommandLineParser parser;
    declareOptions(parser);
    // The parser names the program by its path (or not at all without an application object).
    QString help = parser.helpText();
    help.replace(0, help.indexOf(u'\n'),
                 "Usage: quenzil-table [options] PICTURE...\n"
                 "       quenzil-table --decode [options] TABLE");
    return help.toStdString();
}

CommandLine parseCommandLine(const std::vector<std::string> &arguments)
{
    // The arguments reach the parser as Latin-1, one character a byte, so every value gives back
    // exactly the bytes it was typed as. Option names are ASCII and read the same either way.
    QCommandLineParser parser;
    declareOptions(parser);
    QStringList list{latin1(tableCommandName)};
    for (const std::string &argument : arguments)
        list.append(latin1(argument));
    const bool parsed = parser.parse(list);

    if (parser.isSet("help") || parser.isSet("help-all"))
        return CommandLine{CommandLine::Action::Help, {}, {}};
    if (parser.isSet("version"))
        return CommandLine{CommandLine::Action::Version, {}, {}};
    if (!parser.unknownOptionNames().isEmpty())
        return usageError(
            "unknown option " +
            quotedText(dashed(parser.unknownOptionNames().constFirst().toLatin1().toStdString())));
    if (!parsed)
        return usageError(valueError(arguments));

    CommandLine result;
    result.action = CommandLine::Action::Run;
    CommandOptions &options = result.options;
    std::vector<NamedValue> values;
    for (const SettingRow &row : settingRows()) {
        const QString name = latin1(row.name);
        if (isOption(row) && parser.isSet(name))
            values.push_back({std::string(row.name),
                              row.isSwitch()
                                  ? "true"
                                  : parser.values(name).constLast().toLatin1().toStdString()});
    }
    if (const std::vector<Refusal> refusals =
            applySettings(options, values, {Reach::Setting, Reach::Command});
        !refusals.empty())
        return usageError(refusals.front().message);
    const bool labelGiven = parser.isSet("label");
    if (options.width != 0 && !options.decode)
        return usageError("option '--width' needs '--decode'");

    for (const QString &picture : parser.positionalArguments())
        options.pictures.push_back(picture.toLatin1().toStdString());
    const std::size_t count = options.pictures.size();
    if (count == 0)
        return usageError(options.decode ? "no TABLE given" : "no PICTURE given");
    const std::string several = "; " + std::to_string(count) + " were given";
    if (options.decode && count > 1)
        return usageError("option '--decode' reads one TABLE" + several);
    if (options.decode && !options.table.format.sizeLine && options.width == 0)
        return usageError("option '--decode' needs the picture's width: '--width N', or "
                          "'--size-line' for a table that has one");
    if (count > 1 && labelGiven)
        return usageError("option '--label' names the table of one PICTURE" + several);
    if (count > 1 && !options.preview.empty())
        return usageError("option '--preview' shows one PICTURE" + several);
    if (std::count(options.pictures.begin(), options.pictures.end(), standardStreamName) > 1)
        return usageError("standard input ('-') can be read only once");

    if (options.output == standardStreamName)
        options.output.clear();
    if (options.preview == standardStreamName && options.output.empty())
        return usageError("option '--preview': '-' (standard output) needs '-o' for the table");
    if (std::string clash = fileClash(options); !clash.empty())
        return usageError(std::move(clash));
    return result;
}

} // namespace quenzil
