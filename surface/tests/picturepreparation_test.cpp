#include "imagepixels.h"
#include "picturepreparation.h"
#include "picturereading.h"

#include <QCryptographicHash>
#include <QImage>
#include <QRandomGenerator>
#include <QRect>
#include <QTest>

#include <array>
#include <cmath>
#include <optional>

using namespace quenzil;
using Scaling = Preparation::Scaling;
using Resampling = Preparation::Resampling;

Q_DECLARE_METATYPE(quenzil::Preparation::Scaling)
Q_DECLARE_METATYPE(quenzil::Preparation::Resampling)
Q_DECLARE_METATYPE(std::optional<QRgb>)

namespace {

constexpr QRgb red = 0xFFFF0000u;
constexpr QRgb green = 0xFF00FF00u;

QImage filled(QSize size, QRgb colour, QImage::Format format = QImage::Format_RGB32)
{
    QImage image(size, format);
    image.fill(colour);
    return image;
}

// Black and white pixels by turns, `side` of them a side.
QImage checkerboard(int side)
{
    QImage image(side, side, QImage::Format_RGB32);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            image.setPixel(x, y, (x + y) % 2 ? 0xFFFFFFFFu : 0xFF000000u);
    return image;
}

// Every channel of every pixel drawn at random, the same on every run.
QImage noise(QSize size)
{
    QRandomGenerator random(20240611);
    QImage image(size, QImage::Format_ARGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, random.generate() | 0xFF000000u);
    return image;
}

// The mean of each channel, red, green and blue.
std::array<double, 3> meanOf(const QImage &image)
{
    std::array<double, 3> sums{};
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            sums[0] += qRed(pixel);
            sums[1] += qGreen(pixel);
            sums[2] += qBlue(pixel);
        }
    }
    for (double &sum : sums)
        sum /= double(image.width()) * image.height();
    return sums;
}

Preparation stretchedTo(QSize box, Resampling resampling = Resampling::Smooth)
{
    Preparation preparation;
    preparation.scaling = Scaling::Stretch;
    preparation.box = box;
    preparation.resampling = resampling;
    return preparation;
}

} // namespace

class PicturePreparationTest : public QObject
{
    Q_OBJECT

private slots:
    void scalesAndPads_data();
    void scalesAndPads();
    void blendsOverTheBackground_data();
    void blendsOverTheBackground();
    void fillsAndCrops_data();
    void fillsAndCrops();
    void resamples_data();
    void resamples();
    void smoothScalingKeepsTheMean_data();
    void smoothScalingKeepsTheMean();
    void averagesRoundToTheNearest();
    void invertsBeforeScaling_data();
    void invertsBeforeScaling();
    void smoothScalingKeepsItsResults_data();
    void smoothScalingKeepsItsResults();
    void scalesAColumnOfTheLargestPictureWide();
    void leavesThePictureAsRead();
};

