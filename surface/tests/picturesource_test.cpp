#include "bmpwriter.h"
#include "imagepixels.h"
#include "picturepreparation.h"
#include "picturereading.h"
#include "picturesource.h"
#include "tablebuilder.h"

#include <QBuffer>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <climits>

using namespace quenzil;
using namespace quenzil::testsupport;

Q_DECLARE_METATYPE(quenzil::testsupport::TestPicture)
Q_DECLARE_METATYPE(quenzil::Preparation)

namespace {

QByteArray bytesOf(const std::string &bytes)
{
    return QByteArray(bytes.data(), qsizetype(bytes.size()));
}

QByteArray bmpOf(const TestPicture &picture, BmpLayout layout, RowOrder order = RowOrder::BottomUp,
                 std::uint8_t alpha = 0xFF)
{
    return bytesOf(writeBmp(encodeBmp(picture, layout, order, alpha)));
}

// A picture whose colours run through `colours` pixel by pixel.
TestPicture patterned(int width, int height, const std::vector<ColourValue> &colours)
{
    TestPicture picture{width, height, {}};
    for (int i = 0; i < width * height; ++i)
        picture.pixels.push_back(colours[std::size_t(i) % colours.size()]);
    return picture;
}

// The pixels of a surface or a picture, row by row, for comparing with what was written.
template <class Source> std::vector<ColourValue> pixelsOf(const Source &source)
{
    std::vector<ColourValue> pixels;
    for (int y = 0; y < int(source.height()); ++y)
        for (int x = 0; x < int(source.width()); ++x)
            pixels.push_back(source.colourAt(x, y));
    return pixels;
}

std::vector<ColourValue> pixelsOf(const QImage &picture)
{
    return pixelsOf(ImagePixels(picture));
}

// The picture in `file` as read for `preparation`.
QImage readPictureData(const QByteArray &file, QString *error = nullptr,
                       const Preparation &preparation = {})
{
    QBuffer buffer;
    buffer.setData(file);
    buffer.open(QIODevice::ReadOnly);
    return readPicture(&buffer, error, preparation);
}

// A source that has read `file` for `preparation`.
bool readInto(PictureSource &source, const QByteArray &file, QString *error = nullptr,
              const Preparation &preparation = {})
{
    QBuffer buffer;
    buffer.setData(file);
    buffer.open(QIODevice::ReadOnly);
    return source.read(&buffer, preparation, error);
}

// The pixels a source's picture codes as, prepared as it was read.
std::vector<ColourValue> pixelsOf(PictureSource &source)
{
    return pixelsOf(source.prepared({}));
}

// A smooth picture of `size`, saved as a JPEG.
QByteArray smoothJpeg(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y,
                           qRgb(x * 255 / size.width(), y * 255 / size.height(), (x + y) % 200));
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 90);
    return data;
}

QByteArray pngOf(const QImage &image)
{
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return data;
}

// A device that gives its bytes a piece at a time and knows no size, as a pipe does; endless,
// it goes on giving zeros.
class StreamDevice : public QIODevice
{
public:
    StreamDevice(QByteArray bytes, bool endless) : m_bytes(std::move(bytes)), m_endless(endless)
    {
        open(QIODevice::ReadOnly);
    }
    bool isSequential() const override { return true; }
    qint64 given() const { return m_given; }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        const qint64 left = m_endless ? maxSize : m_bytes.size() - m_given;
        const qint64 count = std::min({maxSize, left, qint64(4096)});
        if (count <= 0)
            return -1; // the end
        for (qint64 i = 0; i < count; ++i, ++m_given)
            data[i] = m_given < m_bytes.size() ? m_bytes[m_given] : '\0';
        return count;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QByteArray m_bytes;
    bool m_endless;
    qint64 m_given = 0;
};

const std::vector<ColourValue> someColours = {0x000000, 0xFFFFFF, 0x0000FF, 0x00FF00, 0xFF0000,
                                              0x123456, 0xFEDCBA, 0x808080, 0x00FFFF, 0x7F3F1F,
                                              0xA0B0C0, 0x010203, 0xC0FFEE, 0xBADA55, 0x5A5A5A};

} // namespace

