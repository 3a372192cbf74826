// Damaged and hostile picture files against the surface. Whatever a file holds, a load either
// fails with a reason and leaves the surface's picture as it was, or gives a picture whose table
// is well-formed and which reads the same on every load; it never crashes, hangs or takes memory
// out of proportion to the pixel limit.
#include "bmpwriter.h"
#include "picturesurface.h"
#include "tablebuilder.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QList>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

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
    const std::string bytes = writeBmp(file);
    return QByteArray(bytes.data(), qsizetype(bytes.size()));
}

std::vector<std::uint8_t> hex(const char *digits)
{
    const QByteArray bytes = QByteArray::fromHex(digits);
    return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
}

// The palette of the small indexed pictures; the first colour is the one that pixels the file
// does not give read as.
const std::vector<ColourValue> fourColours = {0x563412, 0x0000FF, 0x00FF00, 0xFF0000};

BmpFile rgb24()
{
    BmpFile bmp;
    bmp.header.width = 2;
    bmp.header.height = 2;
    bmp.pixelData = hex("0000ff00ff000000"
                        "ff0000ffffff0000");
    return bmp;
}

BmpFile indexed8(int height = 3)
{
    BmpFile bmp;
    bmp.header.width = 3;
    bmp.header.height = height;
    bmp.header.bitCount = 8;
    bmp.palette = fourColours;
    bmp.pixelData = hex("00010200"
                        "03000100"
                        "02030000");
    return bmp;
}

BmpFile rle(int bits, const char *stream, std::int32_t width = 4, std::int32_t height = 2)
{
    BmpFile bmp;
    bmp.header.width = width;
    bmp.header.height = height;
    bmp.header.bitCount = std::uint16_t(bits);
    bmp.header.compression = bits == 8 ? BmpRle8 : BmpRle4;
    bmp.palette = fourColours;
    bmp.pixelData = hex(stream);
    return bmp;
}

// The well-formed files every damage starts from: each kind of header, depth and compression.
QList<std::pair<const char *, BmpFile>> wellFormedBmps()
{
    QList<std::pair<const char *, BmpFile>> files;
    files.append({"24 bit", rgb24()});
    files.append({"8 bit", indexed8()});
    files.append({"8 bit top-down", indexed8(-3)});
    BmpFile mono = rgb24();
    mono.header.width = 9;
    mono.header.bitCount = 1;
    mono.palette = {0x000000, 0xFFFFFF};
    mono.pixelData = hex("a5800000"
                         "5a000000");
    files.append({"1 bit", mono});
    BmpFile nibbles = indexed8(2);
    nibbles.header.bitCount = 4;
    nibbles.pixelData = hex("01200000"
                            "32100000");
    files.append({"4 bit", nibbles});
    files.append({"RLE8", rle(8, "0301"
                                 "0003020301"
                                 "00"
                                 "0000"
                                 "0402"
                                 "0001")});
    files.append({"RLE4", rle(4, "0412"
                                 "0000"
                                 "00041230"
                                 "0001")});
    BmpFile bitfields = rgb24();
    bitfields.header.bitCount = 16;
    bitfields.header.compression = BmpBitfields;
    bitfields.header.masks = {0xF800, 0x07E0, 0x001F, 0};
    bitfields.pixelData = hex("00f8e007"
                              "1f00ffff");
    files.append({"16 bit 5-6-5", bitfields});
    BmpFile v5 = rgb24();
    v5.header.headerSize = bmpV5HeaderSize;
    v5.header.bitCount = 32;
    v5.header.compression = BmpBitfields;
    v5.header.masks = {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};
    v5.pixelData = hex("0000ff80ff0000ff"
                       "00ff00ffffffffff");
    files.append({"32 bit V5", v5});
    BmpFile core = mono;
    core.header.headerSize = bmpCoreHeaderSize;
    core.header.width = 8;
    files.append({"core header", core});
    return files;
}

BmpFile wellFormed(const char *name)
{
    for (const auto &[kind, bmp] : wellFormedBmps())
        if (std::strcmp(kind, name) == 0)
            return bmp;
    qFatal("no such file kind");
}

