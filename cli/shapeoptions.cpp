#include "shapeoptions.h"

#include <QCommandLineParser>

#include <algorithm>
#include <filesystem>

namespace quenzil {

namespace {

const char radixNames[][4] = {"bin", "hex", "dec"};
constexpr Radix radixes[] = {Radix::binary, Radix::hexadecimal, Radix::decimal};

QString latin1(const char *text)
{
    return QString::fromLatin1(text);
}

// The value's bytes as typed (the parser holds them as Latin-1).
std::string bytesOf(const QString &value)
{
    return value.toLatin1().toStdString();
}

std::string quoted(const QString &value)
{
    return "'" + bytesOf(value) + "'";
}

} // namespace

void declareShapeOptions(QCommandLineParser &parser)
{
    parser.addOption({latin1("label"),
                      latin1("The header line is NAME: (default Picture): a letter, then letters, "
                             "digits or _, at most 32. Only with one PICTURE."),
                      latin1("NAME")});
    parser.addOption(
        {latin1("size-line"), latin1("The first Data line holds the picture's width and height.")});
    parser.addOption({latin1("radix"),
                      latin1("How numbers are written: bin (&B and 8 digits, the default), hex "
                             "(&H and 2 digits) or dec."),
                      latin1("bin|hex|dec")});
    parser.addOption(
        {latin1("per-line"), latin1("Numbers on a Data line, 1 to 64 (default 8)."), latin1("N")});
    parser.addOption({latin1("row-lines"), latin1("A line also ends where a picture row ends.")});
    parser.addOption(
        {latin1("rle"), latin1("Codes as pairs \"count , code\" of runs of 1 to 255 equal codes; a "
                               "pair never splits across lines, so N must be even.")});
    parser.addOption(
        {latin1("stats"), latin1("After the tables, one line per picture on standard error: label, "
                                 "size, pixels, data bytes (pairs with --rle), characters, Data "
                                 "lines.")});
}

bool isShapeValueOption(std::string_view typed)
{
    return typed == "--label" || typed == "--radix" || typed == "--per-line";
}

std::string readShapeOptions(const QCommandLineParser &parser,
                             const std::vector<std::string> &pictures, bool preview,
                             ShapeOptions &shape)
{
    TableFormat &format = shape.format;
    format.sizeLine = parser.isSet(latin1("size-line"));
    format.rowLines = parser.isSet(latin1("row-lines"));
    format.runLength = parser.isSet(latin1("rle"));
    shape.stats = parser.isSet(latin1("stats"));

    if (parser.isSet(latin1("radix"))) {
        const QString value = parser.value(latin1("radix"));
        const auto *name = std::find_if(std::begin(radixNames), std::end(radixNames),
                                        [&](const char *known) { return value == latin1(known); });
        if (name == std::end(radixNames))
            return "option '--radix': " + quoted(value) + " is not bin, hex or dec";
        format.radix = radixes[name - std::begin(radixNames)];
    }
    if (parser.isSet(latin1("per-line"))) {
        const QString value = parser.value(latin1("per-line"));
        bool isNumber = false;
        const unsigned perLine = value.toUInt(&isNumber);
        if (!isNumber || perLine < 1 || perLine > TableFormat::maxPerLine)
            return "option '--per-line': " + quoted(value) + " is not a number from 1 to 64";
        format.perLine = perLine;
    }
    shape.labelGiven = parser.isSet(latin1("label"));
    if (shape.labelGiven)
        format.label = bytesOf(parser.value(latin1("label")));
    if (const std::string error = formatError(format); !error.empty())
        return error;

    if (pictures.size() > 1) {
        const std::string several = std::to_string(pictures.size()) + " were given";
        if (shape.labelGiven)
            return "option '--label' names the table of one PICTURE; " + several;
        if (preview)
            return "option '--preview' shows one PICTURE; " + several;
    }
    if (std::count(pictures.begin(), pictures.end(), standardInputName) > 1)
        return "standard input ('-') can be read only once";
    return {};
}

void noteLongLines(const TableFormat &format, std::FILE *errors)
{
    const std::size_t longest = longestDataLine(format);
    if (longest > commonLineLimit)
        std::fprintf(errors,
                     "quenzil-table: note: a Data line may hold up to %zu characters; many BASICs "
                     "read at most %zu\n",
                     longest, commonLineLimit);
}

std::vector<std::string> tableLabels(const std::vector<std::string> &pictures,
                                     const TableFormat &format)
{
    if (pictures.size() == 1)
        return {format.label};
    LabelRegistry registry;
    std::vector<std::string> labels;
    for (const std::string &name : pictures) {
        if (name == standardInputName)
            labels.push_back(registry.claim(TableFormat{}.label));
        else
            labels.push_back(registry.claim(
                labelFromName(std::filesystem::path(name).filename().stem().string())));
    }
    return labels;
}

} // namespace quenzil