class PictureSourceTest : public QObject
{
    Q_OBJECT

private slots:
    void decodesBmpLayouts_data();
    void decodesBmpLayouts();
    void keepsStoredColourOfTransparentPixels_data();
    void keepsStoredColourOfTransparentPixels();
    void readsJpeg();
    void leavesRunLengthSkipsAtFirstPaletteColour();
    void takesTheSizeOfEachPicture();
    void readsOutsideAsUnreadable_data();
    void readsOutsideAsUnreadable();
    void invertsAsAPreparation();
    void failedLoadChangesNothing_data();
    void failedLoadChangesNothing();
    void takesDecodedImages_data();
    void takesDecodedImages();
    void readsJpegReducedForItsPreparation_data();
    void readsJpegReducedForItsPreparation();
    void readsAgainForAnotherPreparation_data();
    void readsAgainForAnotherPreparation();
    void readsStreamsAsFiles_data();
    void readsStreamsAsFiles();
};

void PictureSourceTest::decodesBmpLayouts_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<TestPicture>("picture");

    const auto add = [](const char *name, const TestPicture &picture, BmpLayout layout) {
        QTest::newRow(qPrintable(QStringLiteral("%1, bottom-up").arg(QLatin1String(name))))
            << bmpOf(picture, layout, RowOrder::BottomUp) << picture;
        if (layout != BmpLayout::Rle8)
            QTest::newRow(qPrintable(QStringLiteral("%1, top-down").arg(QLatin1String(name))))
                << bmpOf(picture, layout, RowOrder::TopDown) << picture;
    };

    // Palette colours need not be black and white, and a row of 9 one-bit pixels spills into a
    // second byte.
    add("1 bit, 9 x 3", patterned(9, 3, {0x336699, 0xCCAA00, 0xCCAA00}), BmpLayout::Indexed1);
    add("1 bit, dark palette entry second", patterned(3, 2, {0xFFFFFF, 0x000000}),
        BmpLayout::Indexed1);
    // Odd widths end a row in half a byte.
    add("4 bit, 5 x 3", patterned(5, 3, someColours), BmpLayout::Indexed4);
    add("8 bit, 3 x 4", patterned(3, 4, someColours), BmpLayout::Indexed8);
    {
        TestPicture runs = patterned(7, 3, {0x0000FF});
        // A run of three, then four different pixels in absolute mode; a whole row as one run;
        // and a short stretch of single pixels.
        const std::vector<ColourValue> row0 = {0x0000FF, 0x0000FF, 0x0000FF, 0x00FF00,
                                               0xFF0000, 0x123456, 0xFFFFFF};
        const std::vector<ColourValue> row2 = {0x010203, 0x0000FF, 0x010203, 0x010203,
                                               0x00FF00, 0x00FF00, 0x00FF00};
        std::copy(row0.begin(), row0.end(), runs.pixels.begin());
        std::copy(row2.begin(), row2.end(), runs.pixels.begin() + 14);
        add("RLE8, 7 x 3", runs, BmpLayout::Rle8);
    }
    // 16-bit colours chosen to be exact: 5-bit 16 is 0x84 and 6-bit 32 is 0x82 in 8 bits, and
    // full intensity stays 0xFF.
    add("16 bit 5-5-5, 3 x 3",
        patterned(3, 3, {0xFFFFFF, 0x000000, 0x0000FF, 0x00FF00, 0xFF0000, 0x848484, 0xFF84FF}),
        BmpLayout::Rgb555);
    add("16 bit 5-6-5, 3 x 3",
        patterned(3, 3, {0xFFFFFF, 0x000000, 0x0000FF, 0x00FF00, 0xFF0000, 0x848284, 0x84FF84}),
        BmpLayout::Rgb565);
    for (int width : {1, 2, 3, 5})
        add(qPrintable(QStringLiteral("24 bit, %1 x 3").arg(width)),
            patterned(width, 3, someColours), BmpLayout::Rgb24);
    add("32 bit, 3 x 3", patterned(3, 3, someColours), BmpLayout::Rgb32);
    add("32 bit with alpha, 3 x 3", patterned(3, 3, someColours), BmpLayout::Argb32);

    // Bit fields of other widths than 8 bits, each channel scaled from its mask's width, and
    // the 52- and 56-byte headers (the 40-byte one with the masks).
    const TestPicture some = patterned(3, 3, someColours);
    const auto fields = [](const TestPicture &picture, std::uint16_t bits,
                           std::array<std::uint32_t, 4> masks, std::uint32_t headerSize,
                           RowOrder order = RowOrder::BottomUp) {
        return bytesOf(writeBmp(encodeBitfieldsBmp(picture, bits, masks, headerSize, order)));
    };
    for (std::uint32_t headerSize : {40u, 56u, 108u, 124u})
        QTest::newRow(qPrintable(QStringLiteral("32 bit 10-10-10, %1-byte header").arg(headerSize)))
            << fields(some, 32, {0x3FF00000, 0xFFC00, 0x3FF, 0}, headerSize) << some;
    QTest::newRow("32 bit 10-10-10-2 with alpha, top-down")
        << fields(some, 32, {0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000}, 124, RowOrder::TopDown)
        << some;
    // Green and blue of 3 bits: colours whose channels are exact in 3 bits.
    const TestPicture threeBits = patterned(3, 2, {0xFFFFFF, 0x000000, 0x2449A7, 0xB66D01});
    QTest::newRow("16 bit 10-3-3")
        << fields(threeBits, 16, {0xFFC0, 0x38, 0x7, 0}, 40) << threeBits;
    const TestPicture sixBits = patterned(3, 1, {0xFF0012, 0x00FFA7, 0xFFFFFF});
    QTest::newRow("32 bit 20-6-6")
        << fields(sixBits, 32, {0xFFFFF000, 0xFC0, 0x3F, 0}, 40) << sixBits;
    const auto withHeader = [&](BmpLayout layout, std::uint32_t headerSize) {
        BmpFile file = encodeBmp(some, layout);
        file.header.headerSize = headerSize;
        return bytesOf(writeBmp(file));
    };
    QTest::newRow("8 bit, 56-byte header") << withHeader(BmpLayout::Indexed8, 56) << some;
    QTest::newRow("24 bit, 56-byte header") << withHeader(BmpLayout::Rgb24, 56) << some;
    const TestPicture exact565 = patterned(3, 3, {0xFFFFFF, 0x000000, 0x848284, 0x84FF84});
    {
        BmpFile file = encodeBmp(exact565, BmpLayout::Rgb565);
        file.header.headerSize = 52;
        QTest::newRow("16 bit 5-6-5, 52-byte header") << bytesOf(writeBmp(file)) << exact565;
    }

    // Indices beyond the palette read as black, the colour of a pixel that cannot be read.
    const auto beyond = [](std::uint16_t bits, std::uint32_t compression,
                           std::vector<std::uint8_t> pixelData) {
        BmpFile file;
        file.header.width = 2;
        file.header.height = 1;
        file.header.bitCount = bits;
        file.header.compression = compression;
        file.palette = {0x0000FF};
        file.pixelData = std::move(pixelData);
        return bytesOf(writeBmp(file));
    };
    const TestPicture redThenBlack{2, 1, {0x0000FF, 0x000000}};
    QTest::newRow("1 bit, index beyond a palette of one")
        << beyond(1, BmpRgb, {0x40, 0, 0, 0}) << redThenBlack;
    QTest::newRow("4 bit, index beyond the palette")
        << beyond(4, BmpRgb, {0x05, 0, 0, 0}) << redThenBlack;
    QTest::newRow("RLE8, index beyond the palette")
        << beyond(8, BmpRle8, {1, 0, 1, 9, 0, 1}) << redThenBlack;
}

