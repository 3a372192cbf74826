// The fuzz target's shape checks replayed over the seed corpus, for every combination of the
// shape switches and a few line lengths.
#include "imagepixels.h"
#include "pictureinvariants.h"
#include "picturereading.h"
#include "shapeinvariants.h"

#include <QDir>
#include <QFile>
#include <QTest>

using namespace quenzil;

class ShapeInvariantsTest : public QObject
{
    Q_OBJECT

private slots:
    void seedPicturesInEveryShape_data();
    void seedPicturesInEveryShape();
};

void ShapeInvariantsTest::seedPicturesInEveryShape_data()
{
    QTest::addColumn<QString>("file");
    const QDir corpus(QStringLiteral(QUENZIL_SOURCE_DIR "/fuzz/corpus"));
    for (const QString &name : corpus.entryList(QDir::Files, QDir::Name))
        QTest::newRow(qPrintable(name)) << corpus.filePath(name);
}

void ShapeInvariantsTest::seedPicturesInEveryShape()
{
    QFETCH(QString, file);
    QFile seed(file);
    QVERIFY(seed.open(QIODevice::ReadOnly));
    // The picture follows the seed's option bytes.
    QVERIFY(seed.seek(fuzz::optionBytes));
    const QImage picture = readPicture(&seed);
    QVERIFY(!picture.isNull());
    const ImagePixels pixels(picture);
    for (unsigned switches = 0; switches < 128; ++switches) {
        for (std::uint8_t perLine : {0, 6, 63}) {
            const std::uint8_t bytes[] = {std::uint8_t(switches), perLine, std::uint8_t(switches),
                                          std::uint8_t(switches * 7)};
            const std::string fault = fuzz::shapeFault(pixels, fuzz::shapeRequest(bytes));
            QVERIFY2(fault.empty(), qPrintable(QStringLiteral("shape %1 per line %2: %3")
                                                   .arg(switches)
                                                   .arg(perLine)
                                                   .arg(QString::fromStdString(fault))));
        }
    }
}

QTEST_GUILESS_MAIN(ShapeInvariantsTest)
#include "shapeinvariants_test.moc"
