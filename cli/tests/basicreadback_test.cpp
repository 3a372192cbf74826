// The read loops of the README's "Using the table in BASIC", run in a real BASIC (bwbasic) after
// tables quenzil-table made: they must print every pixel's code in order.
#include "bmpwriter.h"
#include "processrun.h"
#include "tablereader.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace quenzil::testsupport;

namespace {

const QString program = QStringLiteral(QUENZIL_TABLE_PATH);

// Runs that go on across row ends, a run of one and one longer than 255 pixels.
TestPicture runsPicture()
{
    TestPicture picture{200, 3, {}};
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            const bool lastRow = y == 2;
            picture.pixels.push_back(lastRow && x > 190    ? 0x0000FF
                                     : lastRow && x == 190 ? 0xFFFFFF
                                     : y == 1 && x >= 100  ? 0x40C020
                                                           : 0x000000);
        }
    }
    return picture;
}

// A small picture in which every pixel differs from its neighbours.
TestPicture busyPicture()
{
    TestPicture picture{7, 3, {}};
    for (int i = 0; i < picture.width * picture.height; ++i)
        picture.pixels.push_back(quenzil::ColourValue(i * 0x2F4B19u) & 0xFFFFFFu);
    return picture;
}

// The three loops, in the order the README shows them.
QStringList readmeLoops()
{
    QFile readme(QStringLiteral(QUENZIL_README_PATH));
    if (!readme.open(QIODevice::ReadOnly))
        return {};
    const QString text = QString::fromUtf8(readme.readAll());
    const QString section = text.section(QStringLiteral("## Using the table in BASIC"), 1, 1)
                                .section(QRegularExpression(QStringLiteral("\n## ")), 0, 0);
    QStringList loops;
    const QRegularExpression block(QStringLiteral("```basic\n(.*?)```"),
                                   QRegularExpression::DotMatchesEverythingOption);
    for (const QRegularExpressionMatch &match : block.globalMatch(section))
        loops.append(match.captured(1));
    return loops;
}

} // namespace

class BasicReadBackTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void loopsPrintEveryCode_data();
    void loopsPrintEveryCode();

private:
    QTemporaryDir m_folder;
    QStringList m_loops;
};

void BasicReadBackTest::initTestCase()
{
    QVERIFY(m_folder.isValid());
    m_loops = readmeLoops();
    QCOMPARE(m_loops.size(), 3);
    for (const auto &[name, picture] :
         {std::pair{"runs.bmp", runsPicture()}, std::pair{"busy.bmp", busyPicture()}}) {
        QFile file(m_folder.filePath(QString::fromLatin1(name)));
        QVERIFY(file.open(QIODevice::WriteOnly));
        const std::string bytes = writeBmp(encodeBmp(picture, BmpLayout::Rgb24));
        QCOMPARE(file.write(bytes.data(), qint64(bytes.size())), qint64(bytes.size()));
    }
}

void BasicReadBackTest::loopsPrintEveryCode_data()
{
    QTest::addColumn<QString>("picture");
    QTest::addColumn<QStringList>("options");

    const QStringList shapes[] = {
        {},
        {"--size-line"},
        {"--per-line", "5"},
        {"--row-lines", "--per-line", "36"}, // the longest hexadecimal line bwbasic reads
        {"--size-line", "--row-lines", "--per-line", "1"},
        {"--invert"},
        {"--rle"},
        {"--rle", "--size-line"},
        {"--rle", "--per-line", "2"},
        {"--rle", "--row-lines", "--per-line", "6", "--size-line"},
        {"--rle", "--invert"},
    };
    for (const char *radix : {"hex", "dec"}) {
        for (const char *picture : {"runs.bmp", "busy.bmp"}) {
            for (const QStringList &shape : shapes) {
                const QString name = QStringLiteral("%1 %2 %3")
                                         .arg(QLatin1String(radix), QLatin1String(picture),
                                              shape.join(QLatin1Char(' ')));
                QTest::newRow(qPrintable(name))
                    << QString::fromLatin1(picture)
                    << (QStringList{"--radix", QString::fromLatin1(radix)} + shape);
            }
        }
    }
}

void BasicReadBackTest::loopsPrintEveryCode()
{
    QFETCH(QString, picture);
    QFETCH(QStringList, options);
    const bool sizeLine = options.contains("--size-line");
    const bool runLength = options.contains("--rle");

    // The codes every pixel must give, from the plain binary table.
    const QStringList invert =
        options.contains("--invert") ? QStringList{"--invert"} : QStringList{};
    const ProcessRun plain =
        runProcess(program, invert + QStringList{picture}, {.folder = m_folder.path()});
    QCOMPARE(plain.exitCode, 0);
    const ReadTable expected = readTable(plain.out.toStdString(), false, false);
    QCOMPARE(expected.error, std::string());

    const ProcessRun shaped =
        runProcess(program, options + QStringList{picture}, {.folder = m_folder.path()});
    QCOMPARE(shaped.exitCode, 0);

    // Without a size line the program knows the size; with one and runs, READ W, H comes first.
    const TestPicture size = picture == "runs.bmp" ? runsPicture() : busyPicture();
    QByteArray source;
    if (!sizeLine)
        source +=
            QStringLiteral("W = %1\r\nH = %2\r\n").arg(size.width).arg(size.height).toLatin1();
    source += shaped.out + "\r\n";
    if (runLength && sizeLine)
        source += "READ W, H\r\n";
    source += m_loops[runLength ? 2 : sizeLine ? 1 : 0].toLatin1().replace("\n", "\r\n");
    source += "SYSTEM\r\n";
    QFile file(m_folder.filePath("read.bas"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(source), source.size());
    file.close();

    const ProcessRun basic =
        runProcess(QStringLiteral("bwbasic"), {"read.bas"}, {.folder = m_folder.path()});
    QVERIFY2(basic.exitCode == 0, "bwbasic did not finish (is the package bwbasic installed?)");
    // bwbasic prints a banner, then each code on a line of its own.
    std::vector<std::uint8_t> printed;
    static const QRegularExpression number(QStringLiteral("^ ?(\\d+)$"));
    for (const QByteArray &line : basic.out.split('\n')) {
        const QRegularExpressionMatch match = number.match(QString::fromLatin1(line.trimmed()));
        if (match.hasMatch())
            printed.push_back(std::uint8_t(match.captured(1).toUInt()));
    }
    QCOMPARE(printed.size(), expected.codes.size());
    QVERIFY(printed == expected.codes);
}

QTEST_GUILESS_MAIN(BasicReadBackTest)
#include "basicreadback_test.moc"