void PictureSourceTest::decodesBmpLayouts()
{
    QFETCH(QByteArray, file);
    QFETCH(TestPicture, picture);

    QString error;
    const QImage read = readPictureData(file, &error);
    QVERIFY2(!read.isNull(), qPrintable(error));
    QCOMPARE(read.size(), QSize(picture.width, picture.height));
    QCOMPARE(read.format(), QImage::Format_ARGB32);
    QCOMPARE(pixelsOf(read), picture.pixels);
}

void PictureSourceTest::keepsStoredColourOfTransparentPixels_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<TestPicture>("picture");
    QTest::addColumn<int>("lastAlpha"); // the alpha of the last pixel as read

    const TestPicture picture = patterned(3, 2, someColours);
    QImage image(3, 2, QImage::Format_ARGB32);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 3; ++x) {
            const ColourValue c = picture.at(x, y);
            // Alpha runs from fully transparent to opaque across the picture.
            image.setPixel(x, y, qRgba(int(c & 0xFF), int(c >> 8 & 0xFF), int(c >> 16), 50 * x));
        }
    }
    QTest::newRow("PNG, alpha 0 to 100") << pngOf(image) << picture << 100;
    {
        // A 2 x 1 GIF whose second pixel uses the transparent palette entry 0x405060.
        const unsigned char gif[] = {
            'G',  'I',  'F',  '8',  '9',  'a',  2, 0, 1, 0, 0x81, 0, 0, // screen, 4-colour table
            0x10, 0x20, 0x30, 0x40, 0x50, 0x60, 0, 0, 0, 0, 0,    0,    // the table
            0x21, 0xF9, 4,    1,    0,    0,    1, 0,                   // entry 1 is transparent
            0x2C, 0,    0,    0,    0,    2,    0, 1, 0, 0,             // the image, 2 x 1
            2,    2,    0x44, 0x0A, 0,    0x3B}; // LZW codes clear, 0, 1, end; trailer
        QTest::newRow("GIF, transparent palette entry")
            << QByteArray(reinterpret_cast<const char *>(gif), sizeof gif)
            << TestPicture{2, 1, {0x302010, 0x605040}} << 0;
    }
    QTest::newRow("BMP, alpha 0") << bmpOf(picture, BmpLayout::Argb32, RowOrder::BottomUp, 0)
                                  << picture << 0;
    QTest::newRow("BMP, alpha 128")
        << bmpOf(picture, BmpLayout::Argb32, RowOrder::TopDown, 128) << picture << 128;
}

