#pragma once

#include <QByteArrayView>
#include <QSize>

namespace quenzil {

// Checks of a picture file's bytes that Qt's readers leave out, made before the picture is
// decoded. Each looks at the bytes alone and reads nothing beyond them.

// The scans (SOS segments) of a JPEG, counted by walking its markers up to its end marker or the
// end of the bytes, and no further than one past `most`. A baseline JPEG has one scan, a
// progressive one a scan per pass: about ten as encoders write them. Each scan costs a pass over
// the whole picture, so a small file of thousands of scans keeps a decoder busy for seconds.
int jpegScans(QByteArrayView bytes, int most);

// Whether a GIF ends before the data of its first picture does: Qt's reader gives such a picture
// all the same, its missing rows blank or, when interlaced, copies of rows above.
bool gifEndsEarly(QByteArrayView bytes);

// Whether an XBM of `size` holds fewer bytes of pixels ("0x..") than the size needs: Qt's reader
// leaves the missing pixels white.
bool xbmEndsEarly(QByteArrayView bytes, QSize size);

} // namespace quenzil