// What lies at `offset` of a BMP file, for naming the cut.
QString fieldAt(int offset, const BmpHeader &header, int pixelStart)
{
    struct Field
    {
        int end;
        const char *name;
    };
    static const Field fileHeader[] = {{2, "signature"},
                                       {6, "file size"},
                                       {10, "reserved"},
                                       {14, "pixel offset"},
                                       {18, "header size"}};
    static const Field info[] = {{22, "width"},          {26, "height"},
                                 {28, "planes"},         {30, "bits per pixel"},
                                 {34, "compression"},    {38, "image size"},
                                 {42, "x resolution"},   {46, "y resolution"},
                                 {50, "colours used"},   {54, "important colours"},
                                 {70, "V5 masks"},       {74, "V5 colour space"},
                                 {138, "V5 colour data"}};
    static const Field core[] = {
        {20, "width"}, {22, "height"}, {24, "planes"}, {26, "bits per pixel"}};
    for (const Field &field : fileHeader)
        if (offset < field.end)
            return QLatin1String(field.name);
    const int headerEnd = 14 + int(header.headerSize);
    if (offset < headerEnd) {
        if (header.headerSize == bmpCoreHeaderSize) {
            for (const Field &field : core)
                if (offset < field.end)
                    return QLatin1String(field.name);
        }
        for (const Field &field : info)
            if (offset < field.end)
                return QLatin1String(field.name);
    }
    const bool masksFollow =
        header.headerSize == bmpInfoHeaderSize && header.compression == BmpBitfields;
    if (offset < pixelStart)
        return masksFollow && offset < headerEnd + 12 ? QStringLiteral("masks")
                                                      : QStringLiteral("palette");
    return QStringLiteral("pixels");
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

// What is wrong with a table, or nothing: the header, then "Data" lines of one to eight entries
// separated by " ,", CR LF between lines, as many entries as pixels.
QString tableFault(const std::string &table, qint64 pixels)
{
    const QString text = QString::fromStdString(table);
    if (!text.startsWith(QLatin1String("Picture:\r\n")))
        return QStringLiteral("no header");
    if (pixels == 0)
        return text.size() == 10 ? QString() : QStringLiteral("text after the header");
    static const QRegularExpression line(QStringLiteral("^Data &B[01]{8}( , &B[01]{8}){0,7}$"));
    const QStringList lines = text.mid(10).split(QStringLiteral("\r\n"));
    qint64 entries = 0;
    for (const QString &dataLine : lines) {
        if (!line.match(dataLine).hasMatch())
            return QStringLiteral("malformed line: ") + dataLine.left(60);
        entries += dataLine.count(QLatin1String("&B"));
    }
    if (entries != pixels)
        return QStringLiteral("%1 entries for %2 pixels").arg(entries).arg(pixels);
    if (table.size() != tableLength(std::size_t(pixels)))
        return QStringLiteral("length differs from tableLength");
    return {};
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

// A surface holding a known picture, to see that a failed load keeps it.
PictureSurface surfaceWithKnownPicture()
{
    PictureSurface surface;
    if (!surface.loadFromData(bytesOf(rgb24())))
        qFatal("the known picture does not load");
    return surface;
}

enum class Outcome {
    Fails,        // the file is unusable: the load must fail
    Loads,        // damaged where an honest reader need not look: the load must succeed
    FailsOrLoads, // either, as long as a loaded picture is sound
};

// Loads `file` into a surface with a known picture and checks the outcome.
void checkLoad(const QByteArray &file, Outcome outcome)
{
    PictureSurface surface = surfaceWithKnownPicture();
    const QImage before = surface.image();
    QString error;
    const bool loaded = surface.loadFromData(file, &error);
    if (!loaded) {
        QVERIFY2(outcome != Outcome::Loads, qPrintable(QStringLiteral("failed: ") + error));
        QVERIFY(!error.isEmpty());
        QCOMPARE(surface.image(), before);
        QCOMPARE(surface.width(), 2.0);
        QCOMPARE(surface.height(), 2.0);
        return;
    }
    QVERIFY2(
        outcome != Outcome::Fails,
        qPrintable(QStringLiteral("loaded as %1 x %2").arg(surface.width()).arg(surface.height())));
    const qint64 pixels = qint64(surface.width()) * qint64(surface.height());
    QVERIFY(pixels > 0);
    QVERIFY(pixels <= PictureSurface::pixelLimit());
    if (pixels <= 1 << 16) {
        const QString fault = tableFault(buildTableText(surface), pixels);
        QVERIFY2(fault.isEmpty(), qPrintable(fault));
    }
    // Pixels the file does not give must not be whatever memory held.
    const QImage first = surface.image();
    dirtyFreedMemory(first.sizeInBytes());
    PictureSurface again;
    QVERIFY(again.loadFromData(file));
    QCOMPARE(again.image(), first);
}

} // namespace

Q_DECLARE_METATYPE(Outcome)

class HostilePictureTest : public QObject
{
    Q_OBJECT

private slots:
    void cutShort_data();
    void cutShort();
    void lyingHeaders_data();
    void lyingHeaders();
    void runLengthAbuse_data();
    void runLengthAbuse();
    void skippedPixelsReadAsTheFirstPaletteColour_data();
    void skippedPixelsReadAsTheFirstPaletteColour();
    void hugeAnnouncedPictures_data();
    void hugeAnnouncedPictures();
    void acceptsThePixelLimitExactly();
    void fuzzFindings_data();
    void fuzzFindings();
    void nonPictureFiles_data();
    void nonPictureFiles();
    void unusualFileNames();
};

void HostilePictureTest::cutShort_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<Outcome>("outcome");
    for (const auto &[name, bmp] : wellFormedBmps()) {
        const QByteArray whole = bytesOf(bmp);
        QVERIFY2(PictureSurface().loadFromData(whole), name);
        const int pixelStart = int(whole.size()) - int(bmp.pixelData.size());
        for (int length = 0; length < whole.size(); ++length) {
            // A file cut before its pixels lacks what the reader needs; inside the pixels, a
            // reader may honestly give what it has.
            const Outcome outcome = length < pixelStart ? Outcome::Fails : Outcome::FailsOrLoads;
            QTest::addRow("%s, cut at %d (%s)", name, length,
                          qPrintable(fieldAt(length, bmp.header, pixelStart)))
                << whole.left(length) << outcome;
        }
    }
}