void PictureSourceTest::keepsStoredColourOfTransparentPixels()
{
    QFETCH(QByteArray, file);
    QFETCH(TestPicture, picture);
    QFETCH(int, lastAlpha);

    // Read, the picture keeps its alpha for a later blend.
    const QImage read = readPictureData(file);
    QCOMPARE(pixelsOf(read), picture.pixels);
    QCOMPARE(qAlpha(read.pixel(picture.width - 1, picture.height - 1)), lastAlpha);
    // Prepared, the picture codes and shows the stored colours, opaque.
    PictureSource source;
    QString error;
    QVERIFY2(readInto(source, file, &error), qPrintable(error));
    const QImage prepared = source.prepared({});
    QCOMPARE(pixelsOf(prepared), picture.pixels);
    QCOMPARE(qAlpha(prepared.pixel(0, 0)), 255);
}

void PictureSourceTest::readsJpeg()
{
    // JPEG is lossy: a flat colour comes back within a step or two.
    QImage image(16, 8, QImage::Format_RGB32);
    image.fill(qRgb(200, 100, 40));
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    QVERIFY(image.save(&buffer, "JPEG", 100));

    QString error;
    const QImage read = readPictureData(data, &error);
    QVERIFY2(!read.isNull(), qPrintable(error));
    QCOMPARE(read.size(), QSize(16, 8));
    const ColourValue colour = ImagePixels(read).colourAt(5, 5);
    QVERIFY(qAbs(int(colour & 0xFF) - 200) <= 3);
    QVERIFY(qAbs(int(colour >> 8 & 0xFF) - 100) <= 3);
    QVERIFY(qAbs(int(colour >> 16 & 0xFF) - 40) <= 3);
}

