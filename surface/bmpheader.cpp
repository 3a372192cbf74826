#include "bmpheader.h"

#include "displaycolour.h"
#include "picturereading.h"

#include <QIODevice>
#include <QtEndian>

#include <algorithm>
#include <bit>
#include <climits>
#include <vector>

namespace quenzil {

namespace {

constexpr int fileHeaderSize = 14;
constexpr std::uint32_t coreHeaderSize = 12;
constexpr std::uint32_t infoHeaderSize = 40;
constexpr std::uint32_t v4HeaderSize = 108;
constexpr std::uint32_t v5HeaderSize = 124;
constexpr std::uint32_t plain = 0;
constexpr std::uint32_t bitfields = 3;
// The masks lie at the same place whether they follow a 40-byte header or are its longer
// form's own fields; the alpha mask only in the longer forms.
constexpr int masksAt = fileHeaderSize + int(infoHeaderSize);

std::uint32_t le32(const QByteArray &bytes, int at)
{
    return qFromLittleEndian<quint32>(bytes.constData() + at);
}
std::uint16_t le16(const QByteArray &bytes, int at)
{
    return qFromLittleEndian<quint16>(bytes.constData() + at);
}
void putLe32(QByteArray &bytes, int at, std::uint32_t value)
{
    qToLittleEndian<quint32>(value, bytes.data() + at);
}

bool contiguous(std::uint32_t mask)
{
    return mask == 0 || std::has_single_bit((mask >> std::countr_zero(mask)) + 1u) ||
           mask >> std::countr_zero(mask) == 0xFFFFFFFFu;
}

// One channel of a bit-field pixel, scaled from its mask's width to 8 bits.
class Channel
{
public:
    explicit Channel(std::uint32_t mask, std::uint8_t absent = 0)
        : m_mask(mask), m_shift(mask ? std::countr_zero(mask) : 0),
          // The mask's width, gaps included, so that no masked value passes the table.
          m_bits(std::bit_width(mask >> m_shift)), m_absent(absent)
    {
        // A table where it stays small: every 16-bit pixel and the usual 32-bit ones.
        if (m_bits > 0 && m_bits <= 16) {
            m_table.resize(std::size_t(1) << m_bits);
            for (std::uint32_t value = 0; value < m_table.size(); ++value)
                m_table[value] = scaled(value);
        }
    }

    std::uint8_t of(std::uint32_t pixel) const
    {
        if (m_bits == 0)
            return m_absent;
        const std::uint32_t value = (pixel & m_mask) >> m_shift;
        return m_table.empty() ? scaled(value) : m_table[value];
    }

private:
    // v of n bits becomes round(v * 255 / (2^n - 1)), as widenChannel() widens narrower ones.
    std::uint8_t scaled(std::uint32_t value) const
    {
        if (m_bits <= 8)
            return widenChannel(value, unsigned(m_bits));
        const std::uint64_t top = (std::uint64_t(1) << m_bits) - 1;
        return std::uint8_t((value * std::uint64_t(255) + top / 2) / top);
    }

