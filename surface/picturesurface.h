#pragma once

#include "imagepixels.h"
#include "preparation.h"

#include <QImage>
#include <QString>

class QByteArray;
class QIODevice;

namespace quenzil {

// The window's picture: the picture as loaded (inverted by each invert()), the same prepared as
// the window's settings tell, and what the window shows of it. As the PixelSource its table run
// reads, it gives the prepared picture's size and pixels. Before the first load it has no pixels.
// A failed load, invert or change of preparation leaves everything as it was.
//
// With the default preparation an opaque picture is held once: the prepared picture is the
// loaded one.
class PictureSurface
{
public:
    // Loads a picture file, its format told by its content (see readPicture()). On failure
    // returns false and sets *error (when given) to the reason. Nothing is thrown.
    bool load(const QString &fileName, QString *error = nullptr);
    // The same for a device opened for reading (a pipe is read whole first).
    bool load(QIODevice *device, QString *error = nullptr);
    // The same for a picture held in memory.
    bool loadFromData(const QByteArray &data, QString *error = nullptr);
    // Takes a picture already decoded (a pasted one), held to the same pixel limit.
    bool takePicture(const QImage &picture, QString *error = nullptr);

    // Turns every colour of the picture into its bitwise NOT, then prepares it again; twice
    // gives back the picture. Only a lack of memory can make it fail.
    bool invert(QString *error = nullptr);

    // Prepares the picture as `preparation` tells, now and after every later load or invert.
    // On failure (the prepared picture beyond the pixel limit, too little memory) returns false
    // with the reason and keeps the preparation and the pictures it had.
    bool setPreparation(const Preparation &preparation, QString *error = nullptr);
    const Preparation &preparation() const { return m_preparation; }

    double width() const { return m_pixels.width(); }
    double height() const { return m_pixels.height(); }
    // The prepared picture's colour at (x, y); a point outside gives unreadableColour.
    ColourValue colourAt(int x, int y) const { return m_pixels.colourAt(x, y); }

    // What the window shows: the prepared picture, and with a display setting on
    // (Preparation::changesPicture()) that picture as a 3-3-2 display shows it. Opaque 32-bit;
    // null before the first load.
    const QImage &image() const;

private:
    bool show(QImage picture, const Preparation &preparation, QString *error);
    // The picture the table codes: the prepared one, or the picture itself where nothing changed.
    const QImage &coded() const;

    QImage m_picture;
    // Null where the prepared picture is m_picture itself.
    QImage m_prepared;
    // Null where the view shows the prepared picture itself.
    QImage m_preview;
    Preparation m_preparation;
    ImagePixels m_pixels;
};

} // namespace quenzil
