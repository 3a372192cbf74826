// Damaged and hostile picture files against the surface. Whatever a file holds, a load either
// fails with a reason and leaves the surface's picture as it was, or gives a picture whose table
// is well-formed and which reads the same on every load; it never crashes, hangs or takes memory
// out of proportion to the pixel limit.
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
#include <optional>

using namespace quenzil;

namespace {

// A BMP file assembled field by field, so that any field can lie. Fields left empty are computed
// from what the file really holds.
struct Bmp
{
    QByteArray signature = "BM";
    std::optional<quint32> fileSize;
    std::optional<quint32> pixelOffset;
    quint32 headerSize = 40; // 12: the old core header with 16-bit sizes; 108/124: V4/V5
    qint32 width = 2;
    qint32 height = 2;
    quint16 planes = 1;
    quint16 bitCount = 24;
    quint32 compression = 0; // 1 RLE8, 2 RLE4, 3 bit fields
    std::optional<quint32> coloursUsed;
    QList<quint32> masks; // after a 40-byte header, or inside a V4/V5 header
    QList<QRgb> palette;
    QByteArray pixels;

    QByteArray bytes() const
    {
        QByteArray info;
        const auto put32 = [&info](quint32 value) {
            info.append(reinterpret_cast<const char *>(&value), 4); // little-endian host
        };
        const auto put16 = [&info](quint16 value) {
            info.append(reinterpret_cast<const char *>(&value), 2);
        };
        const bool core = headerSize == 12;
        put32(headerSize);
        if (core) {
            put16(quint16(width));
            put16(quint16(height));
        } else {
            put32(quint32(width));
            put32(quint32(height));
        }
        put16(planes);
        put16(bitCount);
        if (!core) {
            put32(compression);
            put32(quint32(pixels.size()));
            put32(2835);
            put32(2835);
            put32(coloursUsed.value_or(quint32(palette.size())));
            put32(0);
            if (headerSize == 108 || headerSize == 124) {
                for (int i = 0; i < 4; ++i)
                    put32(i < masks.size() ? masks[i] : 0);
                info.append(QByteArray(qsizetype(headerSize) - info.size(), '\0'));
            } else {
                for (quint32 mask : masks)
                    put32(mask);
            }
        }
        for (QRgb colour : palette) {
            info.append(char(qBlue(colour)))
                .append(char(qGreen(colour)))
                .append(char(qRed(colour)));
            if (!core)
                info.append('\0');
        }
        const quint32 offset = 14 + quint32(info.size());
        QByteArray file = signature;
        const auto fileHeader = [&file](quint32 value) {
            file.append(reinterpret_cast<const char *>(&value), 4);
        };
        fileHeader(fileSize.value_or(offset + quint32(pixels.size())));
        fileHeader(0);
        fileHeader(pixelOffset.value_or(offset));
        return file + info + pixels;
    }
};

const QList<QRgb> fourColours = {qRgb(0x12, 0x34, 0x56), qRgb(255, 0, 0), qRgb(0, 255, 0),
                                 qRgb(0, 0, 255)};

Bmp rgb24()
{
    Bmp bmp;
    bmp.pixels = QByteArray::fromHex("0000ff00ff000000"
                                     "ff0000ffffff0000");
    return bmp;
}

Bmp indexed8(int height = 3)
{
    Bmp bmp;
    bmp.width = 3;
    bmp.height = height;
    bmp.bitCount = 8;
    bmp.palette = fourColours;
    bmp.pixels = QByteArray::fromHex("00010200"
                                     "03000100"
                                     "02030000");
    return bmp;
}

Bmp rle(int bits, const QByteArray &stream, qint32 width = 4, qint32 height = 2)
{
    Bmp bmp;
    bmp.width = width;
    bmp.height = height;
    bmp.bitCount = quint16(bits);
    bmp.compression = bits == 8 ? 1 : 2;
    bmp.palette = fourColours;
    bmp.pixels = stream;
    return bmp;
}

// The well-formed files every damage starts from: each kind of header, depth and compression.
QList<std::pair<const char *, Bmp>> wellFormedBmps();

Bmp wellFormed(const char *name)
{
    for (const auto &[kind, bmp] : wellFormedBmps())
        if (std::strcmp(kind, name) == 0)
            return bmp;
    qFatal("no such file kind");
}

QList<std::pair<const char *, Bmp>> wellFormedBmps()
{
    QList<std::pair<const char *, Bmp>> files;
    files.append({"24 bit", rgb24()});
    files.append({"8 bit", indexed8()});
    Bmp topDown = indexed8(-3);
    files.append({"8 bit top-down", topDown});
    Bmp mono;
    mono.width = 9;
    mono.bitCount = 1;
    mono.palette = {qRgb(0, 0, 0), qRgb(255, 255, 255)};
    mono.pixels = QByteArray::fromHex("a5800000"
                                      "5a000000");
    files.append({"1 bit", mono});
    Bmp nibbles = indexed8(2);
    nibbles.bitCount = 4;
    nibbles.pixels = QByteArray::fromHex("01200000"
                                         "32100000");
    files.append({"4 bit", nibbles});
    files.append({"RLE8", rle(8, QByteArray::fromHex("0301"
                                                     "0003020301"
                                                     "00"
                                                     "0000"
                                                     "0402"
                                                     "0001"))});
    files.append({"RLE4", rle(4, QByteArray::fromHex("0412"
                                                     "0000"
                                                     "00041230"
                                                     "0001"))});
    Bmp bitfields = rgb24();
    bitfields.bitCount = 16;
    bitfields.compression = 3;
    bitfields.masks = {0xF800, 0x07E0, 0x001F};
    bitfields.pixels = QByteArray::fromHex("00f8e007"
                                           "1f00ffff");
    files.append({"16 bit 5-6-5", bitfields});
    Bmp v5 = rgb24();
    v5.headerSize = 124;
    v5.bitCount = 32;
    v5.compression = 3;
    v5.masks = {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};
    v5.pixels = QByteArray::fromHex("0000ff80ff0000ff"
                                    "00ff00ffffffffff");
    files.append({"32 bit V5", v5});
    Bmp core = mono;
    core.headerSize = 12;
    core.width = 8;
    files.append({"core header", core});
    return files;
}

// What lies at `offset` of a BMP file, for naming the cut.
QString fieldAt(int offset, const Bmp &bmp, int pixelStart)
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
    const int headerEnd = 14 + int(bmp.headerSize);
    if (offset < headerEnd) {
        if (bmp.headerSize == 12) {
            for (const Field &field : core)
                if (offset < field.end)
                    return QLatin1String(field.name);
        }
        for (const Field &field : info)
            if (offset < field.end)
                return QLatin1String(field.name);
    }
    if (offset < pixelStart)
        return offset < headerEnd + 4 * bmp.masks.size() && bmp.headerSize == 40
                   ? QStringLiteral("masks")
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
    if (!surface.loadFromData(rgb24().bytes()))
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
    void hugeAnnouncedPictures_data();
    void hugeAnnouncedPictures();
    void acceptsThePixelLimitExactly();
    void nonPictureFiles_data();
    void nonPictureFiles();
    void unusualFileNames();
};