    std::uint32_t m_mask;
    int m_shift;
    int m_bits;
    std::uint8_t m_absent;
    std::vector<std::uint8_t> m_table;
};

} // namespace

BmpHeader::BmpHeader(QIODevice *device)
{
    const QByteArray head = device->peek(masksAt + 16);
    if (head.size() < fileHeaderSize + 16 || !head.startsWith("BM"))
        return;
    m_dataOffset = le32(head, 10);
    m_headerSize = le32(head, 14);
    if (m_headerSize == coreHeaderSize) {
        m_width = le16(head, 18);
        m_height = qint16(le16(head, 20));
        m_bitCount = le16(head, 24);
    } else if (m_headerSize >= infoHeaderSize && head.size() >= masksAt) {
        m_width = qint32(le32(head, 18));
        m_height = qint32(le32(head, 22));
        m_bitCount = le16(head, 28);
        m_compression = le32(head, 30);
        for (int i = 0; i < 4 && head.size() >= masksAt + 4 * (i + 1); ++i)
            m_storedMasks[std::size_t(i)] = le32(head, masksAt + 4 * i);
    } else {
        return;
    }
    m_isBmp = true;
    m_bytesFromStart = device->isSequential() ? -1 : device->size() - device->pos();
}

QSize BmpHeader::size() const
{
    const qint64 rows = m_height < 0 ? -m_height : m_height;
    if (m_width <= 0 || rows <= 0 || m_width > INT_MAX || rows > INT_MAX)
        return {};
    return QSize(int(m_width), int(rows));
}

std::array<std::uint32_t, 4> BmpHeader::masks() const
{
    if (m_compression == plain)
        return {0x7C00, 0x03E0, 0x001F, 0}; // 16 bits: 5-5-5, the top bit unused
    std::array<std::uint32_t, 4> masks = m_storedMasks;
    if (m_headerSize == infoHeaderSize)
        masks[3] = 0;
    return masks;
}

QString BmpHeader::refusal() const
{
    if (!m_isBmp)
        return {};
    if (hasBitFieldPixels()) {
        const std::array<std::uint32_t, 4> channels = masks();
        const std::uint32_t pixelBits = m_bitCount == 32 ? 0xFFFFFFFFu : 0xFFFFu;
        const bool decodable = std::all_of(channels.begin(), channels.end(), [&](auto mask) {
            return contiguous(mask) && (mask & ~pixelBits) == 0;
        });
        if (!decodable || (channels[0] | channels[1] | channels[2]) == 0)
            return QStringLiteral("The picture's colour masks cannot be decoded");
    }

    // Uncompressed rows are padded to 4 bytes. A nonsense offset is the reader's business.
    const bool uncompressed = m_compression == plain || m_compression == bitfields;
    if (uncompressed && m_bytesFromStart >= 0 && m_width > 0 && m_bitCount > 0 &&
        m_dataOffset >= fileHeaderSize + m_headerSize) {
        // Compared by division: a lying header's stride times its height need not fit 64 bits.
        const qint64 stride = (m_width * m_bitCount + 31) / 32 * 4;
        const qint64 rows = m_height < 0 ? -m_height : m_height;
        const qint64 pixelBytes = m_bytesFromStart - qint64(m_dataOffset);
        if (pixelBytes < 0 || (rows > 0 && stride > pixelBytes / rows))
            return QStringLiteral("The picture data is cut short");
    }
    return {};
}

QByteArray BmpHeader::withKnownHeader(QByteArray file) const
{
    const int end = fileHeaderSize + int(m_headerSize);
    if (!needsKnownHeader() || file.size() < end)
        return file;
    // The fields after the masks (colour space, end points, gamma) stay zero.
    const int grow = int(v4HeaderSize - m_headerSize);
    file.insert(end, QByteArray(grow, '\0'));
    putLe32(file, 14, v4HeaderSize);
    putLe32(file, 2, le32(file, 2) + std::uint32_t(grow));
    if (m_dataOffset >= std::uint32_t(end) && m_dataOffset <= UINT32_MAX - std::uint32_t(grow))
        putLe32(file, 10, m_dataOffset + std::uint32_t(grow));
    return file;
}

bool BmpHeader::hasBitFieldPixels() const
{
    const bool knownHeader = m_headerSize == infoHeaderSize || m_headerSize == v4HeaderSize ||
                             m_headerSize == v5HeaderSize ||
                             (m_headerSize == coreHeaderSize && m_compression == plain);
    if (!m_isBmp || !knownHeader)
        return false;
    if (m_bitCount == 16)
        return m_compression == plain || m_compression == bitfields;
    return m_bitCount == 32 && m_compression == bitfields;
}

bool BmpHeader::decodesPixelsItself() const
{
    if (!hasBitFieldPixels())
        return false;
    // Qt's reader gets 8-bit channels right; it scales any other width wrongly.
    const std::array<std::uint32_t, 4> channels = masks();
    return m_bitCount == 16 || std::any_of(channels.begin(), channels.end(), [](auto mask) {
               return mask != 0 && std::popcount(mask) != 8;
           });
}

QImage BmpHeader::readPixels(QIODevice *device, QString *errorText) const
{
    const QSize pixels = size();
    if (pixels.isEmpty()) {
        *errorText = QStringLiteral("The picture's size is not valid");
        return {};
    }
    const std::array<std::uint32_t, 4> channelMasks = masks();
    const Channel red(channelMasks[0]);
    const Channel green(channelMasks[1]);
    const Channel blue(channelMasks[2]);
    const Channel alpha(channelMasks[3], 0xFF);
    QImage image(pixels, channelMasks[3] ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (image.isNull()) {
        *errorText = noMemoryText();
        return {};
    }

    // A nonsense offset reads the pixels right after the headers, as Qt's reader does.
    const qint64 headersEnd =
        fileHeaderSize + qint64(m_headerSize) +
        (m_headerSize == infoHeaderSize && m_compression == bitfields ? 12 : 0);
    const qint64 start = device->pos();
    if (!device->seek(start + std::max(qint64(m_dataOffset), headersEnd))) {
        *errorText = QStringLiteral("The picture data is cut short");
        return {};
    }
    const int bytesPerPixel = m_bitCount / 8;
    const qint64 stride = (qint64(pixels.width()) * m_bitCount + 31) / 32 * 4;
    std::vector<uchar> row(static_cast<std::size_t>(stride));
    for (int stored = 0; stored < pixels.height(); ++stored) {
        if (device->read(reinterpret_cast<char *>(row.data()), stride) != stride) {
            *errorText = QStringLiteral("The picture data is cut short");
            return {};
        }
        const int y = m_height < 0 ? stored : pixels.height() - 1 - stored;
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        const uchar *in = row.data();
        for (int x = 0; x < pixels.width(); ++x, in += bytesPerPixel) {
            const std::uint32_t pixel = bytesPerPixel == 2 ? qFromLittleEndian<quint16>(in)
                                                           : qFromLittleEndian<quint32>(in);
            line[x] = qRgba(red.of(pixel), green.of(pixel), blue.of(pixel), alpha.of(pixel));
        }
    }
    return image;
}

QImage blankImage(QSize size, QImage::Format format)
{
    if (size.isEmpty() || format == QImage::Format_Invalid)
        return {};
    QImage image(size, format);
    if (!image.isNull())
        image.fill(format == QImage::Format_RGB32 ? 0xFF000000u : 0u);
    return image;
}

void blackenMissingPaletteEntries(QImage &image)
{
    const int given = image.colorCount();
    const int entries = image.format() == QImage::Format_Indexed8 ? 256
                        : image.depth() == 1 && given > 0         ? 2
                                                                  : 0;
    if (given == 0 || given >= entries)
        return;
    image.setColorCount(entries);
    for (int index = given; index < entries; ++index)
        image.setColor(index, qRgb(0, 0, 0));
}

} // namespace quenzil
