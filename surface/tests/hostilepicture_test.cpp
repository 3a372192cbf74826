// Damaged and hostile picture files against the surface. Whatever a file holds, a load either
// fails with a reason and leaves the surface's picture as it was, or gives a picture whose table
// is well-formed and which reads the same on every load; it never crashes, hangs or takes memory
// out of proportion to the pixel limit.
#include "bmpwriter.h"
#include "hostilerows.h"
#include "imagepixels.h"
#include "pictureinvariants.h"
#include "picturereading.h"
#include "picturesource.h"

#include <QBuffer>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QList>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

using namespace quenzil;
using namespace quenzil::testsupport;

namespace {

QByteArray bytesOf(const BmpFile &file)
{
    return testsupport::bytesOf(writeBmp(file));
}

// A PNG from its header fields and raw (unfiltered) scan lines. Only what the tests need.
QByteArray png(quint32 width, quint32 height, quint8 depth, quint8 colourType,
               const QByteArray &rawRows)
{
    const auto chunk = [](const char *kind, const QByteArray &body) {
        QByteArray typeAndBody = QByteArray(kind) + body;
        quint32 crc = 0xFFFFFFFFu;
        for (char byte : typeAndBody) {
            crc ^= quint8(byte);
            for (int bit = 0; bit < 8; ++bit)
                crc = crc & 1 ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
        }
        QByteArray out(4, '\0');
        qToBigEndian(quint32(body.size()), out.data());
        QByteArray crcBytes(4, '\0');
        qToBigEndian(crc ^ 0xFFFFFFFFu, crcBytes.data());
        return out + typeAndBody + crcBytes;
    };
    QByteArray header(13, '\0');
    qToBigEndian(width, header.data());
    qToBigEndian(height, header.data() + 4);
    header[8] = char(depth);
    header[9] = char(colourType);
    // qCompress puts the length in front of the zlib stream.
    const QByteArray compressed = qCompress(rawRows).mid(4);
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + chunk("IHDR", header) + chunk("IDAT", compressed) +
           chunk("IEND", {});
}

// A picture in `format` as Qt writes it; a JPEG progressive when asked.
QByteArray written(const QImage &picture, const char *format, bool progressive = false)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setProgressiveScanWrite(progressive);
    if (!writer.write(picture))
        qFatal("cannot write a %s", format);
    return bytes;
}

