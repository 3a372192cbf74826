// quenzil-table's table shapes, several pictures, standard input and --stats, through the built
// program.
#include "bmpwriter.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace quenzil::testsupport;

namespace {

const QString program = QStringLiteral(QUENZIL_TABLE_PATH);

// Nine colours whose codes are known by hand: E0 1C 03 / FF 00 92 / 05 FA 73.
const TestPicture picture{
    3,
    3,
    {0x0000FF, 0x00FF00, 0xFF0000, 0xFFFFFF, 0x000000, 0x808080, 0x40201F, 0xBFDFE0, 0xC0807F}};

// The default table of the picture under a label.
QByteArray table(const QByteArray &label)
{
    return label + ":\r\n"
                   "Data &B11100000 , &B00011100 , &B00000011 , &B11111111 , &B00000000 , "
                   "&B10010010 , &B00000101 , &B11111010\r\n"
                   "Data &B01110011";
}

struct Run
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

} // namespace

class ShapeCommandTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void shapes_data();
    void shapes();
    void usageErrors_data();
    void usageErrors();
    void severalPicturesWithClashingNames();
    void onePictureFailingWritesNothing();
    void standardInputEqualsTheFile();

private:
    Run run(const QStringList &arguments, const QByteArray &input = {});

    std::unique_ptr<QTemporaryDir> m_folder;
};

void ShapeCommandTest::init()
{
    m_folder = std::make_unique<QTemporaryDir>();
    QVERIFY(m_folder->isValid());
    QVERIFY(QDir(m_folder->path()).mkdir("sub"));
    const std::string bmp = writeBmp(encodeBmp(picture, BmpLayout::Rgb24));
    for (const char *name : {"pic.bmp", "sub/pic.bmp", "2 shot.bmp", "PIC.bmp"}) {
        QFile file(m_folder->filePath(QString::fromLatin1(name)));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(bmp.data(), qint64(bmp.size())), qint64(bmp.size()));
    }
    QFile notes(m_folder->filePath("notes.txt"));
    QVERIFY(notes.open(QIODevice::WriteOnly));
    notes.write("Data &B00000000");
}

void ShapeCommandTest::cleanup()
{
    m_folder.reset();
}

Run ShapeCommandTest::run(const QStringList &arguments, const QByteArray &input)
{
    QProcess process;
    process.setWorkingDirectory(m_folder->path());
    process.start(program, arguments);
    // Written through a pipe, so the picture on standard input cannot be sought.
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

void ShapeCommandTest::shapes_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("out");
    QTest::addColumn<QByteArray>("err");

    QTest::newRow("label, hex, size line, row lines")
        << QStringList{"--label",    "Sprite_1", "--radix",     "hex",    "--size-line",
                       "--per-line", "4",        "--row-lines", "pic.bmp"}
        << QByteArray("Sprite_1:\r\nData &H3 , &H3\r\nData &HE0 , &H1C , &H03\r\n"
                      "Data &HFF , &H00 , &H92\r\nData &H05 , &HFA , &H73")
        << QByteArray();
    QTest::newRow("runs of one, with stats")
        << QStringList{"--rle", "--radix", "dec", "--per-line", "6", "--stats", "pic.bmp"}
        << QByteArray("Picture:\r\nData 1 , 224 , 1 , 28 , 1 , 3\r\n"
                      "Data 1 , 255 , 1 , 0 , 1 , 146\r\nData 1 , 5 , 1 , 250 , 1 , 115")
        << QByteArray("Picture: 3 x 3, 9 pixels, 9 pairs, 103 characters, 3 Data lines\n");
    QTest::newRow("lines longer than many BASICs read")
        << QStringList{"--per-line", "20", "pic.bmp"}
        << table("Picture").replace("0\r\nData", "0 ,")
        << QByteArray("quenzil-table: note: a Data line may hold up to 262 characters; many "
                      "BASICs read at most 255\n");
}

void ShapeCommandTest::shapes()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, out);
    QFETCH(QByteArray, err);
    const Run result = run(arguments);
    QCOMPARE(result.err, err);
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.out, out);
}

