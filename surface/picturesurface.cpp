#include "picturesurface.h"

#include "displaycolour.h"

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QtEndian>

#include <array>
#include <bit>
#include <exception>
#include <limits>
#include <new>

#ifdef Q_OS_LINUX
#include <sys/mman.h>
#endif

namespace quenzil {

namespace {

// What the BMP reader needs help with, told from the file's headers.
struct BmpFacts
{
    // The pixel data ends before the last row: the reader would leave the missing rows unset
    // and still report success.
    bool truncated = false;
    // Bits of red, green and blue in a pixel with fewer than 8 bits a channel (16-bit pictures).
    // The reader widens such a channel by shifting alone, so full intensity 31 comes out as 248;
    // widenChannels() puts right what it wrote. Zero where nothing needs doing.
    std::array<int, 3> narrowBits{};
};

std::uint32_t le32(const QByteArray &bytes, int at)
{
    return qFromLittleEndian<quint32>(bytes.constData() + at);
}
std::uint16_t le16(const QByteArray &bytes, int at)
{
    return qFromLittleEndian<quint16>(bytes.constData() + at);
}

// Bits in a contiguous channel mask.
int maskBits(std::uint32_t mask)
{
    return mask ? std::bit_width(mask >> std::countr_zero(mask)) : 0;
}

BmpFacts inspectBmp(QIODevice *device)
{
    BmpFacts facts;
    constexpr int fileHeader = 14;
    const QByteArray head = device->peek(fileHeader + 40 + 16);
    if (head.size() < fileHeader + 16 || !head.startsWith("BM"))
        return facts;
    const std::uint32_t dataOffset = le32(head, 10);
    const std::uint32_t headerSize = le32(head, 14);

    qint64 width = 0;
    qint64 height = 0;
    int bitCount = 0;
    std::uint32_t compression = 0;
    if (headerSize == 12) {
        width = le16(head, 18);
        height = qint16(le16(head, 20));
        bitCount = le16(head, 24);
    } else if (headerSize >= 40 && head.size() >= fileHeader + 40) {
        width = qint32(le32(head, 18));
        height = qint32(le32(head, 22));
        bitCount = le16(head, 28);
        compression = le32(head, 30);
    } else {
        return facts;
    }

    constexpr std::uint32_t plain = 0;
    constexpr std::uint32_t bitfields = 3;
    if (bitCount == 16 && compression == plain) {
        facts.narrowBits = {5, 5, 5};
    } else if ((bitCount == 16 || bitCount == 32) && compression == bitfields &&
               head.size() >= fileHeader + 40 + 12) {
        // The three masks follow a 40-byte header, or open the fields of a longer one: both
        // put them at the same place.
        for (int channel = 0; channel < 3; ++channel) {
            const int bits = maskBits(le32(head, fileHeader + 40 + 4 * channel));
            facts.narrowBits[std::size_t(channel)] = bits > 0 && bits < 8 ? bits : 0;
        }
    }

    // Uncompressed rows are padded to 4 bytes. A nonsense offset is the reader's business.
    const bool uncompressed = compression == plain || compression == bitfields;
    if (uncompressed && !device->isSequential() && width > 0 && bitCount > 0 &&
        dataOffset >= fileHeader + headerSize) {
        // Compared by division: a lying header's stride times its height need not fit 64 bits.
        const qint64 stride = (width * bitCount + 31) / 32 * 4;
        const qint64 rows = height < 0 ? -height : height;
        const qint64 pixelBytes = device->size() - device->pos() - qint64(dataOffset);
        facts.truncated = pixelBytes < 0 || (rows > 0 && stride > pixelBytes / rows);
    }
    return facts;
}

// A buffer for the reader to decode into, zeroed, so that pixels a picture leaves unset (skips
// in run-length data) read the same every time. On Linux it is asked for in huge pages: the
// buffer of a large picture otherwise costs a page fault every 4 KiB.
QImage zeroedImage(QSize size, QImage::Format format)
{
    if (size.isEmpty() || format == QImage::Format_Invalid)
        return {};
    const qsizetype depth = QImage::toPixelFormat(format).bitsPerPixel();
    const qsizetype stride = (size.width() * depth + 31) / 32 * 4;
    const std::size_t bytes = std::size_t(stride) * std::size_t(size.height());
#ifdef Q_OS_LINUX
    constexpr std::size_t hugePage = std::size_t(2) << 20;
    if (bytes >= hugePage) {
        struct Mapping
        {
            void *address;
            std::size_t length;
        };
        const std::size_t length = (bytes + hugePage - 1) / hugePage * hugePage;
        void *address =
            mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (address != MAP_FAILED) {
            madvise(address, length, MADV_HUGEPAGE);
            auto *mapping = new Mapping{address, length};
            const auto release = [](void *info) {
                auto *m = static_cast<Mapping *>(info);
                munmap(m->address, m->length);
                delete m;
            };
            return QImage(static_cast<uchar *>(address), size.width(), size.height(), stride,
                          format, release, mapping);
        }
    }
#endif
    QImage image(size, format);
    if (!image.isNull())
        image.fill(0);
    return image;
}

// Widens the channels that the reader shifted up from fewer than 8 bits: value v of n bits
// becomes round(v * 255 / (2^n - 1)), so that full intensity stays full.
void widenChannels(QImage &image, const std::array<int, 3> &narrowBits)
{
    std::array<std::array<quint8, 256>, 3> table{};
    for (std::size_t channel = 0; channel < 3; ++channel) {
        const int bits = narrowBits[channel];
        for (unsigned value = 0; value < 256; ++value) {
            if (bits == 0) {
                table[channel][value] = quint8(value);
                continue;
            }
            table[channel][value] = widenChannel(value >> (8 - bits), unsigned(bits));
        }
    }
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = line[x];
            line[x] = qRgba(table[0][qRed(pixel)], table[1][qGreen(pixel)], table[2][qBlue(pixel)],
                            qAlpha(pixel));
        }
    }
}

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
        const BmpFacts bmp = inspectBmp(device);
        if (bmp.truncated)
            return fail(errorText, QStringLiteral("The picture data is cut short"));

        // The format is told by the content, whatever the file's name says.
        QImageReader reader(device);
        reader.setDecideFormatFromContent(true);

        // The buffer is 32 bits a pixel whatever the file stores, so the pixels are held
        // against the limit: before decoding, from the header where the format tells the size,
        // and again after, since the reader skips its own check for a buffer it is handed.
        const QSize size = announcedSize(reader);
        if (size.isValid() && !fitsPixelLimit(size))
            return fail(errorText, tooLargeText(size));

        QImage decoded = zeroedImage(size, reader.imageFormat());
        if (!reader.read(&decoded))
            return fail(errorText, reader.errorString());
        if (!fitsPixelLimit(decoded.size()))
            return fail(errorText, tooLargeText(decoded.size()));
        if (bmp.narrowBits != std::array<int, 3>{} &&
            (decoded.format() == QImage::Format_RGB32 || decoded.format() == QImage::Format_ARGB32))
            widenChannels(decoded, bmp.narrowBits);

        QImage buffer = pictureBuffer(std::move(decoded), m_keepsTransparency);
        if (buffer.isNull())
            return fail(errorText, QStringLiteral("Not enough memory for the picture"));
        setImage(std::move(buffer));
        return true;
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
        if (!fitsPixelLimit(image.size()))
            return fail(errorText, tooLargeText(image.size()));
        QImage buffer = pictureBuffer(image, m_keepsTransparency);
        if (buffer.isNull())
            return fail(errorText, QStringLiteral("Not enough memory for the picture"));
        setImage(std::move(buffer));
        return true;
    } catch (const std::bad_alloc &) {
        return fail(errorText, QStringLiteral("Not enough memory for the picture"));
    }
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
