#pragma once

#include "colourvalue.h"

#include <QImage>

#include <cstddef>

namespace quenzil {

// A 32-bit picture's pixels as the table builder reads them (a PixelSource): its size, and single
// pixels as colour values 0x00BBGGRR without the alpha. It reads the picture's buffer in place and
// keeps no reference to the QImage: the picture must outlive it and stay unchanged, or the pixels
// be made anew after any change. A null picture, or one of another format than Format_ARGB32 or
// Format_RGB32, has no pixels.
class ImagePixels
{
public:
    ImagePixels() = default;
    explicit ImagePixels(const QImage &picture)
    {
        if (picture.format() != QImage::Format_ARGB32 && picture.format() != QImage::Format_RGB32)
            return;
        m_bits = picture.constBits();
        m_stride = std::size_t(picture.bytesPerLine());
        m_width = picture.width();
        m_height = picture.height();
    }

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

private:
    const uchar *m_bits = nullptr;
    std::size_t m_stride = 0;
    int m_width = 0;
    int m_height = 0;
};

} // namespace quenzil