void HostilePictureTest::cutShort_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<Outcome>("outcome");
    for (const auto &[name, bmp] : wellFormedBmps()) {
        const QByteArray whole = bmp.bytes();
        QVERIFY2(PictureSurface().loadFromData(whole), name);
        const int pixelStart = int(whole.size() - bmp.pixels.size());
        for (int length = 0; length < whole.size(); ++length) {
            // A file cut before its pixels lacks what the reader needs; inside the pixels, a
            // reader may honestly give what it has.
            const Outcome outcome = length < pixelStart ? Outcome::Fails : Outcome::FailsOrLoads;
            QTest::addRow("%s, cut at %d (%s)", name, length,
                          qPrintable(fieldAt(length, bmp, pixelStart)))
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
    const auto add = [](const char *name, const Bmp &bmp, Outcome outcome) {
        QTest::newRow(name) << bmp.bytes() << outcome;
    };
    const auto with = [](Bmp bmp, auto change) {
        change(bmp);
        return bmp;
    };

    add("width huge", with(rgb24(), [](Bmp &b) { b.width = INT_MAX; }), Outcome::Fails);
    add("height huge", with(rgb24(), [](Bmp &b) { b.height = INT_MAX; }), Outcome::Fails);
    add("width and height huge", with(rgb24(), [](Bmp &b) { b.width = b.height = 65536; }),
        Outcome::Fails);
    add("width times height overflows 32 bits",
        with(indexed8(), [](Bmp &b) { b.width = b.height = 70000; }), Outcome::Fails);
    add("width negative", with(rgb24(), [](Bmp &b) { b.width = -2; }), Outcome::Fails);
    add("width most negative", with(rgb24(), [](Bmp &b) { b.width = INT_MIN; }), Outcome::Fails);
    add("height most negative", with(rgb24(), [](Bmp &b) { b.height = INT_MIN; }), Outcome::Fails);
    add("width zero", with(rgb24(), [](Bmp &b) { b.width = 0; }), Outcome::Fails);
    add("height zero", with(rgb24(), [](Bmp &b) { b.height = 0; }), Outcome::Fails);
    add("core header, width zero", with(wellFormed("core header"), [](Bmp &b) { b.width = 0; }),
        Outcome::Fails);

    for (quint16 bits : {0, 2, 3, 7, 12, 64, 0xFFFF}) {
        QTest::addRow("bits per pixel %d", int(bits))
            << with(rgb24(), [bits](Bmp &b) { b.bitCount = bits; }).bytes() << Outcome::Fails;
    }
    add("planes zero", with(rgb24(), [](Bmp &b) { b.planes = 0; }), Outcome::FailsOrLoads);
    add("planes 2", with(rgb24(), [](Bmp &b) { b.planes = 2; }), Outcome::FailsOrLoads);

    add("palette count larger than the file", with(indexed8(), [](Bmp &b) { b.coloursUsed = 256; }),
        Outcome::Fails);
    add("palette count larger than the file, 1 bit",
        with(wellFormed("1 bit"), [](Bmp &b) { b.coloursUsed = 200; }), Outcome::Fails);
    add("palette count over 256", with(indexed8(), [](Bmp &b) { b.coloursUsed = 257; }),
        Outcome::Fails);
    add("palette count all ones", with(indexed8(), [](Bmp &b) { b.coloursUsed = 0xFFFFFFFF; }),
        Outcome::Fails);
    // Indices past the palette read as black: colour table entries the file does not give.
    add("pixels index past a short palette",
        with(indexed8(),
             [](Bmp &b) {
                 b.pixels = QByteArray::fromHex("ff7f8000"
                                                "fe000100"
                                                "02030000");
             }),
        Outcome::Loads);

    add("pixel offset past the end", with(rgb24(), [](Bmp &b) { b.pixelOffset = 0xFFFF; }),
        Outcome::FailsOrLoads);
    add("pixel offset most negative", with(rgb24(), [](Bmp &b) { b.pixelOffset = 0x80000000; }),
        Outcome::FailsOrLoads);
    add("pixel offset inside the header", with(rgb24(), [](Bmp &b) { b.pixelOffset = 20; }),
        Outcome::FailsOrLoads);
    add("pixel offset one short of the end",
        with(rgb24(), [](Bmp &b) { b.pixelOffset = 14 + 40 + 16 - 1; }), Outcome::FailsOrLoads);
    // The file size field is not needed to read a picture.
    add("file size says huge", with(rgb24(), [](Bmp &b) { b.fileSize = 0xFFFFFFFF; }),
        Outcome::Loads);
    add("file size says zero", with(rgb24(), [](Bmp &b) { b.fileSize = 0; }), Outcome::Loads);

    for (quint32 size : {0u, 13u, 39u, 41u, 1000u, 0xFFFFFFFFu}) {
        QTest::addRow("header size %u", size)
            << with(rgb24(), [size](Bmp &b) { b.headerSize = size; }).bytes() << Outcome::Fails;
    }
    add("compression unknown", with(rgb24(), [](Bmp &b) { b.compression = 99; }), Outcome::Fails);
    add("RLE8 on 24 bits", with(rgb24(), [](Bmp &b) { b.compression = 1; }), Outcome::Fails);
    add("RLE4 on 8 bits", with(indexed8(), [](Bmp &b) { b.compression = 2; }),
        Outcome::FailsOrLoads);
    add("bit fields on 8 bits", with(indexed8(), [](Bmp &b) { b.compression = 3; }),
        Outcome::FailsOrLoads);
    const Bmp bitfields = wellFormed("16 bit 5-6-5");
    add("bit field masks zero",
        with(bitfields,
             [](Bmp &b) {
                 b.masks = {0, 0, 0};
             }),
        Outcome::FailsOrLoads);
    add("bit field masks all ones",
        with(bitfields,
             [](Bmp &b) {
                 b.masks = {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF};
             }),
        Outcome::FailsOrLoads);
    add("bit field masks overlapping",
        with(bitfields,
             [](Bmp &b) {
                 b.masks = {0xFFFF, 0x0FF0, 0x00FF};
             }),
        Outcome::FailsOrLoads);
    add("bit field masks not contiguous",
        with(bitfields,
             [](Bmp &b) {
                 b.masks = {0xA000, 0x0500, 0x0011};
             }),
        Outcome::FailsOrLoads);
    add("signature not BM", with(rgb24(), [](Bmp &b) { b.signature = "XY"; }), Outcome::Fails);
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
                << rle(bits, QByteArray::fromHex(stream.hex)).bytes() << Outcome::FailsOrLoads;
        }
    }
    // Run-length pictures are stored bottom-up only.
    QTest::newRow("RLE8 stored top-down") << rle(8,
                                                 QByteArray::fromHex("0401"
                                                                     "0000"
                                                                     "0402"
                                                                     "0001"),
                                                 4, -2)
                                                 .bytes()
                                          << Outcome::FailsOrLoads;
}

