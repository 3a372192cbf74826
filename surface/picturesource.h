#pragma once

#include "preparation.h"

#include <QByteArray>
#include <QImage>
#include <QString>

class QFile;
class QIODevice;

namespace quenzil {

// What openPictureFile() opens.
enum class PictureFiles {
    // Only a regular file: opening a FIFO would wait for a writer, and a device may never end.
    RegularOnly,
    // Any file but a folder: a pipe or a device is read to its end.
    Any,
};

// Opens the picture file called `name` for reading, by its name as the system has it: on POSIX
// systems the bytes of `name` as given, which need not be valid UTF-8 (a name from another
// encoding opens all the same); on Windows `name` read as UTF-8. A folder is refused ("Is a
// directory"), and with RegularOnly anything else that is no regular file ("Is not a regular
// file"). Returns why the file cannot be opened, with the system's reason ("No such file or
// directory", an empty name too), or the empty text. quenzil-table and the window's command line
// open their pictures this way.
QString openPictureFile(QFile &file, const QByteArray &name, PictureFiles files);

// A file's name as the system has it, for openPictureFile(), from a name as Qt gives it (from a
// dialog, a drop): its bytes on POSIX systems, UTF-8 on Windows.
QByteArray systemFileName(const QString &fileName);
// The other way, to show a name: the bytes as text, with a replacement character where they are
// no text.
QString fileNameText(const QByteArray &name);

// The one way from a picture file to the picture a table codes, for quenzil-table and the window
// alike: the picture is read as a preparation lets it be read (a JPEG that is scaled far down is
// decoded smaller, see readPicture()), then prepared (see prepare()). The source keeps what it
// needs to be prepared again another way: the file's bytes where the read depends on the
// preparation (JPEG), the read picture otherwise, and the last read in either case. So the same
// file and preparation give the same picture whichever way they came to it.
class PictureSource
{
public:
    // Reads the picture file at the device's position (a pipe is read to its end), for
    // `preparation`. On failure returns false, sets *error (when given) to the reason and keeps
    // the picture it had. Nothing is thrown. What the picture libraries print on their own while
    // reading (libpng's "libpng error: ..."), which names no picture, is kept off standard error:
    // the programs say what failed themselves.
    bool read(QIODevice *device, const Preparation &preparation, QString *error = nullptr);
    // The same for the file `fileName`; only a regular file is opened (a FIFO would wait for a
    // writer, a device might never end).
    bool readFile(const QString &fileName, const Preparation &preparation,
                  QString *error = nullptr);
    // Takes a picture decoded already (a pasted one), held to the pixel limit as a read one.
    bool take(const QImage &picture, QString *error = nullptr);

    bool isNull() const { return m_read.isNull(); }

    // The picture prepared as `preparation` tells, read again first where the preparation asks
    // for another read. On failure (the prepared picture beyond the pixel limit, too little
    // memory, a read that fails) returns a null image and sets *error; the source stays as it
    // was. Opaque Format_ARGB32.
    QImage prepared(const Preparation &preparation, QString *error = nullptr);
    // As prepared(), for a picture prepared once: the read picture is handed to the preparation,
    // which may then work on it in place, and the source is empty afterwards.
    QImage takePrepared(const Preparation &preparation, QString *error = nullptr);

private:
    // Brings the read picture to the read `preparation` asks for.
    bool readFor(const Preparation &preparation, QString *error);

    // The file's bytes, where another preparation may read the picture another way.
    QByteArray m_bytes;
    // The picture as last read, at the size its preparation asked for.
    QImage m_read;
};

} // namespace quenzil