void HostilePictureTest::cutShort()
{
    QFETCH(QByteArray, file);
    QFETCH(Outcome, outcome);
    checkLoad(file, outcome);
}

void HostilePictureTest::lyingHeaders_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<Outcome>("outcome");
    const auto add = [](const char *name, BmpFile bmp, auto change, Outcome outcome) {
        change(bmp.header);
        QTest::newRow(name) << bytesOf(bmp) << outcome;
    };

    add(
        "width huge", rgb24(), [](BmpHeader &h) { h.width = INT_MAX; }, Outcome::Fails);
    add(
        "height huge", rgb24(), [](BmpHeader &h) { h.height = INT_MAX; }, Outcome::Fails);
    add(
        "width and height huge", rgb24(), [](BmpHeader &h) { h.width = h.height = 65536; },
        Outcome::Fails);
    add(
        "width times height overflows 32 bits", indexed8(),
        [](BmpHeader &h) { h.width = h.height = 70000; }, Outcome::Fails);
    add(
        "width negative", rgb24(), [](BmpHeader &h) { h.width = -2; }, Outcome::Fails);
    add(
        "width most negative", rgb24(), [](BmpHeader &h) { h.width = INT_MIN; }, Outcome::Fails);
    add(
        "height most negative", rgb24(), [](BmpHeader &h) { h.height = INT_MIN; }, Outcome::Fails);
    add(
        "width zero", rgb24(), [](BmpHeader &h) { h.width = 0; }, Outcome::Fails);
    add(
        "height zero", rgb24(), [](BmpHeader &h) { h.height = 0; }, Outcome::Fails);
    add(
        "core header, width zero", wellFormed("core header"), [](BmpHeader &h) { h.width = 0; },
        Outcome::Fails);

    for (int bits : {0, 2, 3, 7, 12, 64, 0xFFFF}) {
        BmpFile bmp = rgb24();
        bmp.header.bitCount = std::uint16_t(bits);
        QTest::addRow("bits per pixel %d", bits) << bytesOf(bmp) << Outcome::Fails;
    }
    add(
        "planes zero", rgb24(), [](BmpHeader &h) { h.planes = 0; }, Outcome::FailsOrLoads);
    add(
        "planes 2", rgb24(), [](BmpHeader &h) { h.planes = 2; }, Outcome::FailsOrLoads);

    add(
        "palette count larger than the file", indexed8(), [](BmpHeader &h) { h.coloursUsed = 256; },
        Outcome::Fails);
    add(
        "palette count larger than the file, 1 bit", wellFormed("1 bit"),
        [](BmpHeader &h) { h.coloursUsed = 200; }, Outcome::Fails);
    add(
        "palette count over 256", indexed8(), [](BmpHeader &h) { h.coloursUsed = 257; },
        Outcome::Fails);
    add(
        "palette count all ones", indexed8(), [](BmpHeader &h) { h.coloursUsed = 0xFFFFFFFF; },
        Outcome::Fails);
    {
        // Indices past a short palette read as black.
        BmpFile bmp = indexed8();
        bmp.pixelData = hex("ff7f8000"
                            "fe000100"
                            "02030000");
        QTest::newRow("pixels index past a short palette") << bytesOf(bmp) << Outcome::Loads;
    }

    add(
        "pixel offset past the end", rgb24(), [](BmpHeader &h) { h.dataOffset = 0xFFFF; },
        Outcome::FailsOrLoads);
    add(
        "pixel offset most negative", rgb24(), [](BmpHeader &h) { h.dataOffset = 0x80000000; },
        Outcome::FailsOrLoads);
    add(
        "pixel offset inside the header", rgb24(), [](BmpHeader &h) { h.dataOffset = 20; },
        Outcome::FailsOrLoads);
    add(
        "pixel offset one short of the end", rgb24(),
        [](BmpHeader &h) { h.dataOffset = 14 + 40 + 16 - 1; }, Outcome::FailsOrLoads);
    // The file size field is not needed to read a picture.
    add(
        "file size says huge", rgb24(), [](BmpHeader &h) { h.fileSize = 0xFFFFFFFF; },
        Outcome::Loads);
    add(
        "file size says zero", rgb24(), [](BmpHeader &h) { h.fileSize = 0; }, Outcome::Loads);

    for (quint32 size : {0u, 13u, 39u, 41u, 1000u, 0xFFFFFFFFu}) {
        // Only the field lies: the file is still laid out with a 40-byte header.
        QByteArray file = bytesOf(rgb24());
        qToLittleEndian(size, file.data() + 14);
        QTest::addRow("header size %u", size) << file << Outcome::Fails;
    }
    add(
        "compression unknown", rgb24(), [](BmpHeader &h) { h.compression = 99; }, Outcome::Fails);
    add(
        "RLE8 on 24 bits", rgb24(), [](BmpHeader &h) { h.compression = BmpRle8; }, Outcome::Fails);
    add(
        "RLE4 on 8 bits", indexed8(), [](BmpHeader &h) { h.compression = BmpRle4; },
        Outcome::FailsOrLoads);
    add(
        "bit fields on 8 bits", indexed8(), [](BmpHeader &h) { h.compression = BmpBitfields; },
        Outcome::FailsOrLoads);
    const BmpFile bitfields = wellFormed("16 bit 5-6-5");
    add(
        "bit field masks zero", bitfields, [](BmpHeader &h) { h.masks = {}; },
        Outcome::FailsOrLoads);
    add(
        "bit field masks all ones", bitfields,
        [](BmpHeader &h) {
            h.masks = {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0};
        },
        Outcome::FailsOrLoads);
    add(
        "bit field masks overlapping", bitfields,
        [](BmpHeader &h) {
            h.masks = {0xFFFF, 0x0FF0, 0x00FF, 0};
        },
        Outcome::FailsOrLoads);
    add(
        "bit field masks not contiguous", bitfields,
        [](BmpHeader &h) {
            h.masks = {0xA000, 0x0500, 0x0011, 0};
        },
        Outcome::FailsOrLoads);
    add(
        "signature not BM", rgb24(),
        [](BmpHeader &h) {
            h.signature = {'X', 'Y'};
        },
        Outcome::Fails);
}

