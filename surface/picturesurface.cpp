#include "picturesurface.h"

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>

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

    // The reader's own limit counts the bytes of the decoded picture, and a 1-bit or 8-bit
    // picture decodes to far fewer bytes than our 32-bit buffer, let alone its table (about 13
    // characters a pixel). So the pixels are counted too: before decoding, from the header,
    // where the format tells the size, and again after.
    const QSize announced = reader.size();
    if (announced.isValid() && !fitsPixelLimit(announced)) {
        setError(errorText, tooLargeText(announced));
        return false;
    }
    const QImage decoded = reader.read();
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