// Colours that change from pixel to pixel, so that a picture compresses poorly.
QImage busyPicture(QSize size)
{
    QImage picture(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            picture.setPixel(x, y, qRgb((x * 7) ^ y, (y * 5) ^ x, (x + y) * 3));
    return picture;
}

// A GIF of black, red, green and blue bands four rows high. A clear code comes before every
// second pixel's code, so that every code stays 3 bits wide.
QByteArray bandsGif(int width, int height, bool interlaced)
{
    QByteArray gif("GIF89a");
    const auto add16 = [&gif](int value) {
        gif.append(char(value & 0xFF)).append(char(value >> 8));
    };
    add16(width);
    add16(height);
    gif.append("\x81\0\0", 3).append(QByteArray::fromHex("000000ff000000ff000000ff")).append(',');
    add16(0);
    add16(0);
    add16(width);
    add16(height);
    gif.append(interlaced ? '\x40' : '\0').append('\x02');
    QByteArray data;
    quint32 bits = 0;
    int pending = 0;
    const auto code = [&](int value) {
        bits |= quint32(value) << pending;
        for (pending += 3; pending >= 8; pending -= 8, bits >>= 8)
            data.append(char(bits & 0xFF));
    };
    for (int i = 0; i < width * height; ++i) {
        if (i % 2 == 0)
            code(4);
        code(i / width / 4 % 4);
    }
    code(5);
    data.append(char(bits & 0xFF));
    for (qsizetype i = 0; i < data.size(); i += 255)
        gif.append(char(std::min<qsizetype>(255, data.size() - i))).append(data.mid(i, 255));
    return gif.append('\0').append(';');
}

// A JPEG whose last scan comes `repeats` more times before its end marker.
QByteArray withScanRepeated(const QByteArray &jpeg, int repeats)
{
    const qsizetype lastScan = jpeg.lastIndexOf("\xFF\xDA");
    const QByteArray scan = jpeg.mid(lastScan, jpeg.size() - 2 - lastScan);
    return jpeg.left(jpeg.size() - 2) + scan.repeated(repeats) + jpeg.right(2);
}

// A JPEG whose frame header claims another size than its data holds.
QByteArray withClaimedSize(QByteArray jpeg, int width, int height)
{
    const qsizetype frame = jpeg.indexOf("\xFF\xC0");
    qToBigEndian(quint16(height), jpeg.data() + frame + 5);
    qToBigEndian(quint16(width), jpeg.data() + frame + 7);
    return jpeg;
}

// Leaves freed memory of `bytes` bytes full of a pattern, so that a decoder that left pixels
// unwritten would show it on the next load.
void dirtyFreedMemory(qsizetype bytes)
{
    for (int i = 0; i < 4; ++i) {
        auto block = std::make_unique<char[]>(std::size_t(bytes));
        std::memset(block.get(), 0xA5 + i, std::size_t(bytes));
        // Read back, so that the compiler keeps the writes.
        const volatile char *bytesWritten = block.get();
        QVERIFY(bytesWritten[bytes / 2] == char(0xA5 + i));
    }
}

// Reads a picture file's bytes into `source`.
bool readInto(PictureSource &source, const QByteArray &file, QString *error = nullptr)
{
    QBuffer buffer;
    buffer.setData(file);
    buffer.open(QIODevice::ReadOnly);
    return source.read(&buffer, {}, error);
}

// A source holding a known picture, to see that a failed load keeps it.
PictureSource sourceWithKnownPicture()
{
    PictureSource source;
    if (!readInto(source, bytesOf(rgb24Bmp())))
        qFatal("the known picture does not load");
    return source;
}

// Loads `file` through the fuzz target's checks and holds the outcome to what is expected.
void checkLoad(const QByteArray &file, LoadOutcome outcome)
{
    const fuzz::PictureCheck check = fuzz::checkPictureInvariants(file);
    QVERIFY2(check.fault.empty(), check.fault.c_str());
    if (!check.loaded) {
        QVERIFY2(outcome != LoadOutcome::Loads,
                 qPrintable(QStringLiteral("failed: ") + check.loadError));
        return;
    }
    QVERIFY2(outcome != LoadOutcome::Fails, qPrintable(QStringLiteral("loaded as %1 x %2")
                                                           .arg(check.picture.width())
                                                           .arg(check.picture.height())));
    // Pixels the file does not give must not be whatever memory held.
    dirtyFreedMemory(check.picture.sizeInBytes());
    PictureSource again;
    QVERIFY(readInto(again, file));
    QCOMPARE(again.prepared({}), check.picture);
}

// Every file of a folder, one row each, named by the folder and the file; the first `skip` bytes
// of each file are left out.
void addFolderRows(const char *folder, LoadOutcome outcome, qsizetype skip = 0)
{
    const QDir dir(QStringLiteral(QUENZIL_SOURCE_DIR "/") + QLatin1String(folder));
    const QStringList names = dir.entryList(QDir::Files, QDir::Name);
    QVERIFY2(!names.isEmpty(), folder);
    for (const QString &name : names) {
        QFile file(dir.filePath(name));
        QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(name));
        QTest::newRow(qPrintable(QLatin1String(folder) + QLatin1Char('/') + name))
            << file.readAll().mid(skip) << outcome;
    }
}

} // namespace

class HostilePictureTest : public QObject
{
    Q_OBJECT

private slots:
    void hostileFiles_data();
    void hostileFiles();
    void seedCorpusWithItsOptions_data();
    void seedCorpusWithItsOptions();
    void skippedPixelsReadAsTheFirstPaletteColour_data();
    void skippedPixelsReadAsTheFirstPaletteColour();
    void acceptsThePixelLimitExactly();
    void nonPictureFiles_data();
    void nonPictureFiles();
    void unusualFileNames();
    void damagedPictures_data();
    void damagedPictures();
};

void HostilePictureTest::hostileFiles_data()
{
    addHostileColumns();
    addHostileRows(cutShortBmps());
    addHostileRows(lyingHeaderBmps());
    addHostileRows(runLengthAbuseBmps());
    // Tiny files whose headers announce pictures far beyond the pixel limit. Each must be
    // refused without decoding: no buffer of that size is ever made.
    addHostileRows(hugeAnnouncedBmps());
    // A 1-bit PNG compresses a blank row of 60000 pixels into a few bytes.
    QTest::newRow("PNG, 1 bit, 60000 x 60000, one row")
        << png(60000, 60000, 1, 0, QByteArray(1 + 60000 / 8, '\0')) << LoadOutcome::Fails;
    QTest::newRow("PNG, 8 bit grey, 8192 x 16384, one row")
        << png(8192, 16384, 8, 0, QByteArray(1 + 8192, '\0')) << LoadOutcome::Fails;
    QTest::newRow("GIF, 65535 x 65535") << QByteArray::fromHex("474946383961ffffffff800000"
                                                               "000000ffffff"
                                                               "2c00000000ffffffff00"
                                                               "02024c01003b")
                                        << LoadOutcome::Fails;
    // Inputs the fuzzer once broke the surface with: each must now load soundly or fail
    // cleanly. The seed corpus is made of sound pictures after their option bytes.
    addFolderRows("fuzz/regressions", LoadOutcome::FailsOrLoads);
    addFolderRows("fuzz/corpus", LoadOutcome::Loads, fuzz::optionBytes);
}