void HostilePictureTest::lyingHeaders()
{
    QFETCH(QByteArray, file);
    QFETCH(Outcome, outcome);
    checkLoad(file, outcome);
}

void HostilePictureTest::runLengthAbuse_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<Outcome>("outcome");
    // Every stream here is for a 4 x 2 picture. Runs and jumps that leave the row or the picture
    // are cut to it; what no code reaches keeps the first palette colour.
    const struct
    {
        const char *name;
        const char *hex;
    } streams[] = {
        {"run past the row end", "2001"
                                 "0001"},
        {"run past the picture", "0000"
                                 "0000"
                                 "0000"
                                 "0000"
                                 "0401"
                                 "0001"},
        {"delta past the row", "0002c800"
                               "0201"
                               "0001"},
        {"delta past the picture", "000200c8"
                                   "0201"
                                   "0001"},
        {"delta to the far corner", "0002ffff"
                                    "ff01"
                                    "0001"},
        {"literal past the row", "000801020301020301"
                                 "0001"},
        {"literal cut off by the end of the file", "00c80102"},
        {"end of line past the last row", "00000000000000000000000000000000"},
        {"no end of bitmap", "0201"},
        {"escape cut off", "00"},
        {"delta cut off", "000201"},
        {"empty stream", ""},
        {"only end of bitmap", "0001"},
        {"zero-length runs", "0001"
                             "0001"
                             "0001"},
        {"unknown escape after end of bitmap", "00010003ffffff"},
    };
    for (int bits : {8, 4}) {
        for (const auto &stream : streams) {
            QTest::addRow("RLE%d, %s", bits, stream.name)
                << bytesOf(rle(bits, stream.hex)) << Outcome::FailsOrLoads;
        }
    }
    // Run-length pictures are stored bottom-up only.
    QTest::newRow("RLE8 stored top-down") << bytesOf(rle(8,
                                                         "0401"
                                                         "0000"
                                                         "0402"
                                                         "0001",
                                                         4, -2))
                                          << Outcome::FailsOrLoads;
}

