#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

#include <array>
#include <cstdint>

class QIODevice;

namespace quenzil {

// A BMP file's headers, read without consuming them, and what the surface does where Qt's BMP
// reader falls short: it reports success for pixel data cut short, widens channels of fewer than
// 8 bits by shifting alone (full intensity 31 comes out as 248), makes channels of more than 8
// bits black, and does not know the 52- and 56-byte info headers.
class BmpHeader
{
public:
    // Peeks at the headers of the picture at the device's position. A device that does not
    // start with "BM" and a known info header gives isBmp() false; all else is left to Qt.
    explicit BmpHeader(QIODevice *device);

    bool isBmp() const { return m_isBmp; }
    // Width and height in pixels, whichever way the rows are stored.
    QSize size() const;

    // Why the picture cannot be read, or empty: its pixel data ends before the last row, or its
    // colour masks cannot be decoded (not contiguous, beyond the pixel's bits, or all empty).
    QString refusal() const;

    // A 52- or 56-byte info header (the 40-byte one followed by the colour masks), which Qt's
    // reader does not know; withKnownHeader() turns the file into one with the 108-byte header
    // that holds the same fields.
    bool needsKnownHeader() const { return m_headerSize == 52 || m_headerSize == 56; }
    QByteArray withKnownHeader(QByteArray file) const;

    // Uncompressed 16-bit pixels and 32-bit bit fields: the surface decodes these itself, each
    // channel scaled from its mask's width to 8 bits as widenChannel() does.
    bool decodesPixelsItself() const;
    // Reads such pixels from the device into a 32-bit picture (Format_ARGB32 when an alpha
    // mask is given). On failure returns a null image and sets *errorText.
    QImage readPixels(QIODevice *device, QString *errorText) const;

private:
    // Uncompressed 16-bit pixels or 32-bit bit fields, after a header whose masks are known.
    bool hasBitFieldPixels() const;
    // Red, green, blue and alpha masks of the pixels, zero for a channel the file leaves out.
    std::array<std::uint32_t, 4> masks() const;

    bool m_isBmp = false;
    // Bytes from the start of the file's header to the end of the device.
    qint64 m_bytesFromStart = 0;
    std::uint32_t m_dataOffset = 0;
    std::uint32_t m_headerSize = 0;
    qint64 m_width = 0;
    qint64 m_height = 0; // negative: the top row is stored first
    int m_bitCount = 0;
    std::uint32_t m_compression = 0;
    std::array<std::uint32_t, 4> m_storedMasks{};
};

// A buffer for a reader to decode into, blank, so that pixels a picture leaves unset (skips in
// run-length BMP data) read the same every time: index 0, transparent black, or in an opaque
// 32-bit buffer opaque black, so that every pixel of it is opaque without a pass of its own.
// Null for an empty size or unknown format.
QImage blankImage(QSize size, QImage::Format format);

// Makes palette entries a palette does not give black, the colour of a pixel that cannot be
// read: pixel indices beyond a BMP's palette otherwise read as black or white by chance.
void blackenMissingPaletteEntries(QImage &image);

} // namespace quenzil