void HostilePictureTest::hostileFiles()
{
    QFETCH(QByteArray, file);
    QFETCH(LoadOutcome, outcome);
    checkLoad(file, outcome);
}

void HostilePictureTest::seedCorpusWithItsOptions_data()
{
    addHostileColumns();
    addFolderRows("fuzz/corpus", LoadOutcome::Loads);
}

// The fuzz target's whole check, the preparation its option bytes ask for included.
void HostilePictureTest::seedCorpusWithItsOptions()
{
    QFETCH(QByteArray, file);
    const fuzz::PictureCheck check = fuzz::checkFuzzInput(file);
    QVERIFY2(check.fault.empty(), check.fault.c_str());
    QVERIFY(check.loaded);
}

void HostilePictureTest::skippedPixelsReadAsTheFirstPaletteColour_data()
{
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("writtenRow");
    // The stored first row is the bottom one, or the top one in a picture stored top-down.
    QTest::newRow("bottom-up") << 2 << 1;
    QTest::newRow("top-down") << -2 << 0;
}

void HostilePictureTest::skippedPixelsReadAsTheFirstPaletteColour()
{
    QFETCH(int, height);
    QFETCH(int, writtenRow);
    // First stored row: one pixel of colour 1, a jump of two, one pixel of colour 2, end of
    // bitmap. Everything else is never written.
    const char *skippingStream = "0101"
                                 "00020200"
                                 "0102"
                                 "0001";
    PictureSource source;
    QString error;
    QVERIFY2(readInto(source, bytesOf(rleBmp(8, skippingStream, 4, height)), &error),
             qPrintable(error));
    const ImagePixels surface(source.prepared({}));
    const ColourValue first = fourColours[0];
    std::vector<ColourValue> expected(8, first);
    expected[std::size_t(writtenRow) * 4] = fourColours[1];
    expected[std::size_t(writtenRow) * 4 + 3] = fourColours[2];
    std::vector<ColourValue> pixels;
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x)
            pixels.push_back(surface.colourAt(x, y));
    QCOMPARE(pixels, expected);
}

void HostilePictureTest::acceptsThePixelLimitExactly()
{
    // The default limit: 128 MiB of 32-bit pixels. One row more is refused.
    QCOMPARE(pixelLimit(), qint64(8192) * 4096);
    PictureSource source;
    QString error;
    QVERIFY2(readInto(source, bytesOf(rleBmp(8, "0001", 8192, 4096)), &error), qPrintable(error));
    const QImage read = source.prepared({});
    QCOMPARE(read.size(), QSize(8192, 4096));
    QCOMPARE(ImagePixels(read).colourAt(8191, 4095), fourColours[0]);

    QVERIFY(!readInto(source, bytesOf(rleBmp(8, "0001", 8192, 4097)), &error));
    QVERIFY2(error.contains(QLatin1String("8192 x 4097")), qPrintable(error));
    QCOMPARE(source.prepared({}).size(), QSize(8192, 4096));
}

void HostilePictureTest::nonPictureFiles_data()
{
    addHostileColumns();
    addHostileRows(testsupport::nonPictureFiles());
}

void HostilePictureTest::nonPictureFiles()
{
    QFETCH(QByteArray, file);
    QFETCH(LoadOutcome, outcome);
    const QByteArray &content = file;
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString fileName = dir.filePath(QStringLiteral("picture.bmp"));
    QFile onDisk(fileName);
    QVERIFY(onDisk.open(QIODevice::WriteOnly));
    onDisk.write(content);
    onDisk.close();

    PictureSource source = sourceWithKnownPicture();
    const QImage before = source.prepared({});
    QString error;
    QVERIFY(!source.readFile(fileName, {}, &error));
    QVERIFY(!error.isEmpty());
    QCOMPARE(source.prepared({}), before);
    checkLoad(content, outcome);
}

