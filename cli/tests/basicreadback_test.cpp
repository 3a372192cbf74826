// The read loops of the README's "Using the table in BASIC", run in a real BASIC (bwbasic) after
// tables quenzil-table made: they must print every pixel's code in order.
#include "bmpwriter.h"
#include "processrun.h"
#include "tablereader.h"

#include <QFile>
#include <QImage>
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

// A picture with transparent pixels, for the key: every third one.
QImage keyedPicture()
{
    QImage picture(9, 4, QImage::Format_ARGB32);
    for (int i = 0; i < 36; ++i)
        picture.setPixel(i % 9, i / 9,
                         (quenzil::ColourValue(i * 0x2F4B19u) & 0xFFFFFFu) |
                             (i % 3 == 0 ? 0u : 0xFF000000u));
    return picture;
}

// The five loops, in the order the README shows them: the default table, with a size line, with
// run-length pairs, skipping the key, and the classic dialect's.
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
    QCOMPARE(m_loops.size(), 5);
    QVERIFY(keyedPicture().save(m_folder.filePath("keyed.png")));
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
    // Classic tables: RESTORE of the first DATA line's number passes the program's own DATA.
    const QStringList classicShapes[] = {
        {"--dialect", "classic"},
        {"--dialect", "classic", "--per-line", "5", "--row-lines", "--line-step", "1"},
        {"--dialect", "classic", "--line-start", "20000", "--line-step", "3", "--label", "Data"},
    };
    for (const char *radix : {"hex", "dec"}) {
        const auto add = [&](const char *picture, const QStringList &shape) {
            const QString name = QStringLiteral("%1 %2 %3")
                                     .arg(QLatin1String(radix), QLatin1String(picture),
                                          shape.join(QLatin1Char(' ')));
            QTest::newRow(qPrintable(name))
                << QString::fromLatin1(picture)
                << (QStringList{"--radix", QString::fromLatin1(radix)} + shape);
        };
        for (const char *picture : {"runs.bmp", "busy.bmp"}) {
            for (const QStringList &shape : shapes)
                add(picture, shape);
            for (const QStringList &shape : classicShapes)
                add(picture, shape);
        }
        add("keyed.png", {"--key", "255"});
        add("keyed.png", {"--key", "0", "--per-line", "3"});
    }
}

void BasicReadBackTest::loopsPrintEveryCode()
{
    QFETCH(QString, picture);
    QFETCH(QStringList, options);
    const bool sizeLine = options.contains("--size-line");
    const bool runLength = options.contains("--rle");
    const qsizetype keyAt = options.indexOf("--key");
    const qsizetype lineStartAt = options.indexOf("--line-start");
    const bool classic = options.contains("classic");

    // The codes every pixel must give, from the plain binary table; the key's are skipped.
    QStringList plainOptions =
        options.contains("--invert") ? QStringList{"--invert"} : QStringList{};
    if (keyAt >= 0)
        plainOptions << "--key" << options[keyAt + 1];
    const ProcessRun plain =
        runProcess(program, plainOptions + QStringList{picture}, {.folder = m_folder.path()});
    QCOMPARE(plain.exitCode, 0);
    ReadTable expected = readTable(plain.out.toStdString(), false, false);
    QCOMPARE(expected.error, std::string());
    if (keyAt >= 0)
        std::erase(expected.codes, std::uint8_t(options[keyAt + 1].toUInt()));

    const ProcessRun shaped =
        runProcess(program, options + QStringList{picture}, {.folder = m_folder.path()});
    QCOMPARE(shaped.exitCode, 0);

    // Without a size line the program knows the size; with one and runs, READ W, H comes first.
    const QSize size = picture == "runs.bmp"   ? QSize(runsPicture().width, runsPicture().height)
                       : picture == "busy.bmp" ? QSize(busyPicture().width, busyPicture().height)
                                               : keyedPicture().size();
    QByteArray source;
    if (classic) {
        // Numbered lines, and DATA of the program's own before the table.
        source = QStringLiteral("1 W = %1\r\n2 H = %2\r\n5 DATA 99, 99, 99\r\n")
                     .arg(size.width())
                     .arg(size.height())
                     .toLatin1();
        source += QString(m_loops[4])
                      .replace("RESTORE 1000", QStringLiteral("RESTORE %1")
                                                   .arg(lineStartAt >= 0 ? options[lineStartAt + 1]
                                                                         : QStringLiteral("1000")))
                      .toLatin1()
                      .replace("\n", "\r\n");
        source += "80 SYSTEM\r\n" + shaped.out + "\r\n";
    } else {
        if (!sizeLine)
            source += QStringLiteral("W = %1\r\nH = %2\r\n")
                          .arg(size.width())
                          .arg(size.height())
                          .toLatin1();
        if (keyAt >= 0)
            source += "T = " + options[keyAt + 1].toLatin1() + "\r\n";
        source += shaped.out + "\r\n";
        if (runLength && sizeLine)
            source += "READ W, H\r\n";
        const int loop = keyAt >= 0 ? 3 : runLength ? 2 : sizeLine ? 1 : 0;
        source += m_loops[loop].toLatin1().replace("\n", "\r\n");
        source += "SYSTEM\r\n";
    }
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