void PicturePreparationTest::scalesAndPads_data()
{
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<Scaling>("scaling");
    QTest::addColumn<QSize>("box");
    QTest::addColumn<bool>("pad");
    QTest::addColumn<std::optional<QRgb>>("background");
    QTest::addColumn<QSize>("prepared");
    // Where the picture lies in the prepared one; the rest is the background.
    QTest::addColumn<QRect>("area");

    const std::optional<QRgb> none;
    const auto fit = [&](const char *name, QSize picture, QSize box, QSize expected) {
        QTest::newRow(name) << picture << Scaling::Fit << box << false << none << expected
                            << QRect(QPoint(0, 0), expected);
    };
    fit("fitWideDown", {400, 100}, {320, 240}, {320, 80});
    fit("fitTallDown", {100, 400}, {320, 240}, {60, 240});
    fit("fitSquareDown", {500, 500}, {320, 240}, {240, 240});
    fit("fitWideUp", {10, 5}, {64, 64}, {64, 32});
    fit("fitTallUpRounds", {3, 7}, {100, 100}, {43, 100});
    fit("fitOnePixelRow", {1000, 1}, {100, 100}, {100, 1});
    fit("fitThinRowKeepsOnePixel", {1000, 3}, {10, 10}, {10, 1});
    fit("fitOnePixelColumn", {1, 1000}, {100, 100}, {1, 100});
    fit("fitOnePixelUp", {1, 1}, {7, 5}, {5, 5});
    fit("fitIntoOnePixel", {400, 100}, {1, 1}, {1, 1});

    QTest::newRow("stretchWide") << QSize(400, 100) << Scaling::Stretch << QSize(7, 9) << false
                                 << none << QSize(7, 9) << QRect(0, 0, 7, 9);
    QTest::newRow("stretchOnePixel") << QSize(1, 1) << Scaling::Stretch << QSize(3, 2) << false
                                     << none << QSize(3, 2) << QRect(0, 0, 3, 2);
    QTest::newRow("noScaling") << QSize(5, 4) << Scaling::None << QSize() << false << none
                               << QSize(5, 4) << QRect(0, 0, 5, 4);

    const std::optional<QRgb> background = green;
    QTest::newRow("padWide") << QSize(400, 100) << Scaling::Fit << QSize(320, 240) << true
                             << background << QSize(320, 240) << QRect(0, 80, 320, 80);
    QTest::newRow("padTall") << QSize(100, 400) << Scaling::Fit << QSize(320, 240) << true
                             << background << QSize(320, 240) << QRect(130, 0, 60, 240);
    QTest::newRow("padOddRest") << QSize(1, 1) << Scaling::Fit << QSize(4, 3) << true << background
                                << QSize(4, 3) << QRect(0, 0, 3, 3);
    QTest::newRow("padBlackWithoutBackground")
        << QSize(10, 20) << Scaling::Fit << QSize(9, 10) << true << none << QSize(9, 10)
        << QRect(2, 0, 5, 10);
}

void PicturePreparationTest::scalesAndPads()
{
    QFETCH(QSize, picture);
    QFETCH(Scaling, scaling);
    QFETCH(QSize, box);
    QFETCH(bool, pad);
    QFETCH(std::optional<QRgb>, background);
    QFETCH(QSize, prepared);
    QFETCH(QRect, area);

    Preparation preparation;
    preparation.scaling = scaling;
    preparation.box = box;
    preparation.pad = pad;
    preparation.background = background;
    QCOMPARE(preparedSize(picture, preparation), prepared);
    QString error;
    const QImage result = prepare(filled(picture, red), preparation, &error);
    QVERIFY2(!result.isNull(), qPrintable(error));
    QCOMPARE(result.size(), prepared);

    const QRgb padding = background.value_or(qRgb(0, 0, 0)) | 0xFF000000u;
    for (int y = 0; y < prepared.height(); ++y) {
        for (int x = 0; x < prepared.width(); ++x) {
            const QRgb expected = area.contains(x, y) ? red : padding;
            if (result.pixel(x, y) != expected)
                QFAIL(qPrintable(QStringLiteral("pixel %1, %2 is %3")
                                     .arg(x)
                                     .arg(y)
                                     .arg(result.pixel(x, y), 8, 16)));
        }
    }
}

void PicturePreparationTest::blendsOverTheBackground_data()
{
    QTest::addColumn<int>("alpha");
    QTest::addColumn<std::optional<QRgb>>("background");
    QTest::addColumn<bool>("invert");
    QTest::addColumn<QRgb>("expected");

    const std::optional<QRgb> background = qRgb(16, 32, 48);
    QTest::newRow("transparentShowsTheBackground") << 0 << background << false << qRgb(16, 32, 48);
    // (200 * 128 + 16 * 127) / 255 = 108.4 and so on.
    QTest::newRow("halfTransparentMixes") << 128 << background << false << qRgb(108, 66, 49);
    QTest::newRow("opaqueKeepsItsColour") << 255 << background << false << qRgb(200, 100, 50);
    QTest::newRow("withoutBackgroundTheStoredColour")
        << 0 << std::optional<QRgb>() << false << qRgb(200, 100, 50);
    // Inverting comes first: the inverted colour is blended, the background stays as it is.
    QTest::newRow("invertedThenMixed") << 128 << background << true << qRgb(36, 94, 127);
}