void HostilePictureTest::unusualFileNames()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    PictureSource source = sourceWithKnownPicture();
    const QImage before = source.prepared({});
    QString error;

    QVERIFY(!source.readFile(dir.path(), {}, &error));
    QVERIFY2(!error.isEmpty(), "a directory");
    QVERIFY(!source.readFile(dir.filePath(QStringLiteral("missing.bmp")), {}, &error));
    QVERIFY2(!error.isEmpty(), "a missing file");
    QCOMPARE(source.prepared({}), before);

    // Spaces and letters beyond ASCII reach the file system unharmed.
    const QString damaged = dir.filePath(QStringLiteral("Bild mit Ümlauten, ç und ß.bmp"));
    QFile file(damaged);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytesOf(rgb24Bmp()).left(30));
    file.close();
    QVERIFY(!source.readFile(damaged, {}, &error));
    QVERIFY(!error.isEmpty());
    QCOMPARE(source.prepared({}), before);

    const QString good = dir.filePath(QStringLiteral("Grüße aus Köln – 日本.bmp"));
    QFile goodFile(good);
    QVERIFY(goodFile.open(QIODevice::WriteOnly));
    goodFile.write(bytesOf(indexed8Bmp()));
    goodFile.close();
    QVERIFY2(source.readFile(good, {}, &error), qPrintable(error));
    QCOMPARE(source.prepared({}).size(), QSize(3, 3));
}

void HostilePictureTest::damagedPictures_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("refusal"); // how the reason begins; empty: the picture loads

    const QString cut = QStringLiteral("The picture data is cut short");
    const QString damaged = QStringLiteral("The picture data is damaged: ");
    const QByteArray jpeg = written(busyPicture({300, 200}), "jpeg");
    const QByteArray progressive = written(busyPicture({300, 200}), "jpeg", true);
    const QByteArray gif = bandsGif(16, 16, true);
    const QByteArray xbm =
        written(busyPicture({64, 64}).convertToFormat(QImage::Format_Mono), "xbm");
    QTest::newRow("JPEG") << jpeg << QString();
    QTest::newRow("JPEG cut in half") << jpeg.left(jpeg.size() / 2) << damaged;
    QTest::newRow("JPEG without its end marker, every pixel there") << jpeg.chopped(2) << QString();
    // The reader would fill 8192 x 4096 pixels from a few hundred bytes, nearly all grey.
    QTest::newRow("JPEG whose header claims 8192 x 4096")
        << withClaimedSize(written(busyPicture({16, 16}), "jpeg"), 8192, 4096) << damaged;
    QTest::newRow("progressive JPEG") << progressive << QString();
    QTest::newRow("progressive JPEG cut in half")
        << progressive.left(progressive.size() / 2) << damaged;
    // Refused from its markers, before each of the scans takes a pass over the picture.
    QTest::newRow("progressive JPEG of more than 256 scans")
        << withScanRepeated(progressive, 256) << "The picture has more than 256 scans";
    QTest::newRow("interlaced GIF") << gif << QString();
    QTest::newRow("interlaced GIF cut in half") << gif.left(gif.size() / 2) << cut;
    QTest::newRow("GIF without its last data block's end") << gif.chopped(2) << cut;
    QTest::newRow("XBM") << xbm << QString();
    QTest::newRow("XBM whose bits run out") << xbm.left(xbm.size() * 3 / 4) << cut;
    // libpng remarks on an extra chunk's checksum and drops the chunk; the pixels are whole.
    QByteArray remarked = written(busyPicture({8, 8}), "png");
    remarked.insert(33, QByteArray("\0\0\0\x0AtEXtComment\0hi\0\0\0\0", 22));
    QTest::newRow("PNG with a text chunk's checksum wrong") << remarked << QString();
}

void HostilePictureTest::damagedPictures()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, refusal);
    // What the readers say while reading stays out of the output: the reason says it.
    QTest::failOnWarning(QRegularExpression(QStringLiteral(".")));
    PictureSource source = sourceWithKnownPicture();
    QString error;
    const bool read = readInto(source, file, &error);
    if (refusal.isEmpty()) {
        QVERIFY2(read, qPrintable(error));
        return;
    }
    QVERIFY(!read);
    QVERIFY2(error.startsWith(refusal), qPrintable(error));
    QCOMPARE(source.prepared({}).size(), QSize(2, 2));
}

QTEST_GUILESS_MAIN(HostilePictureTest)
#include "hostilepicture_test.moc"