void PictureSourceTest::leavesRunLengthSkipsAtFirstPaletteColour()
{
    // A delta escape skips pixels; they must not read as whatever memory held before.
    BmpFile file = encodeBmp(patterned(4, 2, {0x112233, 0x445566}), BmpLayout::Rle8);
    // Bottom row: two pixels of index 1, then jump to the end of the bitmap.
    file.pixelData = {2, 1, 0, 1};
    const std::vector<ColourValue> expected = {0x112233, 0x112233, 0x112233, 0x112233,
                                               0x445566, 0x445566, 0x112233, 0x112233};
    QCOMPARE(pixelsOf(readPictureData(bytesOf(writeBmp(file)))), expected);
}

void PictureSourceTest::takesTheSizeOfEachPicture()
{
    const ImagePixels none;
    QCOMPARE(buildTableText(none), std::string("Picture:\r\n"));
    PictureSource source;
    QVERIFY(source.isNull());
    QVERIFY(source.prepared({}).isNull());

    QVERIFY(readInto(source, bmpOf(patterned(16, 2, someColours), BmpLayout::Rgb24)));
    const ImagePixels pixels(source.prepared({}));
    QCOMPARE(pixels.width(), 16.0);
    QCOMPARE(pixels.height(), 2.0);
    qsizetype entries = QByteArray::fromStdString(buildTableText(pixels)).count("&B");
    QCOMPARE(entries, qsizetype(32));

    QVERIFY(readInto(source, bmpOf(patterned(1, 5, someColours), BmpLayout::Rgb24)));
    QCOMPARE(source.prepared({}).size(), QSize(1, 5));
}

void PictureSourceTest::readsOutsideAsUnreadable_data()
{
    QTest::addColumn<bool>("loaded");
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");

    QTest::newRow("nothing loaded, origin") << false << 0 << 0;
    QTest::newRow("one past the last column") << true << 4 << 0;
    QTest::newRow("one past the last row") << true << 0 << 3;
    QTest::newRow("x -1") << true << -1 << 0;
    QTest::newRow("y -1") << true << 0 << -1;
    QTest::newRow("most negative") << true << INT_MIN << INT_MIN;
    QTest::newRow("largest") << true << INT_MAX << INT_MAX;
}

void PictureSourceTest::readsOutsideAsUnreadable()
{
    QFETCH(bool, loaded);
    QFETCH(int, x);
    QFETCH(int, y);

    PictureSource source;
    if (loaded)
        QVERIFY(readInto(source, bmpOf(patterned(4, 3, {0xFFFFFF}), BmpLayout::Rgb24)));
    QCOMPARE(ImagePixels(source.prepared({})).colourAt(x, y), unreadableColour);
}

void PictureSourceTest::invertsAsAPreparation()
{
    const TestPicture picture = patterned(5, 3, someColours);
    PictureSource source;
    QVERIFY(readInto(source, bmpOf(picture, BmpLayout::Rgb24)));
    Preparation inverting;
    inverting.invert = true;
    std::vector<ColourValue> inverted;
    for (ColourValue colour : picture.pixels)
        inverted.push_back(~colour & 0xFFFFFFu);
    QCOMPARE(pixelsOf(source.prepared(inverting)), inverted);
    // The picture read stays as it was: prepared plainly, it is the picture again.
    QCOMPARE(pixelsOf(source), picture.pixels);
}

