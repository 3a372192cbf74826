#include "picturepreparation.h"
#include "picturesurface.h"

#include <QImage>
#include <QRect>
#include <QTest>

#include <optional>

using namespace quenzil;
using Scaling = PicturePreparation::Scaling;
using Resampling = PicturePreparation::Resampling;

Q_DECLARE_METATYPE(quenzil::PicturePreparation::Scaling)
Q_DECLARE_METATYPE(quenzil::PicturePreparation::Resampling)
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

QRgb surfacePixel(const PictureSurface &surface, int x, int y)
{
    const ColourValue colour = surface.colourAt(x, y);
    return qRgb(int(colour & 0xFFu), int(colour >> 8 & 0xFFu), int(colour >> 16 & 0xFFu));
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
    void resamples_data();
    void resamples();
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

    PictureSurface surface;
    QVERIFY(surface.loadImage(filled(picture, red)));
    PicturePreparation preparation;
    preparation.scaling = scaling;
    preparation.box = box;
    preparation.pad = pad;
    preparation.background = background;
    QCOMPARE(preparedSize(picture, preparation), prepared);
    QString error;
    QVERIFY2(preparePicture(surface, preparation, &error), qPrintable(error));
    QCOMPARE(QSize(int(surface.width()), int(surface.height())), prepared);

    const QRgb padding = background.value_or(qRgb(0, 0, 0));
    for (int y = 0; y < prepared.height(); ++y) {
        for (int x = 0; x < prepared.width(); ++x) {
            const QRgb expected = area.contains(x, y) ? red : padding;
            if (surfacePixel(surface, x, y) != (expected | 0xFF000000u))
                QFAIL(qPrintable(QStringLiteral("pixel %1, %2 is %3")
                                     .arg(x)
                                     .arg(y)
                                     .arg(surfacePixel(surface, x, y), 8, 16)));
        }
    }
}

void PicturePreparationTest::blendsOverTheBackground_data()
{
    QTest::addColumn<int>("alpha");
    QTest::addColumn<std::optional<QRgb>>("background");
    QTest::addColumn<QRgb>("expected");

    const std::optional<QRgb> background = qRgb(16, 32, 48);
    QTest::newRow("transparentShowsTheBackground") << 0 << background << qRgb(16, 32, 48);
    // (200 * 128 + 16 * 127) / 255 = 108.4 and so on.
    QTest::newRow("halfTransparentMixes") << 128 << background << qRgb(108, 66, 49);
    QTest::newRow("opaqueKeepsItsColour") << 255 << background << qRgb(200, 100, 50);
    QTest::newRow("withoutBackgroundTheStoredColour")
        << 0 << std::optional<QRgb>() << qRgb(200, 100, 50);
}

void PicturePreparationTest::blendsOverTheBackground()
{
    QFETCH(int, alpha);
    QFETCH(std::optional<QRgb>, background);
    QFETCH(QRgb, expected);

    PictureSurface surface;
    surface.setKeepsTransparency(true);
    QVERIFY(surface.loadImage(filled({3, 2}, qRgba(200, 100, 50, alpha), QImage::Format_ARGB32)));
    PicturePreparation preparation;
    preparation.background = background;
    // Scaling takes the blended colours: a flat picture stays flat.
    preparation.scaling = Scaling::Stretch;
    preparation.box = QSize(5, 5);
    QVERIFY(preparePicture(surface, preparation));
    QCOMPARE(surface.width(), 5.0);
    const QRgb pixel = surfacePixel(surface, 4, 4);
    // Qt blends premultiplied: allow one step off the exact mix.
    QVERIFY2(qAbs(qRed(pixel) - qRed(expected)) <= 1 &&
                 qAbs(qGreen(pixel) - qGreen(expected)) <= 1 &&
                 qAbs(qBlue(pixel) - qBlue(expected)) <= 1,
             qPrintable(QString::number(pixel, 16)));
    if (alpha == 0 || alpha == 255)
        QCOMPARE(pixel, expected);
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

    PictureSurface surface;
    QVERIFY(surface.loadImage(picture));
    PicturePreparation preparation;
    preparation.scaling = Scaling::Stretch;
    preparation.box = box;
    preparation.resampling = resampling;
    QVERIFY(preparePicture(surface, preparation));
    int greys = 0;
    for (int y = 0; y < box.height(); ++y) {
        for (int x = 0; x < box.width(); ++x) {
            const ColourValue colour = surface.colourAt(x, y);
            greys += colour != 0 && colour != 0xFFFFFFu;
        }
    }
    QCOMPARE(greys == 0, onlyBlackAndWhite);
    if (resampling == Resampling::Smooth && box.width() < picture.width()) {
        // Area-averaging: every 2 x 2 block of black and white becomes mid-grey.
        const ColourValue colour = surface.colourAt(1, 1);
        QVERIFY2(qAbs(int(colour & 0xFFu) - 128) <= 1, qPrintable(QString::number(colour, 16)));
    }
}

QTEST_GUILESS_MAIN(PicturePreparationTest)
#include "picturepreparation_test.moc"
