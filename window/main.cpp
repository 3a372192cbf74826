// The window program: quenzil [PICTURE] opens the window "Tavro", with the picture when one is
// given.
#include "pictureintake.h"
#include "quenzilversion.h"
#include "settingrows.h"
#include "settingsstore.h"
#include "tavro.h"

#include <QApplication>
#include <QDir>
#include <QFile>

#include <cstdio>
#include <optional>
#include <string>

#if defined(__GLIBC__)
#include <malloc.h> // mallopt
#endif

namespace {

// Lets the text area's document grow without copying its text: on glibc, every allocation of
// 1 MiB or more becomes a mapping of its own, which realloc() enlarges by remapping. glibc raises
// its threshold for mapping a block as mapped blocks are freed, up to 32 MiB; below it, the
// document's buffer (which doubles as a run appends to it) is copied whenever it grows: 16 MiB at
// once on the way to 32 MiB, inside one pass of a table run, some 12 ms on an idle machine and
// several times that on a busy one. Elsewhere the system's allocator has to do.
void mapLargeAllocations()
{
#if defined(__GLIBC__)
    mallopt(M_MMAP_THRESHOLD, 1 << 20);
#endif
}

// Help and version go to stdout; a failed write there is an error too.
int printed(const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stdout);
    return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
}

// The arguments as the system has them: on POSIX systems the bytes as given (a file's name need
// not be text); on Windows UTF-8 of what Qt read from the system, since the bytes there are in a
// code page that may not hold every name.
QList<QByteArray> systemArguments(int argc, char *argv[])
{
    QList<QByteArray> arguments;
#ifdef Q_OS_WIN
    if (QCoreApplication::instance()) {
        for (const QString &argument : QCoreApplication::arguments())
            arguments << argument.toUtf8();
        return arguments;
    }
#endif
    for (int i = 0; i < argc; ++i)
        arguments << QByteArray(argv[i]);
    return arguments;
}

// A file's name as messages show it: as given, with the system's separators.
std::string shownName(const QByteArray &name)
{
#ifdef Q_OS_WIN
    return QDir::toNativeSeparators(QString::fromUtf8(name)).toStdString();
#else
    return name.toStdString();
#endif
}

} // namespace

int main(int argc, char *argv[])
{
    // Before anything that large is allocated.
    mapLargeAllocations();

    // Help and version are answered before the window's application starts, so they need no
    // display.
    {
        const quenzil::WindowCommandLine early =
            quenzil::readWindowCommandLine(systemArguments(argc, argv));
        using Action = quenzil::WindowCommandLine::Action;
        if (early.action == Action::Help || early.action == Action::Version)
            return printed(early.text);
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("QUENZIL"));
    QApplication::setApplicationVersion(QStringLiteral(QUENZIL_VERSION));
    // Lets the desktop match the window to its installed entry and icon (quenzil.desktop).
    QGuiApplication::setDesktopFileName(QStringLiteral("quenzil"));

    // Qt's own options are taken by now, out of argc and argv as well.
    const quenzil::WindowCommandLine commandLine =
        quenzil::readWindowCommandLine(systemArguments(argc, argv));
    if (commandLine.action == quenzil::WindowCommandLine::Action::UsageError) {
        std::fputs(qPrintable(commandLine.text), stderr);
        return 2;
    }

    // The settings come before the picture, which is shown prepared by them.
    const quenzil::SettingsStore store;
    const quenzil::SettingsStore::Loaded stored = store.load();
    for (const QString &problem : stored.problems)
        std::fprintf(stderr, "quenzil: settings: %s\n", problem.toLocal8Bit().constData());
    quenzil::Tavro window(nullptr, &store);
    window.setTableSettings(stored.settings);
    window.setZoom(stored.zoom);
    if (const std::optional<QByteArray> &picture = commandLine.picture) {
        // The window opens all the same, without a picture. The name is quoted as quenzil-table
        // quotes it, so that no control character in it reaches the terminal.
        QString reason;
        if (!window.loadFileNamed(*picture, &reason))
            std::fprintf(stderr, "quenzil: cannot open %s: %s\n",
                         quenzil::quotedText(shownName(*picture)).c_str(),
                         reason.toLocal8Bit().constData());
    }
    window.show();
    return QApplication::exec();
}