void PicturePreparationTest::blendsOverTheBackground()
{
    QFETCH(int, alpha);
    QFETCH(std::optional<QRgb>, background);
    QFETCH(bool, invert);
    QFETCH(QRgb, expected);

    // Scaling takes the blended colours: a flat picture stays flat, bent or shrunk.
    for (QSize box : {QSize(5, 5), QSize(2, 1)}) {
        Preparation preparation = stretchedTo(box);
        preparation.background = background;
        preparation.invert = invert;
        const QImage result =
            prepare(filled({3, 2}, qRgba(200, 100, 50, alpha), QImage::Format_ARGB32), preparation);
        QCOMPARE(result.size(), box);
        QCOMPARE(result.pixel(box.width() - 1, box.height() - 1), expected);
    }
}

// Filling scales to cover the box and cuts the overflow evenly, the odd pixel from the right or
// the bottom. Each source pixel's colour is its place, so that the nearest pixels show which
// survive.
void PicturePreparationTest::fillsAndCrops_data()
{
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<QSize>("box");
    QTest::addColumn<QSize>("covering");
    // The source pixels of the prepared picture's first and last pixel, or the failure.
    QTest::addColumn<QPoint>("first");
    QTest::addColumn<QPoint>("last");
    QTest::addColumn<QString>("error");

    QTest::newRow("wider, both sides cut")
        << QSize(8, 2) << QSize(4, 2) << QSize(8, 2) << QPoint(2, 0) << QPoint(5, 1) << "";
    QTest::newRow("odd overflow, the extra pixel from the right")
        << QSize(7, 2) << QSize(4, 2) << QSize(7, 2) << QPoint(1, 0) << QPoint(4, 1) << "";
    QTest::newRow("taller, top and bottom cut")
        << QSize(2, 8) << QSize(2, 4) << QSize(2, 8) << QPoint(0, 2) << QPoint(1, 5) << "";
    QTest::newRow("enlarged, then cut")
        << QSize(2, 1) << QSize(4, 4) << QSize(8, 4) << QPoint(0, 0) << QPoint(1, 0) << "";
    QTest::newRow("the box's shape: nothing cut")
        << QSize(8, 4) << QSize(4, 2) << QSize(4, 2) << QPoint(1, 1) << QPoint(7, 3) << "";
    QTest::newRow("a covering picture beyond the pixel limit")
        << QSize(40000, 1) << QSize(4000, 4000) << QSize(160000000, 4000) << QPoint() << QPoint()
        << "The picture's 160000000 x 4000 pixels exceed the limit of 128 MB (33554432 pixels)";
}

void PicturePreparationTest::fillsAndCrops()
{
    QFETCH(QSize, picture);
    QFETCH(QSize, box);
    QFETCH(QSize, covering);
    QFETCH(QPoint, first);
    QFETCH(QPoint, last);
    QFETCH(QString, error);

    QCOMPARE(coveringSize(picture, box), covering);
    QImage places(picture, QImage::Format_ARGB32);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            places.setPixel(x, y, qRgb(x % 256, y % 256, 0));
    Preparation preparation = stretchedTo(box, Resampling::Nearest);
    preparation.scaling = Scaling::Fill;
    QCOMPARE(preparedSize(picture, preparation), box);
    QString failure;
    const QImage result = prepare(places, preparation, &failure);
    QCOMPARE(failure, error);
    if (!error.isEmpty())
        return;
    QCOMPARE(result.size(), box);
    QCOMPARE(result.pixel(0, 0), qRgb(first.x(), first.y(), 0));
    QCOMPARE(result.pixel(box.width() - 1, box.height() - 1), qRgb(last.x(), last.y(), 0));
}

void PicturePreparationTest::resamples_data()
{
    QTest::addColumn<QImage>("picture");
    QTest::addColumn<QSize>("box");
    QTest::addColumn<Resampling>("resampling");
    QTest::addColumn<bool>("onlyBlackAndWhite");

    QTest::newRow("enlargeNearestStaysSharp")
        << checkerboard(2) << QSize(8, 8) << Resampling::Nearest << true;
    QTest::newRow("enlargeSmoothBlends")
        << checkerboard(2) << QSize(8, 8) << Resampling::Smooth << false;
    QTest::newRow("shrinkNearestPicksPixels")
        << checkerboard(8) << QSize(4, 4) << Resampling::Nearest << true;
    QTest::newRow("shrinkSmoothAverages")
        << checkerboard(8) << QSize(4, 4) << Resampling::Smooth << false;
}

