#include "quenzilversion.h"
#include "tablerun.h"
#include "tavro.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    quenzil::mapLargeAllocations();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("QUENZIL"));
    QApplication::setApplicationVersion(QStringLiteral(QUENZIL_VERSION));
    // Lets the desktop match the window to its installed entry and icon (quenzil.desktop).
    QGuiApplication::setDesktopFileName(QStringLiteral("quenzil"));

    quenzil::Tavro window;
    window.show();
    return QApplication::exec();
}
