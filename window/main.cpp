// The window program: quenzil [PICTURE] opens the window "Tavro", with the picture when one is
// given.
#include "quenzilversion.h"
#include "settingsstore.h"
#include "tablerun.h"
#include "tavro.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFile>

#include <cstdio>

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

QString usage()
{
    QCommandLineParser parser;
    declareOptions(parser);
    // Without an application object the parser names no program.
    QString help = parser.helpText();
    help.replace(0, help.indexOf(u'\n'), QStringLiteral("Usage: quenzil [options] [PICTURE]"));
    return help;
}

// Help and version go to stdout; a failed write there is an error too.
int printed(const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stdout);
    return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
}

} // namespace

int main(int argc, char *argv[])
{
    quenzil::mapLargeAllocations();

    // Help and version are answered before the window's application starts, so they need no
    // display. Qt's own options (-platform, -style, ...) are left for the application to take.
    {
        QStringList arguments;
        for (int i = 0; i < argc; ++i)
            arguments << QFile::decodeName(argv[i]);
        QCommandLineParser parser;
        declareOptions(parser);
        parser.parse(arguments);
        if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all")))
            return printed(usage());
        if (parser.isSet(QStringLiteral("version")))
            return printed(QStringLiteral("quenzil " QUENZIL_VERSION "\n"));
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("QUENZIL"));
    QApplication::setApplicationVersion(QStringLiteral(QUENZIL_VERSION));
    // Lets the desktop match the window to its installed entry and icon (quenzil.desktop).
    QGuiApplication::setDesktopFileName(QStringLiteral("quenzil"));

    QCommandLineParser parser;
    declareOptions(parser);
    const bool parsed = parser.parse(QCoreApplication::arguments());
    const QStringList pictures = parser.positionalArguments();
    if (!parsed || pictures.size() > 1) {
        const QString error =
            parsed ? QStringLiteral("one PICTURE at most, not %1").arg(pictures.size())
                   : parser.errorText();
        std::fprintf(stderr, "quenzil: %s\n%s\n", qPrintable(error),
                     qPrintable(usage().section(u'\n', 0, 0)));
        return 2;
    }

    // The settings come before the picture, which is shown prepared by them.
    const quenzil::SettingsStore store;
    quenzil::Tavro window;
    window.setTableSettings(store.load());
    QObject::connect(&window, &quenzil::Tavro::tableSettingsAccepted, &window,
                     [&store](const quenzil::TableSettings &settings) { store.save(settings); });
    if (!pictures.isEmpty()) {
        // The window opens all the same, without a picture.
        QString reason;
        if (!window.loadFile(pictures.first(), &reason))
            std::fprintf(stderr, "quenzil: cannot open %s: %s\n",
                         qPrintable(QDir::toNativeSeparators(pictures.first())),
                         qPrintable(reason));
    }
    window.show();
    return QApplication::exec();
}