void PicturePreparationTest::resamples()
{
    QFETCH(QImage, picture);
    QFETCH(QSize, box);
    QFETCH(Resampling, resampling);
    QFETCH(bool, onlyBlackAndWhite);

    const QImage result = prepare(picture, stretchedTo(box, resampling));
    int greys = 0;
    for (int y = 0; y < box.height(); ++y) {
        for (int x = 0; x < box.width(); ++x) {
            const QRgb colour = result.pixel(x, y) & 0xFFFFFFu;
            greys += colour != 0 && colour != 0xFFFFFFu;
        }
    }
    QCOMPARE(greys == 0, onlyBlackAndWhite);
    if (resampling == Resampling::Smooth && box.width() < picture.width()) {
        // Area-averaging: every 2 x 2 block of black and white becomes mid-grey, 127.5 rounded.
        QCOMPARE(result.pixel(1, 1), qRgb(128, 128, 128));
    }
}

void PicturePreparationTest::smoothScalingKeepsTheMean_data()
{
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<QSize>("box");

    QTest::newRow("shrink by 4") << QSize(256, 128) << QSize(64, 32);
    QTest::newRow("shrink by 2.56 and 1.66") << QSize(256, 128) << QSize(100, 77);
    QTest::newRow("enlarge by 2") << QSize(64, 48) << QSize(128, 96);
}

void PicturePreparationTest::smoothScalingKeepsTheMean()
{
    QFETCH(QSize, picture);
    QFETCH(QSize, box);

    const QImage source = noise(picture);
    const QImage result = prepare(source, stretchedTo(box));
    QCOMPARE(result.size(), box);
    const std::array<double, 3> before = meanOf(source);
    const std::array<double, 3> after = meanOf(result);
    for (std::size_t c = 0; c < 3; ++c)
        QVERIFY2(std::abs(after[c] - before[c]) <= 0.1,
                 qPrintable(QStringLiteral("channel %1: %2 before, %3 after")
                                .arg(c)
                                .arg(before[c])
                                .arg(after[c])));
}

void PicturePreparationTest::averagesRoundToTheNearest()
{
    // Red 18, 19, 19, 19 average 18.75: 19, nearest to the display's level 1 (36), not level 0.
    QImage picture(4, 1, QImage::Format_RGB32);
    for (int x = 0; x < 4; ++x)
        picture.setPixel(x, 0, qRgb(x == 0 ? 18 : 19, 0, 0));
    Preparation preparation = stretchedTo({1, 1});
    preparation.reduction = ColourReduction::Nearest;
    QCOMPARE(prepare(picture, preparation).pixel(0, 0), qRgb(36, 0, 0));
}

void PicturePreparationTest::invertsBeforeScaling_data()
{
    QTest::addColumn<QImage>("picture");
    QTest::addColumn<QSize>("box");

    // Black and (63, 63, 127) average to (31.5, 31.5, 63.5), which rounds up to the next band;
    // inverted first they average to (223.5, 223.5, 191.5), which rounds up as well: the table
    // codes 255, where inverting the scaled picture would code 218.
    QImage edges(2, 1, QImage::Format_RGB32);
    edges.setPixel(0, 0, qRgb(0, 0, 0));
    edges.setPixel(1, 0, qRgb(63, 63, 127));
    QTest::newRow("a rounding tie at a band edge") << edges << QSize(1, 1);
    QTest::newRow("noise shrunk") << noise({64, 48}) << QSize(20, 15);
    QTest::newRow("noise enlarged") << noise({5, 4}) << QSize(13, 7);
}

void PicturePreparationTest::invertsBeforeScaling()
{
    QFETCH(QImage, picture);
    QFETCH(QSize, box);
    Preparation inverted = stretchedTo(box);
    inverted.invert = true;
    QImage invertedFirst = picture;
    invertedFirst.invertPixels();
    QCOMPARE(prepare(picture, inverted), prepare(invertedFirst, stretchedTo(box)));
    if (box == QSize(1, 1))
        QCOMPARE(prepare(picture, inverted).pixel(0, 0), qRgb(224, 224, 192));
}

