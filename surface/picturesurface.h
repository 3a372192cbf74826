#pragma once

#include "colourvalue.h"

#include <QImage>
#include <QString>

#include <cstdint>

class QByteArray;
class QIODevice;

namespace quenzil {

// The loaded picture's pixels in an opaque 32-bit buffer: its size in pixels, single pixels as
// colour values (0x00BBGGRR), and inversion in place. Before the first load it has no pixels.
// A failed load leaves everything as it was.
class PictureSurface
{
public:
    // Loads a picture file, its format told by its content. On failure returns false, sets
    // *errorText (when given) to the reader's reason, and keeps the previous picture.
    bool load(const QString &fileName, QString *errorText = nullptr);
    // The same for a picture held in memory.
    bool loadFromData(const QByteArray &data, QString *errorText = nullptr);

    double width() const { return m_image.width(); }
    double height() const { return m_image.height(); }

    // The colour at (x, y); a point outside the picture gives unreadableColour.
    ColourValue colourAt(int x, int y) const
    {
        if (x < 0 || y < 0 || x >= m_image.width() || y >= m_image.height())
            return unreadableColour;
        const QRgb pixel = reinterpret_cast<const QRgb *>(m_image.constScanLine(y))[x];
        return ColourValue(qRed(pixel)) | ColourValue(qGreen(pixel)) << 8 |
               ColourValue(qBlue(pixel)) << 16;
    }

    // Turns every pixel into the bitwise NOT of its colour. Twice gives back the picture.
    void invert();

    // The most pixels a picture may have to be loaded: as many as fit a 32-bit buffer within the
    // picture reader's allocation limit (QImageReader::allocationLimit(), 128 MiB unless set
    // otherwise), so 33,554,432 by default, such as 8192 x 4096. A larger one fails to load.
    static std::int64_t pixelLimit();

    // The buffer, for drawing it: Format_RGB32, null before the first load.
    const QImage &image() const { return m_image; }

private:
    bool loadFrom(QIODevice *device, const QString &name, QString *errorText);

    QImage m_image;
};

} // namespace quenzil
