#include "prepareoptions.h"

#include "commandline.h"

#include <QCommandLineOption>
#include <QCommandLineParser>

namespace quenzil {

namespace {

constexpr int largestSide = 8192;

const QString fitName = QStringLiteral("fit");
const QString stretchName = QStringLiteral("stretch");
const QString padName = QStringLiteral("pad");
const QString resampleName = QStringLiteral("resample");
const QString backgroundName = QStringLiteral("background");
const QString nearestName = QStringLiteral("nearest");
const QString ditherName = QStringLiteral("dither");

std::optional<int> parseSide(QStringView digits)
{
    // Digits only (no sign, no spaces), and few enough that the number cannot overflow.
    if (digits.isEmpty() || digits.size() > 5)
        return std::nullopt;
    int value = 0;
    for (QChar digit : digits) {
        if (digit < u'0' || digit > u'9')
            return std::nullopt;
        value = value * 10 + (digit.unicode() - u'0');
    }
    if (value < 1 || value > largestSide)
        return std::nullopt;
    return value;
}

} // namespace

std::optional<QSize> parseDisplaySize(QStringView text)
{
    const qsizetype cross = text.indexOf(u'x');
    if (cross < 0)
        return std::nullopt;
    const std::optional<int> width = parseSide(text.left(cross));
    const std::optional<int> height = parseSide(text.mid(cross + 1));
    if (!width || !height)
        return std::nullopt;
    return QSize(*width, *height);
}

std::optional<QRgb> parseBackgroundColour(QStringView text)
{
    if (text.startsWith(u'#'))
        text = text.mid(1);
    if (text.size() != 6)
        return std::nullopt;
    QRgb colour = 0;
    for (QChar digit : text) {
        const char16_t c = digit.unicode();
        int value = 0;
        if (c >= u'0' && c <= u'9')
            value = c - u'0';
        else if (c >= u'a' && c <= u'f')
            value = c - u'a' + 10;
        else if (c >= u'A' && c <= u'F')
            value = c - u'A' + 10;
        else
            return std::nullopt;
        colour = colour << 4 | QRgb(value);
    }
    return colour | 0xFF000000u;
}

void addPrepareOptions(QCommandLineParser &parser)
{
    parser.addOptions({
        {fitName,
         QStringLiteral("Scale to the largest size inside W x H (1 to 8192), aspect kept."),
         QStringLiteral("WxH")},
        {stretchName, QStringLiteral("Scale to exactly W x H."), QStringLiteral("WxH")},
        {padName, QStringLiteral("With --fit: centre on a W x H canvas of the background.")},
        {resampleName,
         QStringLiteral("How scaling samples: smooth (the default; averaging when shrinking) or "
                        "nearest (pixel art stays sharp)."),
         QStringLiteral("MODE")},
        {backgroundName,
         QStringLiteral("Blend transparent pixels over this colour (also #RRGGBB); padding "
                        "takes it too. Without it transparency is dropped and padding is "
                        "black."),
         QStringLiteral("RRGGBB")},
        {nearestName,
         QStringLiteral("Code each channel as its nearest display level instead of its band.")},
        {ditherName,
         QStringLiteral("none (the default), ordered (8 x 8 Bayer) or diffuse "
                        "(Floyd-Steinberg): mix display colours to match the picture."),
         QStringLiteral("MODE")},
    });
}

std::string preparationValueKind(std::string_view argument)
{
    if (argument == "--fit" || argument == "--stretch")
        return "a size WxH";
    if (argument == "--resample")
        return "a mode (smooth or nearest)";
    if (argument == "--background")
        return "a colour RRGGBB";
    if (argument == "--dither")
        return "a mode (none, ordered or diffuse)";
    return {};
}

bool readPrepareOptions(const QCommandLineParser &parser, PrepareOptions &options,
                        std::string &error)
{
    // Values arrive one character a byte; a message shows them readably.
    const auto typed = [](const QString &value) {
        return "'" + readableName(value.toLatin1().toStdString()) + "'";
    };
    Preparation &preparation = options.preparation;
    const bool fit = parser.isSet(fitName);
    const bool stretch = parser.isSet(stretchName);
    if (fit && stretch) {
        error = "--fit and --stretch cannot be used together";
        return false;
    }
    if (fit || stretch) {
        const QString name = fit ? fitName : stretchName;
        const QString value = parser.value(name);
        const std::optional<QSize> box = parseDisplaySize(value);
        if (!box) {
            error = "invalid size for --" + name.toStdString() + ": " + typed(value) +
                    " (expected WxH, each 1 to " + std::to_string(largestSide) + ")";
            return false;
        }
        preparation.scaling = fit ? Preparation::Scaling::Fit : Preparation::Scaling::Stretch;
        preparation.box = *box;
    }
    if (parser.isSet(padName)) {
        if (!fit) {
            error = "--pad needs --fit";
            return false;
        }
        preparation.pad = true;
    }
    if (parser.isSet(resampleName)) {
        const QString value = parser.value(resampleName);
        if (value == u"smooth") {
            preparation.resampling = Preparation::Resampling::Smooth;
        } else if (value == u"nearest") {
            preparation.resampling = Preparation::Resampling::Nearest;
        } else {
            error = "invalid mode for --resample: " + typed(value) + " (smooth or nearest)";
            return false;
        }
    }
    if (parser.isSet(backgroundName)) {
        const QString value = parser.value(backgroundName);
        preparation.background = parseBackgroundColour(value);
        if (!preparation.background) {
            error = "invalid colour for --background: " + typed(value) + " (RRGGBB or #RRGGBB)";
            return false;
        }
    }
    preparation.reduction =
        parser.isSet(nearestName) ? ColourReduction::Nearest : ColourReduction::Bands;
    if (parser.isSet(ditherName)) {
        const QString value = parser.value(ditherName);
        if (value == u"ordered") {
            preparation.reduction = ColourReduction::Ordered;
        } else if (value == u"diffuse") {
            preparation.reduction = ColourReduction::Diffuse;
        } else if (value != u"none") {
            error = "invalid mode for --dither: " + typed(value) + " (none, ordered or diffuse)";
            return false;
        }
    }
    return true;
}

} // namespace quenzil
