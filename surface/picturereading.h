#pragma once

#include "preparation.h"

#include <QImage>
#include <QSize>
#include <QString>

class QByteArray;
class QIODevice;

namespace quenzil {

// The most pixels a picture may have: as many as fit a 32-bit buffer within the picture reader's
// allocation limit (QImageReader::allocationLimit(), 128 MiB unless set otherwise), so
// 33,554,432 by default, such as 8192 x 4096. Read and prepared pictures alike are held to it.
qint64 pixelLimit();
bool fitsPixelLimit(QSize size);
// Why a picture of `size` is refused: "The picture's W x H pixels exceed the limit of ...".
QString pixelLimitText(QSize size);
// "Not enough memory for the picture".
QString noMemoryText();

// Reads the picture at the device's position, its format told by its content and turned upright
// by its EXIF orientation as viewers turn it, into Format_ARGB32: transparent pixels keep their
// stored colour and their alpha, an opaque picture has alpha 0xFF everywhere. On failure returns
// a null image and sets *error (when given) to the reason; nothing is thrown.
//
// Every picture is held to the pixel limit, from its header before anything is decoded and
// again after. A sequential device (a pipe, standard input) is read to its end first, at most
// the allocation limit plus 1 MiB, and then gets exactly the checks a file gets; a longer one
// fails. A picture whose data ends before its pixels do is refused, whatever its format: a BMP
// whose pixel data ends early, a GIF or XBM cut short, a JPEG whose reader warns of damaged data
// ("The picture data is damaged: Premature end of JPEG file"). So are a BMP whose colour masks
// cannot be decoded and a JPEG of more than 256 scans (before it is decoded); pixel indices
// beyond a palette read as black. What the readers say while reading is not printed.
//
// `forPreparation` lets the reader decode a smaller picture where the format does that cheaply
// and the preparation scales it far down anyway (a JPEG at 1/2, 1/4 or 1/8 of its size, never
// below twice the scaled size on either side); with the default the picture is read whole.
// Where the read depends on the preparation (JPEG), `keptBytes` (when given) receives the file's
// bytes, to read the picture again another way.
QImage readPicture(QIODevice *device, QString *error = nullptr,
                   const Preparation &forPreparation = {}, QByteArray *keptBytes = nullptr);

// The size readPicture() reads the picture at the device's position at for `forPreparation`,
// upright, from its header alone. Invalid where the header does not tell.
QSize pictureReadSize(QIODevice *device, const Preparation &forPreparation);

// Takes a picture already decoded (from the clipboard, say) as readPicture() gives one, held to
// the same pixel limit. A null image fails.
QImage takePicture(QImage image, QString *error = nullptr);

} // namespace quenzil