void PictureSourceTest::failedLoadChangesNothing_data()
{
    QTest::addColumn<QString>("name");       // a file in the test folder, or empty
    QTest::addColumn<QByteArray>("content"); // written to that file, or loaded from memory
    QTest::addColumn<QString>("reason");     // part of the error text

    const QByteArray valid = bmpOf(patterned(8, 8, someColours), BmpLayout::Rgb24);
    QTest::newRow("missing file") << "missing.bmp" << QByteArray() << "No such file";
    QTest::newRow("directory") << "folder.bmp" << QByteArray() << "directory";
    QTest::newRow("text file") << "notes.bmp" << QByteArray("Data &B000 , not a picture")
                               << "Unsupported image format";
    QTest::newRow("empty file") << "empty.bmp" << QByteArray("") << "";
    QTest::newRow("header cut in the middle") << "" << valid.left(30) << "";
    QTest::newRow("pixel data cut short") << "" << valid.left(valid.size() - 10) << "cut short";
    {
        BmpFile file;
        file.header.width = 5;
        file.header.height = 5;
        file.header.bitCount = 7;
        file.pixelData.resize(100);
        QTest::newRow("7 bits a pixel") << "" << bytesOf(writeBmp(file)) << "";
    }
    for (const auto &[name, masks] :
         {std::pair{"32 bit, a colour mask with a gap",
                    std::array<std::uint32_t, 4>{0x00FF00FF, 0xFF00, 0xFF000000, 0}},
          std::pair{"32 bit, no colour masks", std::array<std::uint32_t, 4>{}},
          std::pair{"16 bit, a mask beyond the pixel",
                    std::array<std::uint32_t, 4>{0xFFFF0000, 0xFF00, 0xFF, 0}}}) {
        const std::uint16_t bits = QByteArray(name).startsWith("16") ? 16 : 32;
        BmpFile file = encodeBitfieldsBmp(patterned(2, 2, someColours), bits, masks, 40);
        QTest::newRow(name) << "" << bytesOf(writeBmp(file)) << "colour masks";
    }
    for (int side : {8000, 20000}) {
        // Run-length data is not held against the picture's size, so only the size check stops
        // these. 8000 x 8000 is 61 MiB as palette indices but 244 MiB as the 32-bit buffer.
        BmpFile file = encodeBmp(patterned(2, 2, {0x0000FF}), BmpLayout::Rle8);
        file.header.width = side;
        file.header.height = side;
        QTest::newRow(qPrintable(QStringLiteral("%1 x %1, beyond the allocation limit").arg(side)))
            << "" << bytesOf(writeBmp(file)) << (side == 8000 ? "limit of 128 MB" : "");
    }
}

void PictureSourceTest::failedLoadChangesNothing()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(QString, reason);

    const TestPicture before = patterned(3, 2, someColours);
    PictureSource source;
    QVERIFY(readInto(source, bmpOf(before, BmpLayout::Rgb24)));
    const std::vector<ColourValue> pixels = pixelsOf(source);

    QString error;
    bool loaded = true;
    if (name.isEmpty()) {
        loaded = readInto(source, content, &error);
    } else {
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        const QString path = folder.filePath(name);
        if (name.startsWith(QLatin1String("folder")))
            QVERIFY(QDir(folder.path()).mkdir(name));
        else if (!name.startsWith(QLatin1String("missing"))) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(content);
        }
        loaded = source.readFile(path, {}, &error);
    }

    QVERIFY(!loaded);
    QVERIFY(!error.isEmpty());
    QVERIFY2(error.contains(reason, Qt::CaseInsensitive), qPrintable(error));
    QCOMPARE(source.prepared({}).size(), QSize(3, 2));
    QCOMPARE(pixelsOf(source), pixels);
}

void PictureSourceTest::takesDecodedImages_data()
{
    QTest::addColumn<QImage>("image");
    QTest::addColumn<QRgb>("taken"); // the picture's first pixel as taken, alpha included; 0 fails

    QImage halfSeen(2, 1, QImage::Format_ARGB32);
    halfSeen.fill(qRgba(200, 100, 50, 128));
    QImage opaque(2, 1, QImage::Format_RGB32);
    opaque.fill(qRgb(1, 2, 3));
    QImage grey(2, 1, QImage::Format_Grayscale8);
    grey.fill(77);
    QTest::newRow("no picture") << QImage() << QRgb(0);
    QTest::newRow("opaque") << opaque << qRgb(1, 2, 3);
    QTest::newRow("alpha kept") << halfSeen << qRgba(200, 100, 50, 128);
    QTest::newRow("grey") << grey << qRgb(77, 77, 77);
    QTest::newRow("beyond the pixel limit") << QImage(8193, 4096, QImage::Format_Mono) << QRgb(0);
}

