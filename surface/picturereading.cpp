#include "picturereading.h"

#include "bmpheader.h"
#include "picturechecks.h"
#include "picturepreparation.h"

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>

#include <algorithm>
#include <atomic>
#include <exception>
#include <limits>
#include <mutex>
#include <new>

namespace quenzil {

namespace {

QImage fail(QString *error, const QString &text)
{
    if (error)
        *error = text;
    return {};
}

// While it lives, the warnings of Qt's picture readers on this thread are kept instead of
// printed: the JPEG reader tells of data that ends early or is corrupt only that way ("Premature
// end of JPEG file", "Corrupt JPEG data: ...") and gives the picture all the same, its missing
// part grey. Every other message goes to the handler that was installed before. Reads on several
// threads at once share one installed handler, which each message finds its own thread's catcher
// through.
class ReaderWarnings
{
public:
    ReaderWarnings() : m_outer(current)
    {
        current = this;
        const std::lock_guard lock(installation);
        if (installs++ == 0)
            previous = qInstallMessageHandler(&handle);
    }
    ~ReaderWarnings()
    {
        current = m_outer;
        const std::lock_guard lock(installation);
        if (--installs == 0)
            qInstallMessageHandler(previous.load());
    }
    ReaderWarnings(const ReaderWarnings &) = delete;
    ReaderWarnings &operator=(const ReaderWarnings &) = delete;

    // The first warning caught, or the empty text.
    const QString &first() const { return m_first; }

private:
    static void handle(QtMsgType type, const QMessageLogContext &context, const QString &message)
    {
        // Warnings alone: the PNG reader passes libpng's harmless remarks on as information.
        const bool readerWarning =
            (type == QtWarningMsg || type == QtCriticalMsg) && context.category &&
            QLatin1String(context.category).startsWith(QLatin1String("qt.gui.imageio"));
        if (current && readerWarning) {
            if (current->m_first.isEmpty())
                current->m_first = message.simplified();
            return;
        }
        previous.load()(type, context, message);
    }

    static inline thread_local ReaderWarnings *current = nullptr;
    static inline std::mutex installation;
    static inline int installs = 0;
    static inline std::atomic<QtMessageHandler> previous = nullptr;

