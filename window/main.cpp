// The window program: quenzil [PICTURE] opens the window "Tavro", with the picture when one is
// given.
#include "pictureintake.h"
#include "quenzilversion.h"
#include "settingsstore.h"
#include "tavro.h"

#include <QApplication>
#include <QDir>
#include <QFile>

#include <cstdio>

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

} // namespace

int main(int argc, char *argv[])
{
    // Before anything that large is allocated.
    mapLargeAllocations();

    // Help and version are answered before the window's application starts, so they need no
    // display.
    {
        QStringList arguments;
        for (int i = 0; i < argc; ++i)
            arguments << QFile::decodeName(argv[i]);
        const quenzil::WindowCommandLine early = quenzil::readWindowCommandLine(arguments);
        using Action = quenzil::WindowCommandLine::Action;
        if (early.action == Action::Help || early.action == Action::Version)
            return printed(early.text);
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("QUENZIL"));
    QApplication::setApplicationVersion(QStringLiteral(QUENZIL_VERSION));
    // Lets the desktop match the window to its installed entry and icon (quenzil.desktop).
    QGuiApplication::setDesktopFileName(QStringLiteral("quenzil"));

    // Qt's own options are taken by now.
    const quenzil::WindowCommandLine commandLine =
        quenzil::readWindowCommandLine(QCoreApplication::arguments());
    if (commandLine.action == quenzil::WindowCommandLine::Action::UsageError) {
        std::fputs(qPrintable(commandLine.text), stderr);
        return 2;
    }

    // The settings come before the picture, which is shown prepared by them.
    const quenzil::SettingsStore store;
    const quenzil::SettingsStore::Loaded stored = store.load();
    for (const QString &problem : stored.problems)
        std::fprintf(stderr, "quenzil: settings: %s\n", problem.toLocal8Bit().constData());
    quenzil::Tavro window(nullptr, nullptr, &store);
    window.setTableSettings(stored.settings);
    if (!commandLine.picture.isEmpty()) {
        // The window opens all the same, without a picture.
        QString reason;
        if (!window.loadFile(commandLine.picture, &reason))
            std::fprintf(stderr, "quenzil: cannot open %s: %s\n",
                         qPrintable(QDir::toNativeSeparators(commandLine.picture)),
                         qPrintable(reason));
    }
    window.show();
    return QApplication::exec();
}