void PictureSourceTest::takesDecodedImages()
{
    QFETCH(QImage, image);
    QFETCH(QRgb, taken);

    QString error;
    const QImage picture = takePicture(image, &error);
    PictureSource source;
    QVERIFY(readInto(source, bmpOf(patterned(3, 2, someColours), BmpLayout::Rgb24)));
    QCOMPARE(source.take(image), taken != 0);
    if (taken == 0) {
        QVERIFY(picture.isNull());
        QVERIFY(!error.isEmpty());
        QCOMPARE(source.prepared({}).size(), QSize(3, 2));
        return;
    }
    QCOMPARE(picture.format(), QImage::Format_ARGB32);
    QCOMPARE(picture.pixel(0, 0), taken);
    // Prepared, it shows and codes the stored colour, its alpha dropped.
    QCOMPARE(source.prepared({}).pixel(1, 0), taken | 0xFF000000u);
}

void PictureSourceTest::readsStreamsAsFiles_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("endless");
    QTest::addColumn<QString>("reason"); // part of the error text, or empty: the load succeeds

    const QByteArray bmp = bmpOf(patterned(9, 7, someColours), BmpLayout::Rgb24);
    QTest::newRow("BMP") << bmp << false << "";
    QTest::newRow("PNG") << pngOf(QImage::fromData(bmp)) << false << "";
    QTest::newRow("BMP cut short") << bmp.left(bmp.size() - 10) << false << "cut short";
    QTest::newRow("endless") << bmp << true << "longer than 2 MB";
}

void PictureSourceTest::readsStreamsAsFiles()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, endless);
    QFETCH(QString, reason);

    // With 1 MiB the limit of a stream is 2 MiB.
    const int allocationLimit = QImageReader::allocationLimit();
    QImageReader::setAllocationLimit(1);
    const auto restore = qScopeGuard([&] { QImageReader::setAllocationLimit(allocationLimit); });
    StreamDevice stream(content, endless);
    PictureSource source;
    QString error;
    const bool loaded = source.read(&stream, {}, &error);
    if (!reason.isEmpty()) {
        QVERIFY(!loaded);
        QVERIFY2(error.contains(reason), qPrintable(error));
        QVERIFY(stream.given() <= (qint64(3) << 20));
        return;
    }
    QVERIFY2(loaded, qPrintable(error));
    QCOMPARE(pixelsOf(source), pixelsOf(readPictureData(content)));
}

void PictureSourceTest::readsJpegReducedForItsPreparation_data()
{
    QTest::addColumn<QSize>("stored");
    QTest::addColumn<Preparation>("preparation");
    QTest::addColumn<QSize>("read");

    const auto scaled = [](Preparation::Scaling scaling, QSize box,
                           Preparation::Resampling resampling = Preparation::Resampling::Smooth) {
        Preparation preparation;
        preparation.scaling = scaling;
        preparation.box = box;
        preparation.resampling = resampling;
        return preparation;
    };
    using Scaling = Preparation::Scaling;
    // Never below twice the scaled size on either side.
    QTest::newRow("fit to an eighth")
        << QSize(256, 192) << scaled(Scaling::Fit, {16, 16}) << QSize(32, 24);
    QTest::newRow("fit to a quarter")
        << QSize(256, 192) << scaled(Scaling::Fit, {20, 20}) << QSize(64, 48);
    QTest::newRow("fill, the size that covers the box decides")
        << QSize(256, 192) << scaled(Scaling::Fill, {16, 16}) << QSize(64, 48);
    QTest::newRow("stretch, the tall side decides")
        << QSize(256, 192) << scaled(Scaling::Stretch, {10, 40}) << QSize(128, 96);
    QTest::newRow("not far enough down")
        << QSize(256, 192) << scaled(Scaling::Fit, {100, 100}) << QSize(256, 192);
    QTest::newRow("no exact fraction")
        << QSize(251, 191) << scaled(Scaling::Fit, {16, 16}) << QSize(251, 191);
    QTest::newRow("nearest resampling")
        << QSize(256, 192) << scaled(Scaling::Fit, {16, 16}, Preparation::Resampling::Nearest)
        << QSize(256, 192);
    QTest::newRow("no scaling") << QSize(256, 192) << Preparation() << QSize(256, 192);
}