void ShapeCommandTest::usageErrors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("message");

    const QByteArray notALabel = "is not a BASIC label (a letter, then letters, digits or '_', at "
                                 "most 32)";
    QTest::newRow("label with a space")
        << QStringList{"--label", "a b", "pic.bmp"} << "the label 'a b' " + notALabel;
    QTest::newRow("per line 65") << QStringList{"--per-line", "65", "pic.bmp"}
                                 << QByteArray(
                                        "option '--per-line': '65' is not a number from 1 to 64");
    QTest::newRow("per line not a number")
        << QStringList{"--per-line", "8x", "pic.bmp"}
        << QByteArray("option '--per-line': '8x' is not a number from 1 to 64");
    QTest::newRow("odd per line with runs")
        << QStringList{"--rle", "--per-line", "7", "pic.bmp"}
        << QByteArray("run-length pairs need an even number of numbers per line, not 7");
    QTest::newRow("radix") << QStringList{"--radix", "oct", "pic.bmp"}
                           << QByteArray("option '--radix': 'oct' is not bin, hex or dec");
    QTest::newRow("radix without a value")
        << QStringList{"pic.bmp", "--radix"} << QByteArray("option '--radix' needs a value");
    QTest::newRow("label with two pictures")
        << QStringList{"--label", "A", "pic.bmp", "PIC.bmp"}
        << QByteArray("option '--label' names the table of one PICTURE; 2 were given");
    QTest::newRow("preview with two pictures")
        << QStringList{"--preview", "p.png", "pic.bmp", "PIC.bmp"}
        << QByteArray("option '--preview' shows one PICTURE; 2 were given");
    QTest::newRow("standard input twice")
        << QStringList{"-", "pic.bmp", "-"}
        << QByteArray("standard input ('-') can be read only once");
}

void ShapeCommandTest::usageErrors()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, message);
    const Run result = run(arguments);
    QCOMPARE(result.exitCode, 2);
    QCOMPARE(result.out, QByteArray());
    QCOMPARE(result.err.left(result.err.indexOf('\n')), "quenzil-table: " + message);
}

void ShapeCommandTest::severalPicturesWithClashingNames()
{
    // Labels from the names: the same name in another folder, a name starting with a digit and
    // one that differs only in case (BASIC does not tell them apart).
    const Run result = run({"--stats", "pic.bmp", "sub/pic.bmp", "2 shot.bmp", "PIC.bmp"});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.out, table("pic") + "\r\n" + table("pic_2") + "\r\n" + table("P2_shot") +
                             "\r\n" + table("PIC_3"));
    QCOMPARE(result.err, QByteArray("pic: 3 x 3, 9 pixels, 9 data bytes, 129 characters, 2 Data "
                                    "lines\n"
                                    "pic_2: 3 x 3, 9 pixels, 9 data bytes, 131 characters, 2 Data "
                                    "lines\n"
                                    "P2_shot: 3 x 3, 9 pixels, 9 data bytes, 133 characters, 2 "
                                    "Data lines\n"
                                    "PIC_3: 3 x 3, 9 pixels, 9 data bytes, 131 characters, 2 Data "
                                    "lines\n"));
}

void ShapeCommandTest::onePictureFailingWritesNothing()
{
    for (const QStringList &output : {QStringList{}, QStringList{"-o", "out.txt"}}) {
        const Run result =
            run(output + QStringList{"pic.bmp", "missing.bmp", "PIC.bmp", "notes.txt"});
        QCOMPARE(result.exitCode, 1);
        QCOMPARE(result.out, QByteArray());
        QCOMPARE(result.err,
                 QByteArray("quenzil-table: cannot load 'missing.bmp': No such file or directory\n"
                            "quenzil-table: cannot load 'notes.txt': Unsupported image format\n"));
        QCOMPARE(QDir(m_folder->path()).entryList(QDir::Files | QDir::Hidden, QDir::Name),
                 (QStringList{"2 shot.bmp", "PIC.bmp", "notes.txt", "pic.bmp"}));
    }
}

void ShapeCommandTest::standardInputEqualsTheFile()
{
    QFile file(m_folder->filePath("pic.bmp"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    for (const QStringList &shape : {QStringList{}, QStringList{"--rle", "--radix", "hex"}}) {
        const Run fromFile = run(shape + QStringList{"pic.bmp"});
        const Run fromInput = run(shape + QStringList{"-"}, bytes);
        QCOMPARE(fromInput.exitCode, 0);
        QCOMPARE(fromInput.err, QByteArray());
        QCOMPARE(fromInput.out, fromFile.out);
    }
    // Among several pictures standard input is labelled Picture.
    const Run several = run({"pic.bmp", "-"}, bytes);
    QCOMPARE(several.exitCode, 0);
    QCOMPARE(several.out, table("pic") + "\r\n" + table("Picture"));
    // Nothing on standard input is not a picture.
    const Run empty = run({"-"});
    QCOMPARE(empty.exitCode, 1);
    QVERIFY(empty.err.startsWith("quenzil-table: cannot load '-': "));
}

QTEST_GUILESS_MAIN(ShapeCommandTest)
#include "shapecommand_test.moc"