    ReaderWarnings *m_outer;
    QString m_first;
};

// Turns a picture into Format_ARGB32, in place where it already has 32 bits a pixel. An RGB32
// picture from our own decoding is opaque already (the readers write opaque pixels into a blank
// opaque buffer); one handed in is made so.
QImage argbPicture(QImage decoded, bool opaqueAlready)
{
    if (decoded.format() == QImage::Format_RGB32 && opaqueAlready) {
        decoded.reinterpretAsFormat(QImage::Format_ARGB32);
        return decoded;
    }
    if (decoded.format() == QImage::Format_RGB32) {
        // An RGB32 picture's pixels count as opaque whatever their alpha bytes hold (pixels a
        // damaged file leaves unset among them).
        const int width = decoded.width();
        for (int y = 0; y < decoded.height(); ++y) {
            auto *line = reinterpret_cast<QRgb *>(decoded.scanLine(y));
            for (int x = 0; x < width; ++x)
                line[x] |= 0xFF000000u;
        }
        decoded.reinterpretAsFormat(QImage::Format_ARGB32);
        return decoded;
    }
    if (decoded.format() != QImage::Format_ARGB32)
        decoded = std::move(decoded).convertToFormat(QImage::Format_ARGB32);
    return decoded;
}

// The size the file's header gives, before anything is decoded, as stored; invalid when the
// format does not tell. A BMP stored top-down gives its height as a negative number.
QSize announcedSize(QImageReader &reader)
{
    const QSize size = reader.size();
    if (size.width() > 0 && size.height() < 0 && size.height() != std::numeric_limits<int>::min())
        return QSize(size.width(), -size.height());
    return size;
}

// Whether the picture is stored on its side: turned upright (by its EXIF orientation, as viewers
// turn it), its width and height swap.
bool storedOnItsSide(QImageReader &reader)
{
    return reader.autoTransform() &&
           reader.transformation().testFlag(QImageIOHandler::TransformationRotate90);
}

// Sets up a reader for the picture at the device's position: the format told by the content,
// whatever the file's name says, and the picture turned upright.
void setUp(QImageReader &reader)
{
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(true);
}

// The size to decode a picture of `stored` size at when `preparation` scales it afterwards: a
// power-of-two fraction that keeps at least twice the scaled size on both sides. Only an exact
// fraction will do, so that the decoder gives exactly that size (and the aspect stays exact)
// without a second scaling of its own. Nearest resampling picks single pixels and gets the
// picture whole.
QSize reducedSize(QSize upright, const Preparation &preparation)
{
    if (preparation.scaling == Preparation::Scaling::None ||
        preparation.resampling != Preparation::Resampling::Smooth)
        return upright;
    // Filling scales to the size that covers the box, before it crops.
    const QSize scaled = scaledSize(upright, preparation);
    for (int fraction : {8, 4, 2}) {
        if (upright.width() % fraction == 0 && upright.height() % fraction == 0 &&
            upright.width() / fraction >= 2 * scaled.width() &&
            upright.height() / fraction >= 2 * scaled.height())
            return upright / fraction;
    }
    return upright;
}

// JPEG decodes a power-of-two fraction of itself for little more than the work of reading the
// file; Qt's other readers would decode whole and then scale. The size is upright; invalid where
// the reader cannot tell the picture's size.
QSize readSize(QImageReader &reader, const Preparation &preparation)
{
    QSize size = announcedSize(reader);
    if (!size.isValid())
        return size;
    if (storedOnItsSide(reader))
        size.transpose();
    return reader.format() == "jpeg" ? reducedSize(size, preparation) : size;
}

// The most bytes read whole from a stream, or from a file whose header is rewritten: room for
// the largest 32-bit BMP within the pixel limit, with 1 MiB to spare for headers.
qint64 wholeReadLimit()
{
    return pixelLimit() * qint64(sizeof(QRgb)) + (qint64(1) << 20);
}

// The most scans a JPEG may have: a progressive JPEG as encoders write it has about ten, and
// decoders that take files from anywhere hold them to a few hundred.
constexpr int mostJpegScans = 256;

QString tooLongText()
{
    return QStringLiteral("The picture data is longer than %1 MB, the most read from a stream")
        .arg(wholeReadLimit() >> 20);
}

// Reads a sequential device (a pipe, standard input) to its end, but never more than the limit.
bool readStream(QIODevice *device, QByteArray *bytes, QString *error)
{
    constexpr qint64 piece = qint64(1) << 20;
    const qint64 limit = wholeReadLimit();
    qint64 filled = 0;
    while (true) {
        if (filled > limit) {
            fail(error, tooLongText());
            return false;
        }
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

// Decodes the picture at the device's position, every check made, in the format it decodes to.
QImage decode(QIODevice *device, QString *error, const Preparation &forPreparation,
              QByteArray *keptBytes)
{
    // A stream gives no size to check the picture's data against: it is read whole first, and
    // then gets exactly the checks a file gets.
    QBuffer whole;
    if (device->isSequential()) {
        QByteArray bytes;
        if (!readStream(device, &bytes, error))
            return {};
        device = openBuffer(whole, std::move(bytes));
    }

    BmpHeader bmp(device);
    if (bmp.needsKnownHeader()) {
        if (device->size() - device->pos() > wholeReadLimit())
            return fail(error, tooLongText());
        device = openBuffer(whole, bmp.withKnownHeader(device->readAll()));
        bmp = BmpHeader(device);
    }
    if (bmp.isBmp() && bmp.size().isValid() && !fitsPixelLimit(bmp.size()))
        return fail(error, pixelLimitText(bmp.size()));
    if (const QString refusal = bmp.refusal(); !refusal.isEmpty())
        return fail(error, refusal);
    if (bmp.decodesPixelsItself())
        return bmp.readPixels(device, error);

    // A JPEG, a GIF and an XBM are read whole first, so that their bytes can be checked before
    // they are decoded; a JPEG's bytes are kept where its read depends on the preparation.
    const QByteArray format = QImageReader::imageFormat(device);
    if (format == "jpeg" || format == "gif" || format == "xbm") {
        if (device != &whole) {
            if (device->size() - device->pos() > wholeReadLimit())
                return fail(error, tooLongText());
            device = openBuffer(whole, device->readAll());
        }
        if (keptBytes && format == "jpeg")
            *keptBytes = whole.data();
    }
    const QByteArray &bytes = whole.data();

    // The reader lives only within this function: a handler that keeps the picture it gave
    // (GIF keeps the last frame) would make the first write to the picture copy it whole.
    const ReaderWarnings warnings;
    QImageReader reader(device);
    setUp(reader);
    // Every picture becomes 32 bits a pixel whatever the file stores, so the pixels are held
    // against the limit: before decoding, from the header where the format tells the size, and
    // again after, since the reader skips its own check for a buffer it is handed.
    const QSize size = announcedSize(reader);
    if (size.isValid() && !fitsPixelLimit(size))
        return fail(error, pixelLimitText(size));
    if (format == "jpeg" && jpegScans(bytes, mostJpegScans) > mostJpegScans)
        return fail(
            error,
            QStringLiteral("The picture has more than %1 scans, the most read").arg(mostJpegScans));
    if ((format == "gif" && gifEndsEarly(bytes)) ||
        (format == "xbm" && size.isValid() && xbmEndsEarly(bytes, size)))
        return fail(error, QStringLiteral("The picture data is cut short"));
    // The reader scales before it turns the picture upright.
    QSize decodedSize = readSize(reader, forPreparation);
    if (storedOnItsSide(reader))
        decodedSize.transpose();
    if (decodedSize != size)
        reader.setScaledSize(decodedSize);
    QImage decoded = blankImage(decodedSize, reader.imageFormat());
    if (!reader.read(&decoded))
        return fail(error, reader.errorString());
    // A reader may report success and give no picture (Qt's MNG reader, for one, on a file whose
    // chunks are broken).
    if (decoded.isNull())
        return fail(error, QStringLiteral("The picture holds no pixels"));
    // A reader that warned has read damaged data, whatever picture it gave.
    if (!warnings.first().isEmpty())
        return fail(error, QStringLiteral("The picture data is damaged: ") + warnings.first());
    blackenMissingPaletteEntries(decoded);
    return decoded;
}

// A picture held to the pixel limit and made Format_ARGB32.
QImage checkedPicture(QImage image, QString *error, bool opaqueAlready)
{
    try {
        if (image.isNull())
            return fail(error, QStringLiteral("There is no picture"));
        if (!fitsPixelLimit(image.size()))
            return fail(error, pixelLimitText(image.size()));
        QImage picture = argbPicture(std::move(image), opaqueAlready);
        if (picture.isNull())
            return fail(error, noMemoryText());
        return picture;
    } catch (const std::bad_alloc &) {
        return fail(error, noMemoryText());
    }
}

} // namespace

qint64 pixelLimit()
{
    // A limit of 0 switches the reader's check off; the pictures keep the default then.
    constexpr qint64 defaultLimitMiB = 128;
    const int limitMiB = QImageReader::allocationLimit();
    return (limitMiB > 0 ? limitMiB : defaultLimitMiB) * 1024 * 1024 / qint64(sizeof(QRgb));
}

bool fitsPixelLimit(QSize size)
{
    return qint64(size.width()) * size.height() <= pixelLimit();
}

QString pixelLimitText(QSize size)
{
    // 32-bit pixels: the limit in MB is the allocation limit the pixel limit comes from.
    return QStringLiteral("The picture's %1 x %2 pixels exceed the limit of %4 MB (%3 pixels)")
        .arg(size.width())
        .arg(size.height())
        .arg(pixelLimit())
        .arg(pixelLimit() * qint64(sizeof(QRgb)) >> 20);
}

QString noMemoryText()
{
    return QStringLiteral("Not enough memory for the picture");
}

QSize pictureReadSize(QIODevice *device, const Preparation &forPreparation)
{
    QImageReader reader(device);
    setUp(reader);
    return readSize(reader, forPreparation);
}

QImage readPicture(QIODevice *device, QString *error, const Preparation &forPreparation,
                   QByteArray *keptBytes)
{
    try {
        QImage decoded = decode(device, error, forPreparation, keptBytes);
        if (decoded.isNull())
            return decoded;
        return checkedPicture(std::move(decoded), error, true);
    } catch (const std::bad_alloc &) {
        return fail(error, noMemoryText());
    } catch (const std::exception &exception) {
        return fail(error, QString::fromLocal8Bit(exception.what()));
    }
}

QImage takePicture(QImage image, QString *error)
{
    return checkedPicture(std::move(image), error, false);
}

} // namespace quenzil