void HostilePictureTest::runLengthAbuse()
{
    QFETCH(QByteArray, file);
    QFETCH(Outcome, outcome);
    checkLoad(file, outcome);
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
    PictureSurface surface;
    QString error;
    QVERIFY2(surface.loadFromData(bytesOf(rle(8,
                                              "0101"
                                              "00020200"
                                              "0102"
                                              "0001",
                                              4, height)),
                                  &error),
             qPrintable(error));
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

void HostilePictureTest::hugeAnnouncedPictures_data()
{
    // Tiny files whose headers announce pictures far beyond the pixel limit. Each must be
    // refused without decoding: no buffer of that size is ever made.
    QTest::addColumn<QByteArray>("file");
    QTest::newRow("RLE8, 30000 x 30000, only end of bitmap")
        << bytesOf(rle(8, "0001", 30000, 30000));
    QTest::newRow("RLE8, 8192 x 16384, only end of bitmap") << bytesOf(rle(8, "0001", 8192, 16384));
    // Stored top-down, the header gives a negative height.
    QTest::newRow("RLE8, 8192 x 16384 top-down, only end of bitmap")
        << bytesOf(rle(8, "0001", 8192, -16384));
    BmpFile mono = wellFormed("1 bit");
    mono.header.width = 30000;
    mono.header.height = 30000;
    QTest::newRow("1 bit, 30000 x 30000, one row of pixels") << bytesOf(mono);
    mono.header.height = -30000;
    QTest::newRow("1 bit, 30000 x 30000 top-down, one row of pixels") << bytesOf(mono);
    // A 1-bit PNG compresses a blank row of 60000 pixels into a few bytes.
    QTest::newRow("PNG, 1 bit, 60000 x 60000, one row")
        << png(60000, 60000, 1, 0, QByteArray(1 + 60000 / 8, '\0'));
    QTest::newRow("PNG, 8 bit grey, 8192 x 16384, one row")
        << png(8192, 16384, 8, 0, QByteArray(1 + 8192, '\0'));
    QTest::newRow("GIF, 65535 x 65535") << QByteArray::fromHex("474946383961ffffffff800000"
                                                               "000000ffffff"
                                                               "2c00000000ffffffff00"
                                                               "02024c01003b");
}

void HostilePictureTest::hugeAnnouncedPictures()
{
    QFETCH(QByteArray, file);
    checkLoad(file, Outcome::Fails);
}

void HostilePictureTest::acceptsThePixelLimitExactly()
{
    // The default limit: 128 MiB of 32-bit pixels. One row more is refused.
    QCOMPARE(PictureSurface::pixelLimit(), qint64(8192) * 4096);
    PictureSurface surface;
    QString error;
    QVERIFY2(surface.loadFromData(bytesOf(rle(8, "0001", 8192, 4096)), &error), qPrintable(error));
    QCOMPARE(surface.width(), 8192.0);
    QCOMPARE(surface.height(), 4096.0);
    QCOMPARE(surface.colourAt(8191, 4095), fourColours[0]);

    QVERIFY(!surface.loadFromData(bytesOf(rle(8, "0001", 8192, 4097)), &error));
    QVERIFY2(error.contains(QLatin1String("8192 x 4097")), qPrintable(error));
    QCOMPARE(surface.width(), 8192.0);
    QCOMPARE(surface.height(), 4096.0);
}

void HostilePictureTest::fuzzFindings_data()
{
    QTest::addColumn<QByteArray>("file");
    const QDir dir(QStringLiteral(FUZZ_REGRESSIONS_DIR));
    for (const QString &name : dir.entryList(QDir::Files, QDir::Name)) {
        QFile file(dir.filePath(name));
        QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(name));
        QTest::newRow(qPrintable(name)) << file.readAll();
    }
}

