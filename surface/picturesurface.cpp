#include "picturesurface.h"

#include "bmpheader.h"

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>

#include <algorithm>
#include <exception>
#include <limits>
#include <new>

namespace quenzil {

namespace {

// Turns a decoded picture into the 32-bit buffer. Transparent pixels keep their stored colour;
// unless `keepAlpha`, they lose the alpha: nothing is blended against a background.
QImage pictureBuffer(QImage decoded, bool keepAlpha)
{
    const QImage::Format format = decoded.format();
    if (format != QImage::Format_RGB32 && format != QImage::Format_ARGB32)
        decoded = std::move(decoded).convertToFormat(QImage::Format_ARGB32);
    if (decoded.isNull())
        return decoded;
    // An RGB32 picture's pixels count as opaque whatever their alpha bytes hold (pixels a damaged
    // file leaves unset among them).
    if (!keepAlpha || decoded.format() == QImage::Format_RGB32) {
        for (int y = 0; y < decoded.height(); ++y) {
            auto *line = reinterpret_cast<QRgb *>(decoded.scanLine(y));
            for (int x = 0; x < decoded.width(); ++x)
                line[x] |= 0xFF000000u;
        }
    }
    decoded.reinterpretAsFormat(keepAlpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    return decoded;
}

bool fitsPixelLimit(QSize size)
{
    return qint64(size.width()) * size.height() <= PictureSurface::pixelLimit();
}

QString tooLargeText(QSize size)
{
    // 32-bit pixels: the limit in MB is the allocation limit the pixel limit comes from.
    return QStringLiteral("The picture's %1 x %2 pixels exceed the limit of %4 MB (%3 pixels)")
        .arg(size.width())
        .arg(size.height())
        .arg(PictureSurface::pixelLimit())
        .arg(PictureSurface::pixelLimit() * qint64(sizeof(QRgb)) >> 20);
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

bool fail(QString *errorText, const QString &text)
{
    if (errorText)
        *errorText = text;
    return false;
}

// The most bytes read whole from a stream, or from a file whose header is rewritten: room for
// the largest 32-bit BMP within the pixel limit, with 1 MiB to spare for headers.
qint64 wholeReadLimit()
{
    return PictureSurface::pixelLimit() * qint64(sizeof(QRgb)) + (qint64(1) << 20);
}

QString tooLongText()
{
    return QStringLiteral("The picture data is longer than %1 MB, the most read from a stream")
        .arg(wholeReadLimit() >> 20);
}

// Reads a sequential device (a pipe, standard input) to its end, but never more than the limit.
bool readStream(QIODevice *device, QByteArray *bytes, QString *errorText)
{
    constexpr qint64 piece = qint64(1) << 20;
    const qint64 limit = wholeReadLimit();
    qint64 filled = 0;
    while (true) {
        if (filled > limit)
            return fail(errorText, tooLongText());
        const qint64 room = std::min(piece, limit + 1 - filled);
        bytes->resize(filled + room);
        const qint64 got = device->read(bytes->data() + filled, room);
        // A closed socket or process ends this way; what came before is checked as any file.
        if (got < 0)
            break;
        filled += got;
        // Nothing buffered: a process or socket may still send more; a pipe read as a file
        // has ended.
        if (got == 0 && !device->waitForReadyRead(-1))
            break;
    }
    bytes->resize(filled);
    return true;
}

// Puts `bytes` into `buffer` and opens it for reading.
QIODevice *openBuffer(QBuffer &buffer, QByteArray bytes)
{
    buffer.close();
    buffer.setData(std::move(bytes));
    buffer.open(QIODevice::ReadOnly);
    return &buffer;
}

} // namespace

bool PictureSurface::load(const QString &fileName, QString *errorText)
{
    if (QFileInfo(fileName).isDir())
        return fail(errorText, QStringLiteral("Is a directory"));
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return fail(errorText, file.errorString());
    return load(&file, errorText);
}

qint64 PictureSurface::pixelLimit()
{
    // A limit of 0 switches the reader's check off; the surface keeps the default then.
    constexpr qint64 defaultLimitMiB = 128;
    const int limitMiB = QImageReader::allocationLimit();
    return (limitMiB > 0 ? limitMiB : defaultLimitMiB) * 1024 * 1024 / qint64(sizeof(QRgb));
}

bool PictureSurface::loadFromData(const QByteArray &data, QString *errorText)
{
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    return load(&buffer, errorText);
}

bool PictureSurface::load(QIODevice *device, QString *errorText)
{
    try {
        // A stream gives no size to check the picture's data against: it is read whole first,
        // and then gets exactly the checks a file gets.
        QBuffer whole;
        if (device->isSequential()) {
            QByteArray bytes;
            if (!readStream(device, &bytes, errorText))
                return false;
            device = openBuffer(whole, std::move(bytes));
        }

        BmpHeader bmp(device);
        if (bmp.needsKnownHeader()) {
            if (device->size() - device->pos() > wholeReadLimit())
                return fail(errorText, tooLongText());
            device = openBuffer(whole, bmp.withKnownHeader(device->readAll()));
            bmp = BmpHeader(device);
        }
        if (bmp.isBmp() && bmp.size().isValid() && !fitsPixelLimit(bmp.size()))
            return fail(errorText, tooLargeText(bmp.size()));
        if (const QString refusal = bmp.refusal(); !refusal.isEmpty())
            return fail(errorText, refusal);

        // The reader lives only within its branch: a handler that keeps the picture it gave
        // (GIF keeps the last frame) would make the first write below copy the whole buffer.
        QImage decoded;
        if (bmp.decodesPixelsItself()) {
            QString error;
            decoded = bmp.readPixels(device, &error);
            if (decoded.isNull())
                return fail(errorText, error);
        } else {
            // The format is told by the content, whatever the file's name says.
            QImageReader reader(device);
            reader.setDecideFormatFromContent(true);
            // The buffer is 32 bits a pixel whatever the file stores, so the pixels are held
            // against the limit: before decoding, from the header where the format tells the
            // size, and again after, since the reader skips its own check for a buffer it is
            // handed.
            const QSize size = announcedSize(reader);
            if (size.isValid() && !fitsPixelLimit(size))
                return fail(errorText, tooLargeText(size));
            decoded = zeroedImage(size, reader.imageFormat());
            if (!reader.read(&decoded))
                return fail(errorText, reader.errorString());
            blackenMissingPaletteEntries(decoded);
        }
        return takePicture(std::move(decoded), errorText);
    } catch (const std::bad_alloc &) {
        return fail(errorText, QStringLiteral("Not enough memory for the picture"));
    } catch (const std::exception &error) {
        return fail(errorText, QString::fromLocal8Bit(error.what()));
    }
}

bool PictureSurface::loadImage(const QImage &image, QString *errorText)
{
    try {
        if (image.isNull())
            return fail(errorText, QStringLiteral("There is no picture"));
        return takePicture(image, errorText);
    } catch (const std::bad_alloc &) {
        return fail(errorText, QStringLiteral("Not enough memory for the picture"));
    }
}

bool PictureSurface::takePicture(QImage decoded, QString *errorText)
{
    if (!fitsPixelLimit(decoded.size()))
        return fail(errorText, tooLargeText(decoded.size()));
    QImage buffer = pictureBuffer(std::move(decoded), m_keepsTransparency);
    if (buffer.isNull())
        return fail(errorText, QStringLiteral("Not enough memory for the picture"));
    setImage(std::move(buffer));
    return true;
}

void PictureSurface::invert()
{
    // On an opaque buffer this is exactly the NOT of each colour's 24 bits.
    m_image.invertPixels(QImage::InvertRgb);
    // Inverting may have detached the buffer from a copy someone holds.
    setImage(std::move(m_image));
}

void PictureSurface::reduceColours(ColourReduction reduction)
{
    if (m_image.isNull())
        return;
    // The buffer is 0xAARRGGBB a pixel; 32-bit rows are whole pixels long.
    auto *pixels = reinterpret_cast<std::uint32_t *>(m_image.bits());
    reduceToDisplayColours({pixels, m_image.width(), m_image.height(), m_image.bytesPerLine() / 4},
                           reduction, ChannelLayout{16, 8, 0});
    // Writing may have detached the buffer from a copy someone holds.
    setImage(std::move(m_image));
}

void PictureSurface::setImage(QImage image)
{
    m_image = std::move(image);
    m_width = m_image.width();
    m_height = m_image.height();
    m_bits = m_image.isNull() ? nullptr : m_image.constBits();
    m_stride = std::size_t(m_image.bytesPerLine());
}

} // namespace quenzil