void PicturePreparationTest::smoothScalingKeepsItsResults_data()
{
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<QSize>("box");
    // The start of the SHA-256 of the scaled noise's pixels, as the scaling gave them when it
    // still summed every row along x first: the order of the sums must not change a pixel.
    QTest::addColumn<QByteArray>("digest");

    QTest::newRow("shrunk both ways")
        << QSize(97, 61) << QSize(23, 17) << QByteArray("399e85cd55a4b17c");
    QTest::newRow("enlarged both ways")
        << QSize(13, 11) << QSize(41, 29) << QByteArray("b407d2d649e23e6c");
    QTest::newRow("wider and lower")
        << QSize(7, 203) << QSize(45, 9) << QByteArray("3d2eabbd470d30f1");
    QTest::newRow("narrower and taller")
        << QSize(203, 7) << QSize(9, 45) << QByteArray("d526964b7a078bc9");
    QTest::newRow("only lower") << QSize(31, 77) << QSize(31, 10) << QByteArray("17878208fa2b9fec");
    QTest::newRow("only wider") << QSize(5, 19) << QSize(33, 19) << QByteArray("eb6ebc9d8994493d");
    QTest::newRow("one column to a row")
        << QSize(1, 300) << QSize(70, 1) << QByteArray("ecb2b071072660a6");
}

void PicturePreparationTest::smoothScalingKeepsItsResults()
{
    QFETCH(QSize, picture);
    QFETCH(QSize, box);
    QFETCH(QByteArray, digest);
    const QImage result = prepare(noise(picture), stretchedTo(box));
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (int y = 0; y < result.height(); ++y)
        hash.addData(QByteArrayView(result.constScanLine(y), result.width() * 4));
    QCOMPARE(hash.result().toHex().left(16), digest);
}

void PicturePreparationTest::scalesAColumnOfTheLargestPictureWide()
{
    // A column of the most pixels a picture may have, black and white by turns: every pixel of
    // the row it becomes averages all of them, mid-grey. Summing each source row across the
    // target's width first would take hours; the test's time limit catches that.
    QImage column(1, int(pixelLimit()), QImage::Format_RGB32);
    for (int y = 0; y < column.height(); ++y)
        *reinterpret_cast<QRgb *>(column.scanLine(y)) = y % 2 ? 0xFFFFFFFFu : 0xFF000000u;
    const QImage row = prepare(column, stretchedTo({Preparation::largestSide, 1}));
    QCOMPARE(row.size(), QSize(Preparation::largestSide, 1));
    for (int x = 0; x < row.width(); ++x)
        QCOMPARE(row.pixel(x, 0), qRgb(128, 128, 128));
}

void PicturePreparationTest::leavesThePictureAsRead()
{
    QImage picture(3, 1, QImage::Format_ARGB32);
    picture.setPixel(0, 0, qRgba(10, 20, 30, 255));
    picture.setPixel(1, 0, qRgba(200, 100, 50, 0));
    picture.setPixel(2, 0, qRgba(1, 2, 3, 128));

    // The default drops the alpha and keeps the stored colours.
    const QImage plain = prepare(picture, {});
    QCOMPARE(plain.format(), QImage::Format_ARGB32);
    for (int x = 0; x < 3; ++x)
        QCOMPARE(plain.pixel(x, 0), picture.pixel(x, 0) | 0xFF000000u);
    // Inverting alone gives each colour's NOT.
    Preparation invert;
    invert.invert = true;
    const QImage inverted = prepare(picture, invert);
    for (int x = 0; x < 3; ++x)
        QCOMPARE(inverted.pixel(x, 0), ~picture.pixel(x, 0) | 0xFF000000u);
    // An opaque picture left as it is shares its pixels.
    QCOMPARE(prepare(plain, {}).constBits(), plain.constBits());
}

QTEST_GUILESS_MAIN(PicturePreparationTest)
#include "picturepreparation_test.moc"