void HostilePictureTest::fuzzFindings()
{
    // Inputs the fuzzer once broke the surface with; each must now load soundly or fail cleanly.
    QFETCH(QByteArray, file);
    checkLoad(file, Outcome::FailsOrLoads);
}

void HostilePictureTest::nonPictureFiles_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("0-byte file") << QByteArray();
    QTest::newRow("text file") << QByteArray("Picture:\r\nData &B11100000\r\n");
    QTest::newRow("one byte") << QByteArray("B");
    QTest::newRow("BMP signature only") << QByteArray("BM");
    QTest::newRow("PNG signature only") << QByteArray("\x89PNG\r\n\x1a\n", 8);
    QTest::newRow("GIF signature only") << QByteArray("GIF89a");
    QTest::newRow("JPEG start only") << QByteArray("\xff\xd8\xff\xe0", 4);
    QTest::newRow("zeros") << QByteArray(4096, '\0');
}

void HostilePictureTest::nonPictureFiles()
{
    QFETCH(QByteArray, content);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString fileName = dir.filePath(QStringLiteral("picture.bmp"));
    QFile file(fileName);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();

    PictureSurface surface = surfaceWithKnownPicture();
    const QImage before = surface.image();
    QString error;
    QVERIFY(!surface.load(fileName, &error));
    QVERIFY(!error.isEmpty());
    QCOMPARE(surface.image(), before);
    checkLoad(content, Outcome::Fails);
}

void HostilePictureTest::unusualFileNames()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    PictureSurface surface = surfaceWithKnownPicture();
    const QImage before = surface.image();
    QString error;

    QVERIFY(!surface.load(dir.path(), &error));
    QVERIFY2(!error.isEmpty(), "a directory");
    QVERIFY(!surface.load(dir.filePath(QStringLiteral("missing.bmp")), &error));
    QVERIFY2(!error.isEmpty(), "a missing file");
    QCOMPARE(surface.image(), before);

    // Spaces and letters beyond ASCII reach the file system unharmed.
    const QString damaged = dir.filePath(QStringLiteral("Bild mit Ümlauten, ç und ß.bmp"));
    QFile file(damaged);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytesOf(rgb24()).left(30));
    file.close();
    QVERIFY(!surface.load(damaged, &error));
    QVERIFY(!error.isEmpty());
    QCOMPARE(surface.image(), before);

    const QString good = dir.filePath(QStringLiteral("Grüße aus Köln – 日本.bmp"));
    QFile goodFile(good);
    QVERIFY(goodFile.open(QIODevice::WriteOnly));
    goodFile.write(bytesOf(indexed8()));
    goodFile.close();
    QVERIFY2(surface.load(good, &error), qPrintable(error));
    QCOMPARE(surface.width(), 3.0);
    QCOMPARE(surface.height(), 3.0);
}

QTEST_GUILESS_MAIN(HostilePictureTest)
#include "hostilepicture_test.moc"
