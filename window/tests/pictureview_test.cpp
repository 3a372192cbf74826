#include "bmpwriter.h"
#include "picturesurface.h"
#include "pictureview.h"

#include <QTemporaryDir>
#include <QTest>

using namespace quenzil;

class PictureViewTest : public QObject
{
    Q_OBJECT

private slots:
    void fitted_data();
    void fitted();
    void drawsTheBuffer_data();
    void drawsTheBuffer();
};

void PictureViewTest::fitted_data()
{
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<QRect>("area");
    QTest::addColumn<QRect>("expected");

    QTest::newRow("a wide icon fills the width")
        << QSize(16, 2) << QRect(0, 0, 80, 70) << QRect(0, 30, 80, 10);
    QTest::newRow("a tall picture fills the height")
        << QSize(10, 40) << QRect(2, 2, 80, 80) << QRect(32, 2, 20, 80);
    QTest::newRow("a large picture shrinks")
        << QSize(1024, 1024) << QRect(0, 0, 81, 73) << QRect(4, 0, 73, 73);
    QTest::newRow("a thin line keeps one pixel")
        << QSize(1000, 1) << QRect(0, 0, 50, 50) << QRect(0, 24, 50, 1);
    QTest::newRow("no picture") << QSize(0, 0) << QRect(0, 0, 50, 50) << QRect();
}

void PictureViewTest::fitted()
{
    QFETCH(QSize, picture);
    QFETCH(QRect, area);
    QFETCH(QRect, expected);
    QCOMPARE(PictureView::fittedRect(picture, area), expected);
}

// The view draws the surface's buffer, so an inversion shows on every repaint.
void PictureViewTest::drawsTheBuffer_data()
{
    QTest::addColumn<bool>("inverted");
    QTest::newRow("as loaded") << false;
    QTest::newRow("inverted") << true;
}

void PictureViewTest::drawsTheBuffer()
{
    QFETCH(bool, inverted);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    // Red on the left half, blue on the right, enlarged ten times.
    const auto picture = testsupport::makePicture(2, 1, [](int x, int) {
        return x == 0 ? colourFromRgb(255, 0, 0) : colourFromRgb(0, 0, 255);
    });
    const QString path = dir.filePath("p.bmp");
    QVERIFY(testsupport::saveBmp(path.toStdU16String(), picture));
    Preparation preparation;
    preparation.invert = inverted;
    PictureSurface surface;
    QVERIFY(surface.load(path, preparation));

    PictureView view(surface);
    view.setFrameStyle(QFrame::NoFrame);
    view.resize(40, 40);
    const QImage shown = view.grab().toImage();
    const QRgb left = inverted ? qRgb(0, 255, 255) : qRgb(255, 0, 0);
    const QRgb right = inverted ? qRgb(255, 255, 0) : qRgb(0, 0, 255);
    // Pixels next to the boundary keep their own colour: enlarged pixels are not blended.
    for (int x : {0, 10, 19})
        QCOMPARE(QColor(shown.pixel(x, 20)), QColor(left));
    for (int x : {20, 30, 39})
        QCOMPARE(QColor(shown.pixel(x, 20)), QColor(right));
}

QTEST_MAIN(PictureViewTest)
#include "pictureview_test.moc"
