#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

class QMimeData;
class QWidget;

namespace quenzil {

// Where a picture comes into the window from besides Load Bitmap's dialog (tablefiles.h): a file
// dropped on the window, the clipboard, and the program's command line.

// The first local file among dropped URLs, or the empty text.
QString droppedFile(const QMimeData *data);

// What the clipboard holds of a picture: image data, or else the first copied local file whose
// content the picture reader knows. Both empty where it holds none.
struct CopiedPicture
{
    QImage image;
    QString fileName;

    bool isEmpty() const { return image.isNull() && fileName.isEmpty(); }
};
CopiedPicture copiedPicture();

// What the window's command line asks for: quenzil [options] [PICTURE].
struct WindowCommandLine
{
    enum class Action { Open, Help, Version, UsageError };
    Action action = Action::Open;
    // The name of the picture to open the window with as the system has it (see
    // openPictureFile()); none for none.
    std::optional<QByteArray> picture;
    // For Help and Version, what to print; for UsageError, the lines to print on standard error.
    QString text;
};
// Reads the command line, each argument as the system has it (the bytes on POSIX systems, UTF-8
// on Windows). Also before the application object exists, so that help and version need no
// display; Qt's own options (-platform, -style, ...) are left for the application to take.
WindowCommandLine readWindowCommandLine(const QList<QByteArray> &arguments);

} // namespace quenzil
