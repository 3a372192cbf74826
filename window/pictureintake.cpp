#include "pictureintake.h"

#include "picturesource.h"
#include "quenzilversion.h"

#include <QClipboard>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageReader>
#include <QMimeData>
#include <QUrl>

namespace quenzil {

namespace {

void declareOptions(QCommandLineParser &parser)
{
    parser.setApplicationDescription(
        QStringLiteral("Opens the window Tavro, which writes a picture's pixels as BASIC Data "
                       "lines of 3-3-2 colour codes."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("PICTURE"),
                                 QStringLiteral("The picture to open the window with."),
                                 QStringLiteral("[PICTURE]"));
}

// "*.bmp" first, then every picture format the reader knows here, then all files.

QString usage()
{
    QCommandLineParser parser;
    declareOptions(parser);
    // Without an application object the parser names no program.
    QString help = parser.helpText();
    help.replace(0, help.indexOf(u'\n'), QStringLiteral("Usage: quenzil [options] [PICTURE]"));
    return help;
}

} // namespace

QString droppedFile(const QMimeData *data)
{
    if (!data || !data->hasUrls())
        return {};
    for (const QUrl &url : data->urls()) {
        if (url.isLocalFile())
            return url.toLocalFile();
    }
    return {};
}

CopiedPicture copiedPicture()
{
    const QMimeData *data = QGuiApplication::clipboard()->mimeData();
    if (!data)
        return {};
    if (data->hasImage())
        return {qvariant_cast<QImage>(data->imageData()), {}};
    if (!data->hasUrls())
        return {};
    // A copied file of another kind is left to the text area's own paste. Only regular files are
    // opened to look: opening a FIFO would wait for a writer, and a device may never end.
    for (const QUrl &url : data->urls()) {
        if (!url.isLocalFile())
            continue;
        const QString fileName = url.toLocalFile();
        if (QFileInfo(fileName).isFile() && QImageReader(fileName).canRead())
            return {{}, fileName};
    }
    return {};
}

WindowCommandLine readWindowCommandLine(const QList<QByteArray> &arguments)
{
    QStringList texts;
    for (const QByteArray &argument : arguments)
        texts << fileNameText(argument);
    QCommandLineParser parser;
    declareOptions(parser);
    const bool parsed = parser.parse(texts);
    if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all")))
        return {WindowCommandLine::Action::Help, {}, usage()};
    if (parser.isSet(QStringLiteral("version")))
        return {WindowCommandLine::Action::Version,
                {},
                QStringLiteral("quenzil " QUENZIL_VERSION "\n")};
    const QStringList pictures = parser.positionalArguments();
    if (!parsed || pictures.size() > 1) {
        const QString error =
            parsed ? QStringLiteral("one PICTURE at most, not %1").arg(pictures.size())
                   : parser.errorText();
        return {WindowCommandLine::Action::UsageError,
                {},
                QStringLiteral("quenzil: %1\n%2\n").arg(error, usage().section(u'\n', 0, 0))};
    }
    if (pictures.isEmpty())
        return {};
    // The picture's own bytes: its text may have lost some. An option with the same text comes
    // before it, since after "--" nothing is an option.
    const qsizetype index = texts.lastIndexOf(pictures.first());
    return {WindowCommandLine::Action::Open, arguments.at(index), {}};
}

} // namespace quenzil
