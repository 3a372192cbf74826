#pragma once

#include "colourreduction.h"
#include "colourvalue.h"

#include <QImage>
#include <QString>

#include <cstddef>

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
    // *errorText (when given) to the reason, and keeps the previous picture. Nothing is thrown.
    bool load(const QString &fileName, QString *errorText = nullptr);
    // The same for a picture held in memory.
    bool loadFromData(const QByteArray &data, QString *errorText = nullptr);
    // The same for a device opened for reading (a file opened by the caller, say). A sequential
    // device (a pipe, standard input, a process) is read to its end first, at most the allocation
    // limit plus 1 MiB, and then gets exactly the checks a file gets; a longer one fails.
    bool load(QIODevice *device, QString *errorText = nullptr);
    // Takes a picture already decoded (from the clipboard, or prepared by the caller), held to
    // the same pixel limit as a file. A null image fails.
    bool loadImage(const QImage &image, QString *errorText = nullptr);

    // Whether later loads keep each pixel's alpha in the buffer (Format_ARGB32, for blending over
    // a background later) instead of dropping it (Format_RGB32, the default). colourAt() never
    // reports the alpha.
    void setKeepsTransparency(bool keep) { m_keepsTransparency = keep; }
    bool keepsTransparency() const { return m_keepsTransparency; }

    double width() const { return m_width; }
    double height() const { return m_height; }

    // The colour at (x, y); a point outside the picture gives unreadableColour.
    ColourValue colourAt(int x, int y) const
    {
        // One unsigned comparison per axis also rejects negative coordinates.
        if (unsigned(x) >= unsigned(m_width) || unsigned(y) >= unsigned(m_height))
            return unreadableColour;
        const QRgb pixel = reinterpret_cast<const QRgb *>(m_bits + std::size_t(y) * m_stride)[x];
        // 0xAARRGGBB to 0x00BBGGRR: swap red and blue, drop the alpha.
        return (pixel & 0x00FF00u) | (pixel >> 16 & 0xFFu) | (pixel & 0xFFu) << 16;
    }

    // Turns every pixel into the bitwise NOT of its colour. Twice gives back the picture.
    void invert();

    // Replaces every pixel's colour by a display colour as `reduction` chooses (see
    // colourreduction.h), in place; the alpha stays. May throw std::bad_alloc (diffusion).
    void reduceColours(ColourReduction reduction);

    // The most pixels a picture may have to be loaded: as many as fit a 32-bit buffer within the
    // picture reader's allocation limit (QImageReader::allocationLimit(), 128 MiB unless set
    // otherwise), so 33,554,432 by default, such as 8192 x 4096. A larger one fails to load.
    static qint64 pixelLimit();

    // The buffer, for drawing it: Format_RGB32 (Format_ARGB32 when transparency is kept), null
    // before the first load.
    const QImage &image() const { return m_image; }

private:
    // Holds a decoded picture to the pixel limit and makes it the buffer (callers catch
    // std::bad_alloc).
    bool takePicture(QImage decoded, QString *errorText);
    void setImage(QImage image);

    QImage m_image;
    // Read straight by colourAt(), which runs for every pixel of a table.
    const uchar *m_bits = nullptr;
    std::size_t m_stride = 0;
    int m_width = 0;
    int m_height = 0;
    bool m_keepsTransparency = false;
};

} // namespace quenzil
