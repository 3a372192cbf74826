// quenzil-table's dialects, transparent key and --decode, through the built program: a table read
// back is the preview of its picture, a table that cannot be read is one message and no file.
#include "tablereader.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

using namespace quenzil::testsupport;

namespace {

const QString program = QStringLiteral(QUENZIL_TABLE_PATH);

struct Run
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// 23 x 7 pixels of many colours; every fourth pixel partly or fully transparent.
QImage busyPicture()
{
    QImage picture(23, 7, QImage::Format_ARGB32);
    std::uint32_t state = 7;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            state = state * 1664525u + 1013904223u;
            const int alpha = (x + y) % 4 == 0 ? int(state >> 24) / 2 : 255;
            picture.setPixel(x, y, (state >> 8 & 0xFFFFFFu) | std::uint32_t(alpha) << 24);
        }
    }
    return picture;
}

// 8 x 4 pixels, all dark enough to code as 0 (the key below) but for column 7: columns 0 to 3
// of alpha 0, 127, 128 and 255, the rest opaque.
const int keyAlphas[8] = {0, 127, 128, 255, 255, 255, 255, 255};
QImage keyPicture()
{
    QImage picture(8, 4, QImage::Format_ARGB32);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 8; ++x)
            picture.setPixel(x, y,
                             qRgba(x == 7 ? 200 : 4 * x, 3 * y, 10, keyAlphas[std::size_t(x)]));
    }
    return picture;
}

} // namespace

class DecodeCommandTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void readsBackWhatPreviewShows_data();
    void readsBackWhatPreviewShows();
    void refusesABadTableWritingNothing_data();
    void refusesABadTableWritingNothing();
    void keyStandsForTransparentAlone_data();
    void keyStandsForTransparentAlone();
    void says_data();
    void says();

private:
    Run run(const QStringList &arguments, const QByteArray &input = {});
    QStringList files() const;

    QTemporaryDir m_folder;
};

void DecodeCommandTest::initTestCase()
{
    // Pictures of at most 262144 pixels (1 MiB of 32-bit pixels), so that a table past the
    // limit is small.
    qputenv("QT_IMAGEIO_MAXALLOC", "1");
    QVERIFY(m_folder.isValid());
    QVERIFY(busyPicture().save(m_folder.filePath("busy.png")));
    QVERIFY(keyPicture().save(m_folder.filePath("key.png")));
}

void DecodeCommandTest::init()
{
    // What one case writes is gone before the next.
    for (const char *name : {"t.txt", "p.png", "d.png", "out.png"})
        QFile::remove(m_folder.filePath(QString::fromLatin1(name)));
}

