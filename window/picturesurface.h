#pragma once

#include "imagepixels.h"
#include "picturesource.h"
#include "preparation.h"

#include <QImage>
#include <QString>

namespace quenzil {

// The window's picture: its source, the picture prepared as the window's settings tell, and
// what the window shows of it. As the PixelSource its table run reads, it gives the prepared
// picture's size and pixels. Before the first load it has no pixels. A failed load or
// preparation leaves everything as it was.
class PictureSurface
{
public:
    // Reads a picture file for `preparation` and prepares it (see PictureSource). On failure
    // returns false and sets *error (when given) to the reason. Nothing is thrown.
    bool load(const QString &fileName, const Preparation &preparation, QString *error = nullptr);
    // The same for a picture file opened already (see openPictureFile()).
    bool read(QIODevice *device, const Preparation &preparation, QString *error = nullptr);
    // Takes a picture already decoded (a pasted one), held to the same pixel limit.
    bool take(const QImage &picture, const Preparation &preparation, QString *error = nullptr);

    // Prepares the picture again, as `preparation` now tells. On failure (the prepared picture
    // beyond the pixel limit, too little memory) returns false with the reason and keeps the
    // picture it had. Without a picture there is nothing to do.
    bool prepare(const Preparation &preparation, QString *error = nullptr);

    double width() const { return m_pixels.width(); }
    double height() const { return m_pixels.height(); }
    // The prepared picture's colour at (x, y); a point outside gives unreadableColour.
    ColourValue colourAt(int x, int y) const { return m_pixels.colourAt(x, y); }

    // What the window shows: the prepared picture, and with a display setting on
    // (Preparation::changesPicture()) that picture as a 3-3-2 display shows it, the key's pixels
    // as a checkerboard. Opaque 32-bit; null before the first load.
    const QImage &image() const { return m_preview.isNull() ? m_prepared : m_preview; }
    // The picture as prepared: what the table codes. Null before the first load.
    const QImage &prepared() const { return m_prepared; }
    // The prepared picture as a 3-3-2 display shows it, whatever the settings, the key's pixels
    // as a checkerboard: what the settings dialog shows. Null before the first load, or when
    // memory runs out.
    QImage displayed() const;

private:
    bool show(PictureSource &source, const Preparation &preparation, QString *error);

    PictureSource m_source;
    QImage m_prepared;
    // Null where the view shows the prepared picture itself.
    QImage m_preview;
    ImagePixels m_pixels;
};

} // namespace quenzil
