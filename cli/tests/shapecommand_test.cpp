// quenzil-table's table shapes, several pictures, standard input and --stats, through the built
// program.
#include "bmpwriter.h"
#include "processrun.h"

#include <QDir>
#include <QFile>
#include <QImage>
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

QByteArray golden(const QString &name)
{
    QFile file(QStringLiteral(QUENZIL_GOLDEN_DIR "/") + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(no golden file)");
}

using Run = ProcessRun;

} // namespace

class ShapeCommandTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void shapes_data();
    void shapes();
    void onePictureFailingWritesNothing_data();
    void onePictureFailingWritesNothing();
    void standardInputEqualsTheFile();
    void aLaterPictureFromAPipeIsReadOnce();

private:
    // Standard input comes through a pipe, so a picture read from it cannot be sought.
    Run run(const QStringList &arguments, const QByteArray &input = {})
    {
        return runProcess(program, arguments, {.folder = m_folder->path(), .input = input});
    }
    QStringList files() const;

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

QStringList ShapeCommandTest::files() const
{
    return QDir(m_folder->path()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

void ShapeCommandTest::shapes_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("out"); // a golden file's name
    QTest::addColumn<QByteArray>("err");

    QTest::newRow("label, hex, size line, row lines")
        << QStringList{"--label",    "Sprite_1", "--radix",     "hex",    "--size-line",
                       "--per-line", "4",        "--row-lines", "pic.bmp"}
        << "hex-size-line-row-lines.txt" << QByteArray();
    QTest::newRow("runs of one take more room, with stats")
        << QStringList{"--rle", "--radix", "dec", "--per-line", "6", "--stats", "pic.bmp"}
        << "rle-dec-per-line-6.txt"
        << QByteArray("quenzil-table: note: the --rle table of 'pic.bmp' has 103 characters, "
                      "more than the 63 of the table without --rle\n"
                      "Picture: 3 x 3, 9 pixels, 9 pairs, 103 characters, 3 Data lines\n");
    QTest::newRow("lines longer than many BASICs read")
        << QStringList{"--per-line", "20", "pic.bmp"} << "per-line-20.txt"
        << QByteArray("quenzil-table: note: a Data line may hold up to 262 characters; many "
                      "BASICs read at most 255 (--max-line 255 keeps lines shorter)\n");
    // Labels from the names: the same name in another folder, a name starting with a digit and
    // one that differs only in case (BASIC does not tell them apart).
    QTest::newRow("several pictures with clashing names")
        << QStringList{"--stats", "pic.bmp", "sub/pic.bmp", "2 shot.bmp", "PIC.bmp"}
        << "several-labels.txt"
        << QByteArray("pic: 3 x 3, 9 pixels, 9 data bytes, 129 characters, 2 Data lines\n"
                      "pic_2: 3 x 3, 9 pixels, 9 data bytes, 131 characters, 2 Data lines\n"
                      "P2_shot: 3 x 3, 9 pixels, 9 data bytes, 133 characters, 2 Data lines\n"
                      "PIC_3: 3 x 3, 9 pixels, 9 data bytes, 131 characters, 2 Data lines\n");
}

void ShapeCommandTest::shapes()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, out);
    QFETCH(QByteArray, err);
    const Run result = run(arguments);
    QCOMPARE(result.err, err);
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.out, golden(out));
}

void ShapeCommandTest::onePictureFailingWritesNothing_data()
{
    QTest::addColumn<QStringList>("output");
    QTest::newRow("standard output") << QStringList{};
    QTest::newRow("-o") << QStringList{"-o", "out.txt"};
}

void ShapeCommandTest::onePictureFailingWritesNothing()
{
    QFETCH(QStringList, output);
    const QStringList before = files();
    const Run result = run(output + QStringList{"pic.bmp", "missing.bmp", "PIC.bmp", "notes.txt"});
    QCOMPARE(result.exitCode, 1);
    QCOMPARE(result.out, QByteArray());
    QCOMPARE(result.err,
             QByteArray("quenzil-table: cannot load 'missing.bmp': No such file or directory\n"
                        "quenzil-table: cannot load 'notes.txt': Unsupported image format\n"
                        "quenzil-table: 2 of 4 pictures failed; nothing was written\n"));
    QCOMPARE(files(), before);
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
        QCOMPARE(fromInput.err, QByteArray(fromFile.err).replace("'pic.bmp'", "'-'"));
        QCOMPARE(fromInput.out, fromFile.out);
    }
    // Among several pictures standard input is labelled Picture.
    const Run several = run({"pic.bmp", "-"}, bytes);
    QCOMPARE(several.exitCode, 0);
    QCOMPARE(several.out, golden("plain-then-stdin.txt"));
    // Nothing on standard input is not a picture.
    const Run empty = run({"-"});
    QCOMPARE(empty.exitCode, 1);
    QVERIFY(empty.err.startsWith("quenzil-table: cannot load '-': "));
}

void ShapeCommandTest::aLaterPictureFromAPipeIsReadOnce()
{
#ifndef Q_OS_UNIX
    QSKIP("uses a named pipe");
#else
    // A first picture of more than 16 million pixels (small as a PNG of one colour), then one
    // that can be read only once.
    QImage big(4097, 4096, QImage::Format_Indexed8);
    big.setColorTable({qRgb(0x12, 0x34, 0x56)});
    big.fill(0);
    QVERIFY(big.save(m_folder->filePath("big.png")));
    QVERIFY(QFile::copy(m_folder->filePath("pic.bmp"), m_folder->filePath("s.bmp")));
    const Run fromFiles = run({"--rle", "big.png", "s.bmp"});
    QCOMPARE(fromFiles.exitCode, 0);

    const Run throughPipe = runScript("mkfifo s && { cat s.bmp >s & } && \"$0\" --rle big.png s",
                                      program, {.folder = m_folder->path()});
    QCOMPARE(throughPipe.err, QByteArray(fromFiles.err).replace("'s.bmp'", "'s'"));
    QCOMPARE(throughPipe.exitCode, 0);
    QVERIFY(throughPipe.out == fromFiles.out);
#endif
}

QTEST_GUILESS_MAIN(ShapeCommandTest)
#include "shapecommand_test.moc"