Run DecodeCommandTest::run(const QStringList &arguments, const QByteArray &input)
{
    QProcess process;
    process.setWorkingDirectory(m_folder.path());
    process.start(program, arguments);
    process.write(input);
    process.closeWriteChannel();
    Run result;
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return result;
    result.exitCode = process.exitCode();
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

QStringList DecodeCommandTest::files() const
{
    return QDir(m_folder.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

void DecodeCommandTest::readsBackWhatPreviewShows_data()
{
    QTest::addColumn<QStringList>("options");

    const QStringList shapes[] = {
        {},
        {"--size-line"},
        {"--per-line", "1", "--row-lines"},
        {"--rle"},
        {"--rle", "--size-line", "--row-lines", "--per-line", "6", "--label", "Sprite"},
        {"--max-line", "40", "--per-line", "64"},
        // The preparation's options change nothing when reading; the key's checkerboard shows.
        {"--key", "0", "--fit", "30x30", "--pad", "--dither", "diffuse", "--size-line"},
    };
    const QStringList dialects[] = {{"--dialect", "mmbasic"}, {"--dialect", "classic"}};
    for (const QStringList &dialect : dialects) {
        for (const char *radix : {"bin", "hex", "dec"}) {
            if (dialect.last() == "classic" && QLatin1String(radix) == "bin")
                continue;
            for (const QStringList &shape : shapes) {
                const QStringList options = dialect + QStringList{"--radix", radix} + shape;
                QTest::newRow(qPrintable(options.join(' '))) << options;
            }
        }
    }
}

void DecodeCommandTest::readsBackWhatPreviewShows()
{
    QFETCH(QStringList, options);
    const Run written = run(options + QStringList{"--preview", "p.png", "-o", "t.txt", "busy.png"});
    QCOMPARE(written.exitCode, 0);
    const QStringList width =
        options.contains("--size-line") ? QStringList{} : QStringList{"--width", "23"};
    const Run read = run(options + width + QStringList{"--decode", "t.txt", "-o", "d.png"});
    QCOMPARE(read.err, QByteArray());
    QCOMPARE(read.exitCode, 0);
    QCOMPARE(QImage(m_folder.filePath("d.png")), QImage(m_folder.filePath("p.png")));

    // Standard input, and standard output for the picture, give the same.
    QFile table(m_folder.filePath("t.txt"));
    QVERIFY(table.open(QIODevice::ReadOnly));
    const Run piped = run(options + width + QStringList{"--decode", "-"}, table.readAll());
    QCOMPARE(piped.exitCode, 0);
    QFile preview(m_folder.filePath("d.png"));
    QVERIFY(preview.open(QIODevice::ReadOnly));
    QVERIFY(piped.out == preview.readAll());
}

void DecodeCommandTest::refusesABadTableWritingNothing_data()
{
    QTest::addColumn<QByteArray>("table");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QByteArray>("message");

    const QStringList width2{"--width", "2"};
    QTest::newRow("a stray character")
        << QByteArray("Picture:\r\nData &B00000000 , &B1110000x") << width2
        << QByteArray("line 2, column 28: expected ' , ' or the end of the line, found 'x'");
    QTest::newRow("a code past 255") << QByteArray("Data 1 , 256") << width2
                                     << QByteArray("line 1, column 10: expected a code from 0 "
                                                   "to 255, found '256'");
    QTest::newRow("not whole rows") << QByteArray("Data 1 , 2 , 3\n") << width2
                                    << QByteArray("line 1, column 15: the table ends after 3 "
                                                  "pixels, not whole rows of 2");
    QTest::newRow("fewer pixels than the size line")
        << QByteArray("Data 2 , 2\r\nData 1 , 2 , 3") << QStringList{"--size-line"}
        << QByteArray("line 2, column 15: the table ends after 3 of the size line's 2 x 2 pixels");
    QTest::newRow("a run of none")
        << QByteArray("Data 0 , 3") << QStringList{"--rle", "--width", "1"}
        << QByteArray("line 1, column 6: expected a run length from 1 to 255, found '0'");
    QTest::newRow("binary in a classic table")
        << QByteArray("1000 DATA &B1") << width2
        << QByteArray("line 1, column 11: expected a number, found '&B1'");
    QTest::newRow("a classic line without its number")
        << QByteArray("1000 DATA 1,2\r\nDATA 3,4") << width2
        << QByteArray("line 2, column 1: expected a line number, found 'DATA'");
    QTest::newRow("a second table")
        << QByteArray("Picture:\r\nData 1\r\nOther:\r\nData 2") << QStringList{"--width", "1"}
        << QByteArray("line 3, column 1: expected 'Data ', found 'Other:'");
    QTest::newRow("no table") << QByteArray("\xff\xfe\r\n") << width2
                              << QByteArray("line 1, column 1: expected the first line of a "
                                            "table: 'LABEL:' or 'Data ' (MMBasic), or a line "
                                            "number, then 'REM LABEL' or 'DATA ' (GW-BASIC), "
                                            "found '\\xFF\\xFE'");
    QByteArray pairs = "Data 255 , 7";
    for (int pair = 1; pair < 1029; ++pair)
        pairs += "\nData 255 , 7";
    QTest::newRow("more pixels than a picture may have")
        << pairs << QStringList{"--rle", "--width", "1"}
        << QByteArray("line 1029, column 12: the table holds more than 262144 pixels, the most a "
                      "picture may have");
    QTest::newRow("an empty file") << QByteArray() << width2
                                   << QByteArray("line 1, column 1: expected a table, found no "
                                                 "text");
}

void DecodeCommandTest::refusesABadTableWritingNothing()
{
    QFETCH(QByteArray, table);
    QFETCH(QStringList, options);
    QFETCH(QByteArray, message);
    QFile file(m_folder.filePath("t.txt"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(table), table.size());
    file.close();
    const QStringList before = files();

    const Run result = run(options + QStringList{"--decode", "t.txt", "-o", "out.png"});
    QCOMPARE(result.err, "quenzil-table: cannot decode 't.txt': " + message + "\n");
    QCOMPARE(result.exitCode, 1);
    QCOMPARE(files(), before);
}

void DecodeCommandTest::keyStandsForTransparentAlone_data()
{
    QTest::addColumn<QStringList>("options");
    // Whether the table's pixel (x, y) is one of the picture's transparent ones.
    QTest::addColumn<std::function<bool(int, int)>>("transparent");

    const auto alphaAt = [](int x) { return keyAlphas[std::size_t(x)]; };
    const std::pair<QStringList, std::function<bool(int, int)>> sizes[] = {
        {{}, [=](int x, int) { return alphaAt(x) <= 127; }},
        // Twice the size, each pixel from the nearest one.
        {{"--fit", "16x8", "--resample", "nearest"},
         [=](int x, int) { return alphaAt(x / 2) <= 127; }},
        // Padding is transparent: two rows above and two below.
        {{"--fit", "8x8", "--pad"},
         [=](int x, int y) { return y < 2 || y >= 6 || alphaAt(x) <= 127; }},
    };
    const QStringList reductions[] = {
        {}, {"--nearest"}, {"--dither", "ordered"}, {"--dither", "diffuse"}};
    for (const auto &[size, transparent] : sizes) {
        for (const QStringList &reduction : reductions) {
            const QStringList options = size + reduction;
            QTest::newRow(qPrintable(options.join(' ') + " ")) << options << transparent;
        }
    }
}

void DecodeCommandTest::keyStandsForTransparentAlone()
{
    QFETCH(QStringList, options);
    QFETCH(std::function<bool(int, int)>, transparent);
    const Run result =
        run(options + QStringList{"--key", "0", "--radix", "hex", "--size-line", "key.png"});
    QCOMPARE(result.exitCode, 0);
    const ReadTable table = readTable(result.out.toStdString(), true, false);
    QCOMPARE(table.error, std::string());
    QCOMPARE(table.codes.size(), std::size_t(table.width * table.height));
    for (std::size_t i = 0; i < table.codes.size(); ++i) {
        const int x = int(i % table.width);
        const int y = int(i / table.width);
        QVERIFY2((table.codes[i] == 0) == transparent(x, y),
                 qPrintable(
                     QStringLiteral("pixel %1, %2 has code %3").arg(x).arg(y).arg(table.codes[i])));
    }
}

void DecodeCommandTest::says_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("err");

    const QByteArray tryHelp = "\nTry 'quenzil-table --help'.\n";
    QTest::newRow("a label that is a keyword")
        << QStringList{"--label", "Box", "busy.png"} << 0
        << QByteArray("quenzil-table: note: the label 'Box' is a keyword of MMBasic: its line "
                      "'Box:' may read as that command; choose another label\n");
    QTest::newRow("line numbers that run out")
        << QStringList{"--dialect",    "classic", "--radix", "dec",
                       "--line-start", "65520",   "busy.png"}
        << 1
        << QByteArray("quenzil-table: cannot write the table of 'busy.png': the table of 23 x 7 "
                      "pixels needs 21 numbered lines; from 65520 in steps of 10 the last would "
                      "be 65720, past 65529, the last line number of GW-BASIC\n");
    QTest::newRow("a width without --decode")
        << QStringList{"--width", "4", "busy.png"} << 2
        << "quenzil-table: option '--width' needs '--decode'" + tryHelp;
    QTest::newRow("no width to decode with")
        << QStringList{"--decode", "t.txt"} << 2
        << "quenzil-table: option '--decode' needs the picture's width: '--width N', or "
           "'--size-line' for a table that has one" +
               tryHelp;
    QTest::newRow("two tables")
        << QStringList{"--decode", "--width", "4", "a.txt", "b.txt"} << 2
        << "quenzil-table: option '--decode' reads one TABLE; 2 were given" + tryHelp;
    QTest::newRow("the decoded picture over its table")
        << QStringList{"--decode", "--size-line", "-o", "busy.png", "busy.png"} << 2
        << "quenzil-table: option '-o': 'busy.png' is the table 'busy.png'" + tryHelp;
}

void DecodeCommandTest::says()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, err);
    const Run result = run(arguments);
    QCOMPARE(result.err, err);
    QCOMPARE(result.exitCode, exitCode);
    if (exitCode != 0)
        QCOMPARE(result.out, QByteArray());
}

QTEST_GUILESS_MAIN(DecodeCommandTest)
#include "decodecommand_test.moc"
