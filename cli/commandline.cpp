#include "commandline.h"

#include <QCommandLineParser>
#include <QFile>

#include <filesystem>
#include <system_error>

namespace quenzil {

namespace {

// Every option of the command is declared here, once: the parser, the help text and the
// TableOptions they fill all come from these rows. An option with another kind of value gets a
// table of its own beside these.
struct SwitchOption
{
    const char *name;
    const char *description;
    bool TableOptions::*target;
};

struct FileOption
{
    const char *name;
    const char *valueName;
    const char *description;
    std::string TableOptions::*target;
};

const SwitchOption switchOptions[] = {
    {"invert", "Code the picture with its colours inverted.", &TableOptions::invert},
};

const FileOption fileOptions[] = {
    {"preview", "OUT.png", "Also write the picture as a 3-3-2 display shows it.",
     &TableOptions::preview},
    {"o", "OUT", "Write the table to OUT instead of standard output.", &TableOptions::output},
};

const char description[] =
    "Writes the table of PICTURE: a \"Picture:\" line, then Data lines of eight 3-3-2 colour\n"
    "codes, CR LF between lines. Several pictures give their tables one after another, each\n"
    "labelled from its file name. After \"--\" every argument is a PICTURE, even one that\n"
    "starts with '-'.";

// The arguments reach the parser as Latin-1, one character a byte, so every value gives back
// exactly the bytes it was typed as (a file name need not be valid UTF-8). Option names are
// ASCII and read the same either way.
QString fromBytes(const std::string &bytes)
{
    return QString::fromLatin1(bytes.data(), qsizetype(bytes.size()));
}

std::string toBytes(const QString &text)
{
    return text.toLatin1().toStdString();
}

std::string quotedName(const std::string &name)
{
    return "'" + readableName(name) + "'";
}

void declareOptions(QCommandLineParser &parser)
{
    parser.setApplicationDescription(QString::fromLatin1(description));
    parser.addHelpOption();
    parser.addVersionOption();
    for (const SwitchOption &option : switchOptions)
        parser.addOption(
            {QString::fromLatin1(option.name), QString::fromLatin1(option.description)});
    for (const FileOption &option : fileOptions)
        parser.addOption({QString::fromLatin1(option.name), QString::fromLatin1(option.description),
                          QString::fromLatin1(option.valueName)});
    addPrepareOptions(parser);
    declareShapeOptions(parser);
    parser.addPositionalArgument(
        "PICTURE", "The pictures to read: BMP, PNG, GIF or JPEG; - is standard input.",
        "PICTURE...");
}

// An option as it was typed, with its dashes: "--name" if given so before "--", else "-name".
std::string typedOption(const std::vector<std::string> &arguments, const std::string &name)
{
    for (const std::string &argument : arguments) {
        if (argument == "--")
            break;
        if (argument == "--" + name || argument.rfind("--" + name + "=", 0) == 0)
            return "--" + name;
    }
    return "-" + name;
}

// The file a name writes to: links followed (a dangling one to the file it would create),
// "." and ".." resolved, relative to the current folder.
std::filesystem::path destinationOf(const std::string &name)
{
    namespace fs = std::filesystem;
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
    if (std::filesystem::equivalent(first, second, error))
        return true;
    return destinationOf(first) == destinationOf(second);
}

// Output names are handed to Qt, which holds names as Unicode text: a name that does not
// survive that would write to a file of another name.
bool survivesAsText(const std::string &name)
{
    return QFile::encodeName(QFile::decodeName(QByteArray::fromStdString(name))).toStdString() ==
           name;
}

CommandLine usageError(std::string text)
{
    CommandLine result;
    result.action = CommandLine::Action::UsageError;
    result.error = std::move(text);
    return result;
}

} // namespace

std::string readableName(std::string_view name)
{
    std::string readable;
    const QByteArray bytes(name.data(), qsizetype(name.size()));
    for (qsizetype i = 0; i < bytes.size();) {
        // The longest valid UTF-8 sequence starting here, if any.
        qsizetype length = 1;
        const auto lead = uchar(bytes[i]);
        if (lead >= 0xC2 && lead <= 0xF4)
            length = lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        const QByteArray piece = bytes.mid(i, length);
        if (lead < 0x80 || (length > 1 && piece.size() == length && piece.isValidUtf8())) {
            readable += piece.toStdString();
        } else {
            static const char digits[] = "0123456789ABCDEF";
            readable += {'\\', 'x', digits[lead >> 4], digits[lead & 0xF]};
            length = 1;
        }
        i += length;
    }
    return readable;
}

std::string tableCommandUsage()
{
    QCommandLineParser parser;
    declareOptions(parser);
    // The parser names the program by its path (or not at all without an application object).
    QString help = parser.helpText();
    help.replace(0, help.indexOf(u'\n'), "Usage: quenzil-table [options] PICTURE...");
    return help.toStdString();
}

CommandLine parseCommandLine(const std::vector<std::string> &arguments)
{
    QCommandLineParser parser;
    declareOptions(parser);
    QStringList list{QString::fromLatin1(tableCommandName.data())};
    for (const std::string &argument : arguments)
        list.append(fromBytes(argument));
    const bool parsed = parser.parse(list);

    if (parser.isSet("help") || parser.isSet("help-all"))
        return CommandLine{CommandLine::Action::Help, {}, {}};
    if (parser.isSet("version"))
        return CommandLine{CommandLine::Action::Version, {}, {}};
    if (!parser.unknownOptionNames().isEmpty()) {
        const std::string name = toBytes(parser.unknownOptionNames().constFirst());
        return usageError("unknown option '" + readableName(typedOption(arguments, name)) + "'");
    }
    if (!parsed) {
        // The parser's only other complaint: the last argument is an option that lacks its value.
        const std::string last = arguments.empty() ? std::string() : arguments.back();
        std::string kind = preparationValueKind(last);
        if (kind.empty())
            kind = isShapeValueOption(last) ? "a value" : "a file name";
        return usageError("option '" + readableName(last) + "' needs " + kind);
    }

    CommandLine result;
    result.action = CommandLine::Action::Run;
    TableOptions &options = result.options;
    for (const SwitchOption &option : switchOptions)
        options.*option.target = parser.isSet(QString::fromLatin1(option.name));
    for (const FileOption &option : fileOptions) {
        const QString name = QString::fromLatin1(option.name);
        if (!parser.isSet(name))
            continue;
        const std::string typed = typedOption(arguments, option.name);
        options.*option.target = toBytes(parser.values(name).constLast());
        if ((options.*option.target).empty())
            return usageError("option '" + typed + "' needs a file name");
        if (!survivesAsText(options.*option.target))
            return usageError("option '" + typed + "': the name " +
                              quotedName(options.*option.target) +
                              " is not valid UTF-8; only PICTURE may have such a name");
    }

    std::string prepareError;
    if (!readPrepareOptions(parser, options.prepare, prepareError))
        return usageError(prepareError);

    const QStringList pictures = parser.positionalArguments();
    if (pictures.isEmpty())
        return usageError("no PICTURE given");
    for (const QString &picture : pictures)
        options.pictures.push_back(toBytes(picture));
    options.picture = options.pictures.front();
    if (const std::string error =
            readShapeOptions(parser, options.pictures, !options.preview.empty(), options.shape);
        !error.empty())
        return usageError(error);
    if (!options.output.empty() && !options.preview.empty() &&
        sameDestination(options.output, options.preview))
        return usageError("the table and the preview cannot both go to " +
                          quotedName(options.output));
    return result;
}

} // namespace quenzil