void HostilePictureTest::runLengthAbuse()
{
    QFETCH(QByteArray, file);
    QFETCH(Outcome, outcome);
    checkLoad(file, outcome);
}

void HostilePictureTest::hugeAnnouncedPictures_data()
{
    // Tiny files whose headers announce pictures far beyond the pixel limit. Each must be
    // refused without decoding: no buffer of that size is ever made.
    QTest::addColumn<QByteArray>("file");
    QTest::newRow("RLE8, 30000 x 30000, only end of bitmap")
        << rle(8, QByteArray::fromHex("0001"), 30000, 30000).bytes();
    // 8 bits a pixel pass the reader's byte limit at 4 times the pixels a 32-bit buffer can hold.
    QTest::newRow("RLE8, 8192 x 16384, only end of bitmap")
        << rle(8, QByteArray::fromHex("0001"), 8192, 16384).bytes();
    // Stored top-down, the header gives a negative height.
    QTest::newRow("RLE8, 8192 x 16384 top-down, only end of bitmap")
        << rle(8, QByteArray::fromHex("0001"), 8192, -16384).bytes();
    Bmp mono = wellFormed("1 bit");
    mono.width = 30000;
    mono.height = 30000;
    QTest::newRow("1 bit, 30000 x 30000, one row of pixels") << mono.bytes();
    mono.height = -30000;
    QTest::newRow("1 bit, 30000 x 30000 top-down, one row of pixels") << mono.bytes();
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
    QVERIFY2(surface.loadFromData(rle(8, QByteArray::fromHex("0001"), 8192, 4096).bytes(), &error),
             qPrintable(error));
    QCOMPARE(surface.width(), 8192.0);
    QCOMPARE(surface.height(), 4096.0);
    QCOMPARE(surface.colourAt(8191, 4095), ColourValue(0x563412)); // the first palette colour

    QVERIFY(!surface.loadFromData(rle(8, QByteArray::fromHex("0001"), 8192, 4097).bytes(), &error));
    QVERIFY2(error.contains(QLatin1String("8192 x 4097")), qPrintable(error));
    QCOMPARE(surface.width(), 8192.0);
    QCOMPARE(surface.height(), 4096.0);
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
    file.write(rgb24().bytes().left(30));
    file.close();
    QVERIFY(!surface.load(damaged, &error));
    QVERIFY(!error.isEmpty());
    QCOMPARE(surface.image(), before);

    const QString good = dir.filePath(QStringLiteral("Grüße aus Köln – 日本.bmp"));
    QFile goodFile(good);
    QVERIFY(goodFile.open(QIODevice::WriteOnly));
    goodFile.write(indexed8().bytes());
    goodFile.close();
    QVERIFY2(surface.load(good, &error), qPrintable(error));
    QCOMPARE(surface.width(), 3.0);
    QCOMPARE(surface.height(), 3.0);
}

QTEST_GUILESS_MAIN(HostilePictureTest)
#include "hostilepicture_test.moc"