void PictureSourceTest::readsJpegReducedForItsPreparation()
{
    QFETCH(QSize, stored);
    QFETCH(Preparation, preparation);
    QFETCH(QSize, read);

    const QByteArray jpeg = smoothJpeg(stored);
    const QImage reduced = readPictureData(jpeg, nullptr, preparation);
    QCOMPARE(reduced.size(), read);
    QCOMPARE(reduced.format(), QImage::Format_ARGB32);
    // What is coded stays what the whole picture gives: the same size, each colour within a few
    // steps and the mean within half a step.
    const QImage fromReduced = prepare(reduced, preparation);
    const QImage fromWhole = prepare(readPictureData(jpeg), preparation);
    QCOMPARE(fromReduced.size(), fromWhole.size());
    qint64 difference = 0;
    int largest = 0;
    for (int y = 0; y < fromWhole.height(); ++y) {
        for (int x = 0; x < fromWhole.width(); ++x) {
            const QRgb a = fromReduced.pixel(x, y);
            const QRgb b = fromWhole.pixel(x, y);
            for (int shift : {0, 8, 16}) {
                const int step = int(a >> shift & 0xFF) - int(b >> shift & 0xFF);
                difference += step;
                largest = std::max(largest, std::abs(step));
            }
        }
    }
    QVERIFY2(largest <= 6, qPrintable(QString::number(largest)));
    QVERIFY(std::abs(double(difference)) / (3.0 * fromWhole.width() * fromWhole.height()) <= 0.5);
}

void PictureSourceTest::readsAgainForAnotherPreparation_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<Preparation>("first");
    QTest::addColumn<Preparation>("then");

    const auto fit = [](QSize box, bool invert = false) {
        Preparation preparation;
        preparation.scaling = Preparation::Scaling::Fit;
        preparation.box = box;
        preparation.invert = invert;
        return preparation;
    };
    const QByteArray jpeg = smoothJpeg({256, 192});
    QTest::newRow("JPEG, whole then reduced") << jpeg << Preparation() << fit({16, 16});
    QTest::newRow("JPEG, reduced then whole") << jpeg << fit({16, 16}) << Preparation();
    QTest::newRow("JPEG, an eighth then a quarter") << jpeg << fit({16, 16}) << fit({20, 20});
    QTest::newRow("JPEG, the same read, inverted") << jpeg << fit({16, 16}) << fit({17, 17}, true);
    QTest::newRow("BMP") << bmpOf(patterned(64, 32, someColours), BmpLayout::Rgb24) << fit({4, 4})
                         << Preparation();
}

void PictureSourceTest::readsAgainForAnotherPreparation()
{
    QFETCH(QByteArray, file);
    QFETCH(Preparation, first);
    QFETCH(Preparation, then);

    // A source read for one preparation, prepared for another, gives exactly what a source read
    // for that one gives: the window's picture is the command's.
    PictureSource kept;
    QVERIFY(readInto(kept, file, nullptr, first));
    PictureSource fresh;
    QVERIFY(readInto(fresh, file, nullptr, then));
    const QImage expected = fresh.takePrepared(then);
    QVERIFY(!expected.isNull());
    QCOMPARE(kept.prepared(then), expected);
    QCOMPARE(kept.prepared(first), prepare(readPictureData(file, nullptr, first), first));
}

QTEST_GUILESS_MAIN(PictureSourceTest)
#include "picturesource_test.moc"
