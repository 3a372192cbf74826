#pragma once

#include <QImage>
#include <QString>
#include <QStringList>

class QFileDialog;
class QMimeData;
class QWidget;

namespace quenzil {

// Where a picture comes into the window from: the Load Bitmap dialog, a file dropped on the
// window, the clipboard, and the program's command line.

// Shows `dialog` as "Load Bitmap" does: "*.bmp" first, then every picture format the reader
// knows here, then all files; any name typed reaches the loader. The file chosen, or the empty
// text when it was cancelled.
QString chooseBitmap(QFileDialog &dialog);

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
    // The picture to open the window with; empty for none.
    QString picture;
    // For Help and Version, what to print; for UsageError, the lines to print on standard error.
    QString text;
};
// Reads the command line before the application object exists, so that help and version need
// no display; Qt's own options (-platform, -style, ...) are left for the application to take.
WindowCommandLine readWindowCommandLine(const QStringList &arguments);

} // namespace quenzil
