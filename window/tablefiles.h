#pragma once

#include <QString>

class QFileDialog;
class QImage;
class QPlainTextEdit;
class QWidget;

namespace quenzil {

// The window's file dialogs, and the files it writes: the picture Load Bitmap opens, and the table
// and the preview, each written whole or not at all (an earlier file of that name stays as it
// was on a failure).

// Shows `dialog` as "Load Bitmap" does: "*.bmp" first, then every picture format the reader
// knows here, then all files; any name typed reaches the loader. The file chosen, or the empty
// text when it was cancelled.
QString chooseBitmap(QFileDialog &dialog);

// The dialog Ctrl+S and "Save table..." show: BASIC, text or any file. A name without a suffix
// gets ".bas" or ".txt" after the chosen kind. The empty text when it was cancelled.
QString chooseSaveFile(QWidget *parent);
// The dialog "Save preview..." shows: PNG files.
QString choosePreviewFile(QWidget *parent);

// Writes the text area's text to `fileName`, line breaks as CR LF and in UTF-8 (see
// writeTableText()). Returns why it failed, with the system's reason where it has one ("No space
// left on device"), or the empty text. Only a regular file, or a new one, is written: an existing
// FIFO or device is refused ("Is not a regular file").
QString saveTableFile(const QPlainTextEdit &area, const QString &fileName);
// Writes a picture as PNG to `fileName`, the same way. Returns why it failed, or the empty text.
QString savePngFile(const QImage &picture, const QString &fileName);

} // namespace quenzil
