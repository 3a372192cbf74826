#include "picturesurface.h"

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>

#include <limits>

namespace quenzil {

namespace {

// An opaque 32-bit copy of a decoded picture. Transparent pixels keep their stored colour and
// lose only the alpha: nothing is blended against a background.
QImage opaqueBuffer(const QImage &decoded)
{
    QImage buffer = decoded.convertToFormat(QImage::Format_ARGB32);
    if (buffer.isNull())
        return buffer;
    for (int y = 0; y < buffer.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(buffer.scanLine(y));
        for (int x = 0; x < buffer.width(); ++x)
            line[x] |= 0xFF000000u;
    }
    buffer.reinterpretAsFormat(QImage::Format_RGB32);
    return buffer;
}

bool fitsPixelLimit(QSize size)
{
    return std::int64_t(size.width()) * size.height() <= PictureSurface::pixelLimit();
}

QString tooLargeText(QSize size)
{
    return QStringLiteral("Picture too large: %1 x %2 pixels, at most %3 pixels can be loaded")
        .arg(size.width())
        .arg(size.height())
        .arg(PictureSurface::pixelLimit());
}

// The size the file's header gives, before anything is decoded; invalid when the format does not
// tell. A BMP stored top-down gives its height as a negative number.
QSize announcedSize(QImageReader &reader)
{
    const QSize size = reader.size();
    if (size.width() > 0 && size.height() < 0 && size.height() != std::numeric_limits<int>::min())
        return QSize(size.width(), -size.height());
    return size;
}

// Decodes into a buffer cleared beforehand when the header tells the size and the image format.
// Some decoders, the BMP one among them, fill a buffer of the right size and format they are
// given instead of making their own, and leave the pixels they never reach (a file cut off
// inside its pixels, RLE runs that jump or end early) as they found them: in a fresh buffer,
// whatever that memory held, so one file would give a different picture on every load. Cleared,
// such a pixel is the palette's first colour, or black.
QImage decode(QImageReader &reader, QSize announced)
{
    QImage image;
    const QImage::Format format = reader.imageFormat();
    if (announced.isValid() && format != QImage::Format_Invalid) {
        const std::int64_t bits = std::int64_t(announced.width()) * announced.height() *
                                  QImage::toPixelFormat(format).bitsPerPixel();
        // Only within the reader's allocation limit, which a given buffer would skip.
        if (bits / 8 <= PictureSurface::pixelLimit() * std::int64_t(sizeof(QRgb))) {
            image = QImage(announced, format);
            image.fill(0);
        }
    }
    if (!reader.read(&image))
        return QImage();
    return image;
}

void setError(QString *errorText, const QString &text)
{
    if (errorText)
        *errorText = text;
}

} // namespace

bool PictureSurface::load(const QString &fileName, QString *errorText)
{
    const QFileInfo info(fileName);
    if (info.isDir()) {
        setError(errorText, QStringLiteral("Is a directory"));
        return false;
    }
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        setError(errorText, file.errorString());
        return false;
    }
    return loadFrom(&file, fileName, errorText);
}

bool PictureSurface::loadFromData(const QByteArray &data, QString *errorText)
{
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    return loadFrom(&buffer, QString(), errorText);
}

std::int64_t PictureSurface::pixelLimit()
{
    constexpr std::int64_t defaultLimitMiB = 128;
    const int limitMiB = QImageReader::allocationLimit();
    const std::int64_t bytes = (limitMiB > 0 ? limitMiB : defaultLimitMiB) * 1024 * 1024;
    return bytes / std::int64_t(sizeof(QRgb));
}

bool PictureSurface::loadFrom(QIODevice *device, const QString &name, QString *errorText)
{
    Q_UNUSED(name);
    // The format is told by the content, whatever the file's name says.
    QImageReader reader(device);
    reader.setDecideFormatFromContent(true);

    // Pixels are counted against the limit before decoding, from the header where the format
    // tells the size, and again after: the reader's own check is skipped for a buffer handed to
    // it (see decode()), and a refusal here names the size.
    const QSize announced = announcedSize(reader);
    if (announced.isValid() && !fitsPixelLimit(announced)) {
        setError(errorText, tooLargeText(announced));
        return false;
    }
    const QImage decoded = decode(reader, announced);
    if (decoded.isNull()) {
        setError(errorText, reader.errorString());
        return false;
    }
    if (!fitsPixelLimit(decoded.size())) {
        setError(errorText, tooLargeText(decoded.size()));
        return false;
    }
    QImage buffer = opaqueBuffer(decoded);
    if (buffer.isNull()) {
        setError(errorText, QStringLiteral("Not enough memory for the picture"));
        return false;
    }
    m_image = std::move(buffer);
    return true;
}

void PictureSurface::invert()
{
    // On an opaque buffer this is exactly the NOT of each colour's 24 bits.
    m_image.invertPixels(QImage::InvertRgb);
}

} // namespace quenzil
