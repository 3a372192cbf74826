#pragma once

#include "preparation.h"

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

#include <string>

class QIODevice;

namespace quenzil {

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
    // The same for the file named by `name` as a command line gives it: on POSIX systems the
    // bytes of the name, so that a name that is not valid UTF-8 opens; on Windows UTF-8. A FIFO
    // or a device is read to its end as a pipe is; a folder is refused.
    bool readNamed(const std::string &name, const Preparation &preparation,
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
    // The picture as last read, and the size it was read at for its preparation.
    QImage m_read;
    QSize m_readSize;
};

} // namespace quenzil
