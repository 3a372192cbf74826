#include "bmpwriter.h"
#include "commandline.h"
#include "displaycolour.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <csignal>
#include <filesystem>
#include <fstream>

#ifdef Q_OS_UNIX
#include <signal.h>
#include <unistd.h>
#endif

using namespace quenzil;
using namespace quenzil::testsupport;

namespace {

const QString program = QStringLiteral(QUENZIL_TABLE_PATH);

// Nine colours whose codes are known by hand, band edges among them.
const TestPicture picture{3,
                          3,
                          {0x0000FF, 0x00FF00, 0xFF0000,   // red, green, blue
                           0xFFFFFF, 0x000000, 0x808080,   // white, black, grey 128
                           0x40201F, 0xBFDFE0, 0xC0807F}}; // r 31 g 32 b 64, r 224 g 223 b 191, ...

const QByteArray table = "Picture:\r\n"
                         "Data &B11100000 , &B00011100 , &B00000011 , &B11111111 , &B00000000 , "
                         "&B10010010 , &B00000101 , &B11111010\r\n"
                         "Data &B01110011";
const QByteArray invertedTable = "Picture:\r\n"
                                 "Data &B00011111 , &B11100011 , &B11111100 , &B00000000 , "
                                 "&B11111111 , &B01101101 , &B11111010 , &B00000101\r\n"
                                 "Data &B10001100";

// The table of the picture with each channel at its nearest display level.
const QByteArray nearestTable = "Picture:\r\n"
                                "Data &B11100000 , &B00011100 , &B00000011 , &B11111111 , "
                                "&B00000000 , &B10010010 , &B00100101 , &B11011010\r\n"
                                "Data &B01110010";
// Fitted into 3 x 5 and padded with green: a green row above and below.
const QByteArray paddedTable = "Picture:\r\n"
                               "Data &B00011100 , &B00011100 , &B00011100 , &B11100000 , "
                               "&B00011100 , &B00000011 , &B11111111 , &B00000000\r\n"
                               "Data &B10010010 , &B00000101 , &B11111010 , &B01110011 , "
                               "&B00011100 , &B00011100 , &B00011100";
// Inverted, then padded with black: the padding is not inverted.
const QByteArray invertedPaddedTable = "Picture:\r\n"
                                       "Data &B00000000 , &B00000000 , &B00000000 , &B00011111 , "
                                       "&B11100011 , &B11111100 , &B00000000 , &B11111111\r\n"
                                       "Data &B01101101 , &B11111010 , &B00000101 , &B10001100 , "
                                       "&B00000000 , &B00000000 , &B00000000";

// The codes of a table's entries, in order.
std::vector<std::uint8_t> codesOf(const QByteArray &table)
{
    std::vector<std::uint8_t> codes;
    for (qsizetype at = table.indexOf("&B"); at >= 0; at = table.indexOf("&B", at + 2))
        codes.push_back(std::uint8_t(table.mid(at + 2, 8).toUInt(nullptr, 2)));
    return codes;
}

QByteArray usage()
{
    return QByteArray::fromStdString(tableCommandUsage());
}

struct Run
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

} // namespace

class TableCommandTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void runs_data();
    void runs();
    void writesTheTableToAFileOnlyWhenComplete();
    void leavesNoFileBehindWhenLoadingFails();
    void writesAPreviewInDisplayColours();
    void prepares_data();
    void prepares();
    void previewShowsTheTableCodes_data();
    void previewShowsTheTableCodes();
    void failedWritesExitWithOne_data();
    void failedWritesExitWithOne();
    void aClosedPipeExitsWithOne();
    void refusesOneFileForTableAndPreview_data();
    void refusesOneFileForTableAndPreview();
    void keepsWhatAnExistingOutputIs_data();
    void keepsWhatAnExistingOutputIs();
    void refusesAnOutputItMayNotWrite();
    void namesThatAreNotUtf8();
    void aClosedStandardOutputIsReported();
    void aCutShortPictureThroughAPipeIsRefused();
    void aStoppingSignalLeavesNoTemporaryFile_data();
    void aStoppingSignalLeavesNoTemporaryFile();

private:
    Run run(const QStringList &arguments, const QString &standardOutputFile = {},
            const QString &runner = program);
    // Runs `script` in bash with the program as $0, for names and redirections QProcess cannot
    // give.
    Run runShell(const QString &script);
    QByteArray readFile(const QString &name) const;
    bool isWritingInFolder(qint64 processId, const QStringList &entriesBefore) const;
    void writeFile(const QString &name, const QByteArray &content);
    QStringList folderEntries() const;

    std::unique_ptr<QTemporaryDir> m_folder;
};

void TableCommandTest::init()
{
    m_folder = std::make_unique<QTemporaryDir>();
    QVERIFY(m_folder->isValid());
    const std::string bmp = writeBmp(encodeBmp(picture, BmpLayout::Rgb24));
    writeFile("pic.bmp", QByteArray(bmp.data(), qsizetype(bmp.size())));
    writeFile("-dash.bmp", QByteArray(bmp.data(), qsizetype(bmp.size())));
    writeFile("notes.txt", "Data &B00000000");
}

void TableCommandTest::cleanup()
{
    m_folder.reset();
}

Run TableCommandTest::run(const QStringList &arguments, const QString &standardOutputFile,
                          const QString &runner)
{
    QProcess process;
    process.setWorkingDirectory(m_folder->path());
    if (!standardOutputFile.isEmpty())
        process.setStandardOutputFile(standardOutputFile);
    process.start(runner, arguments);
    Run result;
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return result;
    result.exitCode = process.exitCode();
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

Run TableCommandTest::runShell(const QString &script)
{
    return run({"-c", script, program}, {}, "bash");
}

QByteArray TableCommandTest::readFile(const QString &name) const
{
    QFile file(m_folder->filePath(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

// Whether the program has an output open: a new file in the folder, or, on Linux, where QSaveFile's
// temporary file may have no name until it is committed, an open file in the folder other than
// the picture.
bool TableCommandTest::isWritingInFolder(qint64 processId, const QStringList &entriesBefore) const
{
    if (folderEntries() != entriesBefore)
        return true;
    const QDir descriptors(QStringLiteral("/proc/%1/fd").arg(processId));
    for (const QFileInfo &descriptor : descriptors.entryInfoList(QDir::AllEntries | QDir::System)) {
        const QString target = descriptor.symLinkTarget();
        if (target.startsWith(m_folder->path() + "/") && !target.endsWith("/big.bmp"))
            return true;
    }
    return false;
}

void TableCommandTest::writeFile(const QString &name, const QByteArray &content)
{
    QFile file(m_folder->filePath(name));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(content), content.size());
}

QStringList TableCommandTest::folderEntries() const
{
    return QDir(m_folder->path())
        .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

void TableCommandTest::runs_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("out");
    QTest::addColumn<QByteArray>("err");

    QTest::newRow("table") << QStringList{"pic.bmp"} << 0 << table << QByteArray();
    QTest::newRow("inverted") << QStringList{"--invert", "pic.bmp"} << 0 << invertedTable
                              << QByteArray();
    QTest::newRow("-- before a name with a dash")
        << QStringList{"--", "-dash.bmp"} << 0 << table << QByteArray();
    QTest::newRow("missing picture")
        << QStringList{"missing.bmp"} << 1 << QByteArray()
        << QByteArray("quenzil-table: cannot load 'missing.bmp': No such file or directory\n");
    QTest::newRow("not a picture")
        << QStringList{"--invert", "notes.txt"} << 1 << QByteArray()
        << QByteArray("quenzil-table: cannot load 'notes.txt': Unsupported image format\n");
    QTest::newRow("a folder") << QStringList{"."} << 1 << QByteArray()
                              << QByteArray("quenzil-table: cannot load '.': Is a directory\n");
    QTest::newRow("no picture") << QStringList{} << 2 << QByteArray()
                                << "quenzil-table: no PICTURE given\n" + usage();
    QTest::newRow("unknown option") << QStringList{"--frobnicate", "pic.bmp"} << 2 << QByteArray()
                                    << "quenzil-table: unknown option '--frobnicate'\n" + usage();
    QTest::newRow("help") << QStringList{"--help"} << 0 << usage() << QByteArray();
    QTest::newRow("version") << QStringList{"--version"} << 0 << QByteArray("quenzil-table 1.00\n")
                             << QByteArray();
}

void TableCommandTest::runs()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, out);
    QFETCH(QByteArray, err);

    const Run result = run(arguments);
    QCOMPARE(result.err, err);
    QCOMPARE(result.out, out);
    QCOMPARE(result.exitCode, exitCode);
}

void TableCommandTest::writesTheTableToAFileOnlyWhenComplete()
{
    const Run result = run({"-o", "table.txt", "pic.bmp"});
    QCOMPARE(result.exitCode, 0);
    QVERIFY(result.out.isEmpty());
    QVERIFY(result.err.isEmpty());
    QFile file(m_folder->filePath("table.txt"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), table);
    // The temporary file it was written to is gone.
    QCOMPARE(folderEntries(), (QStringList{"-dash.bmp", "notes.txt", "pic.bmp", "table.txt"}));
}

void TableCommandTest::leavesNoFileBehindWhenLoadingFails()
{
    writeFile("old.txt", "an earlier table");
    const QStringList before = folderEntries();

    Run result = run({"-o", "table.txt", "--preview", "p.png", "notes.txt"});
    QCOMPARE(result.exitCode, 1);
    QCOMPARE(folderEntries(), before);

    // An existing file is replaced only by a complete table.
    result = run({"-o", "old.txt", "missing.bmp"});
    QCOMPARE(result.exitCode, 1);
    QFile old(m_folder->filePath("old.txt"));
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.readAll(), QByteArray("an earlier table"));
}

void TableCommandTest::writesAPreviewInDisplayColours()
{
    const Run result = run({"--preview", "p.png", "pic.bmp"});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.out, table);
    const QImage preview(m_folder->filePath("p.png"));
    QCOMPARE(preview.size(), QSize(3, 3));
    // 3-bit v shows as round(v * 255 / 7), 2-bit v as round(v * 255 / 3).
    QCOMPARE(preview.pixel(0, 0), qRgb(255, 0, 0));     // 111 000 00
    QCOMPARE(preview.pixel(0, 1), qRgb(255, 255, 255)); // 111 111 11
    QCOMPARE(preview.pixel(1, 1), qRgb(0, 0, 0));       // 000 000 00
    QCOMPARE(preview.pixel(2, 1), qRgb(146, 146, 170)); // 100 100 10
    QCOMPARE(preview.pixel(0, 2), qRgb(0, 36, 85));     // 000 001 01
    QCOMPARE(preview.pixel(1, 2), qRgb(255, 219, 170)); // 111 110 10
    QCOMPARE(preview.pixel(2, 2), qRgb(109, 146, 255)); // 011 100 11

    // The preview shows what is coded, so --invert shows the inverted picture.
    QCOMPARE(run({"--invert", "--preview", "q.png", "-o", "t.txt", "pic.bmp"}).exitCode, 0);
    QCOMPARE(QImage(m_folder->filePath("q.png")).pixel(0, 0), qRgb(0, 255, 255)); // 000 111 11
}

void TableCommandTest::prepares_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("out");
    QTest::addColumn<QByteArray>("err");

    const QByteArray none;
    QTest::newRow("no dither is the plain table")
        << QStringList{"--dither", "none", "pic.bmp"} << 0 << table << none;
    QTest::newRow("resampling without scaling changes nothing")
        << QStringList{"--resample", "nearest", "pic.bmp"} << 0 << table << none;
    QTest::newRow("a background under an opaque picture changes nothing")
        << QStringList{"--background", "#123456", "pic.bmp"} << 0 << table << none;
    QTest::newRow("nearest levels")
        << QStringList{"--nearest", "pic.bmp"} << 0 << nearestTable << none;
    QTest::newRow("padded with the background")
        << QStringList{"--fit", "3x5", "--pad", "--background", "00FF00", "pic.bmp"} << 0
        << paddedTable << none;
    QTest::newRow("options in any order")
        << QStringList{"--background=00ff00", "--pad", "pic.bmp", "--fit", "3x5"} << 0
        << paddedTable << none;
    QTest::newRow("inverted before padding")
        << QStringList{"--pad", "--invert", "--fit", "3x5", "pic.bmp"} << 0 << invertedPaddedTable
        << none;
    QTest::newRow("transparency over the background")
        << QStringList{"--background", "FFFFFF", "alpha.png"} << 0
        << QByteArray("Picture:\r\nData &B11111111 , &B00000011") << none;
    QTest::newRow("transparency dropped without a background")
        << QStringList{"alpha.png"} << 0 << QByteArray("Picture:\r\nData &B11100000 , &B00000011")
        << none;
    QTest::newRow("usage error") << QStringList{"--pad", "pic.bmp"} << 2 << none
                                 << "quenzil-table: --pad needs --fit\n" + usage();
    QTest::newRow("prepared picture beyond the pixel limit")
        << QStringList{"--stretch", "8192x8192", "pic.bmp"} << 1 << none
        << QByteArray("quenzil-table: cannot prepare 'pic.bmp': The picture's 8192 x 8192 "
                      "pixels exceed the limit of 128 MB (33554432 pixels)\n");
}

void TableCommandTest::prepares()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, out);
    QFETCH(QByteArray, err);

    // Red, fully transparent, then opaque blue.
    QImage alpha(2, 1, QImage::Format_ARGB32);
    alpha.setPixel(0, 0, qRgba(255, 0, 0, 0));
    alpha.setPixel(1, 0, qRgba(0, 0, 255, 255));
    QVERIFY(alpha.save(m_folder->filePath("alpha.png")));

    const Run result = run(arguments);
    QCOMPARE(result.err, err);
    QCOMPARE(result.out, out);
    QCOMPARE(result.exitCode, exitCode);
}

void TableCommandTest::previewShowsTheTableCodes_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QSize>("size");

    QTest::newRow("plain") << QStringList{} << QSize(40, 30);
    QTest::newRow("nearest") << QStringList{"--nearest"} << QSize(40, 30);
    QTest::newRow("ordered") << QStringList{"--dither", "ordered"} << QSize(40, 30);
    QTest::newRow("diffuse, fitted")
        << QStringList{"--dither", "diffuse", "--fit", "20x20"} << QSize(20, 15);
    QTest::newRow("diffuse, stretched, nearest resampling")
        << QStringList{"--stretch", "7x3", "--resample", "nearest", "--dither", "diffuse"}
        << QSize(7, 3);
}

void TableCommandTest::previewShowsTheTableCodes()
{
    QFETCH(QStringList, options);
    QFETCH(QSize, size);

    TestPicture gradient{40, 30, {}};
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x)
            gradient.pixels.push_back(
                colourFromRgb(std::uint8_t(x * 6), std::uint8_t(y * 8), std::uint8_t((x + y) * 3)));
    const std::string bmp = writeBmp(encodeBmp(gradient, BmpLayout::Rgb24));
    writeFile("gradient.bmp", QByteArray(bmp.data(), qsizetype(bmp.size())));

    const Run result =
        run(options + QStringList{"--preview", "p.png", "-o", "t.txt", "gradient.bmp"});
    QCOMPARE(result.exitCode, 0);
    QFile tableFile(m_folder->filePath("t.txt"));
    QVERIFY(tableFile.open(QIODevice::ReadOnly));
    const std::vector<std::uint8_t> codes = codesOf(tableFile.readAll());
    const QImage preview(m_folder->filePath("p.png"));
    QCOMPARE(preview.size(), size);
    QCOMPARE(codes.size(), std::size_t(size.width() * size.height()));
    for (std::size_t i = 0; i < codes.size(); ++i) {
        const ColourValue shown = displayColour(codes[i]);
        const QRgb pixel = preview.pixel(int(i) % size.width(), int(i) / size.width());
        QCOMPARE(pixel, qRgb(int(shown & 0xFFu), int(shown >> 8 & 0xFFu), int(shown >> 16)));
    }
}

void TableCommandTest::failedWritesExitWithOne_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("standardOutput");
    QTest::addColumn<QByteArray>("err");

    QTest::newRow("standard output full")
        << QStringList{"pic.bmp"} << "/dev/full"
        << QByteArray("quenzil-table: cannot write the table: No space left on device\n");
    QTest::newRow("-o on a full device")
        << QStringList{"-o", "/dev/full", "pic.bmp"} << QString()
        << QByteArray("quenzil-table: cannot write '/dev/full': No space left on device\n");
    QTest::newRow("-o into a missing folder")
        << QStringList{"-o", "nowhere/t.txt", "pic.bmp"} << QString()
        << QByteArray("quenzil-table: cannot write 'nowhere/t.txt': No such file or directory\n");
    QTest::newRow("-o onto a folder")
        << QStringList{"-o", ".", "pic.bmp"} << QString()
        << QByteArray("quenzil-table: cannot write '.': Is a directory\n");
    QTest::newRow("preview on a full device")
        << QStringList{"--preview", "/dev/full", "-o", "t.txt", "pic.bmp"} << QString()
        << QByteArray("quenzil-table: cannot write '/dev/full': ");
}

void TableCommandTest::failedWritesExitWithOne()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, standardOutput);
    QFETCH(QByteArray, err);

    const QStringList before = folderEntries();
    const Run result = run(arguments, standardOutput);
    QCOMPARE(result.exitCode, 1);
    QVERIFY2(result.err.startsWith(err), result.err.constData());
    QCOMPARE(folderEntries(), before);
}

void TableCommandTest::aClosedPipeExitsWithOne()
{
    // A table of several hundred KiB, more than a pipe holds, into a reader that stops at once.
    TestPicture large{200, 200, std::vector<ColourValue>(40000, 0x123456)};
    const std::string bmp = writeBmp(encodeBmp(large, BmpLayout::Rgb24));
    writeFile("large.bmp", QByteArray(bmp.data(), qsizetype(bmp.size())));

    QProcess shell;
    shell.setWorkingDirectory(m_folder->path());
    shell.start("bash",
                {"-c", "set -o pipefail; \"$0\" large.bmp | head -c 1 >/dev/null", program});
    QVERIFY(shell.waitForFinished(60000));
    QCOMPARE(shell.exitCode(), 1);
    QVERIFY(shell.readAllStandardError().startsWith("quenzil-table: cannot write the table: "));
}

void TableCommandTest::refusesOneFileForTableAndPreview_data()
{
    QTest::addColumn<QString>("previewName");

    QTest::newRow("through ./") << "./x.png";
    QTest::newRow("through a folder and ..") << "sub/../x.png";
    QTest::newRow("a symbolic link") << "link.png";
    QTest::newRow("a hard link") << "hard.png";
}

void TableCommandTest::refusesOneFileForTableAndPreview()
{
    QFETCH(QString, previewName);
    writeFile("x.png", "old");
    QVERIFY(QDir(m_folder->path()).mkdir("sub"));
    QVERIFY(QFile::link("x.png", m_folder->filePath("link.png")));
    std::filesystem::create_hard_link(m_folder->filePath("x.png").toStdString(),
                                      m_folder->filePath("hard.png").toStdString());
    const QStringList before = folderEntries();

    const Run result = run({"-o", "x.png", "--preview", previewName, "pic.bmp"});
    QCOMPARE(result.exitCode, 2);
    QVERIFY(result.err.startsWith("quenzil-table: the table and the preview cannot both go to"));
    QCOMPARE(folderEntries(), before);
    QCOMPARE(readFile("x.png"), QByteArray("old"));
}

void TableCommandTest::keepsWhatAnExistingOutputIs_data()
{
    QTest::addColumn<int>("permissions"); // of an existing out.txt; 0: none exists
    QTest::addColumn<bool>("throughALink");

    QTest::newRow("0600 stays 0600") << 0600 << false;
    QTest::newRow("0755 keeps its execute bits") << 0755 << false;
    QTest::newRow("a link's target is written") << 0644 << true;
    QTest::newRow("a dangling link creates its target") << 0 << true;
}

void TableCommandTest::keepsWhatAnExistingOutputIs()
{
    QFETCH(int, permissions);
    QFETCH(bool, throughALink);
    namespace fs = std::filesystem;
    const fs::path out = m_folder->filePath("out.txt").toStdString();
    if (permissions != 0) {
        writeFile("out.txt", "old");
        fs::permissions(out, fs::perms(permissions));
    }
    if (throughALink)
        QVERIFY(QFile::link("out.txt", m_folder->filePath("link.txt")));

    QCOMPARE(run({"-o", throughALink ? "link.txt" : "out.txt", "pic.bmp"}).exitCode, 0);
    QCOMPARE(readFile("out.txt"), table);
    if (permissions != 0)
        QCOMPARE(int(fs::status(out).permissions()), permissions);
    if (throughALink)
        QCOMPARE(QFileInfo(m_folder->filePath("link.txt")).symLinkTarget(),
                 m_folder->filePath("out.txt"));
}

void TableCommandTest::refusesAnOutputItMayNotWrite()
{
#ifdef Q_OS_UNIX
    if (::geteuid() == 0)
        QSKIP("root may write any file");
#endif
    writeFile("locked.txt", "old");
    QVERIFY(QFile::setPermissions(m_folder->filePath("locked.txt"), QFileDevice::ReadOwner));
    const Run result = run({"-o", "locked.txt", "pic.bmp"});
    QCOMPARE(result.exitCode, 1);
    QVERIFY2(result.err.startsWith("quenzil-table: cannot write 'locked.txt': "), result.err);
    QCOMPARE(readFile("locked.txt"), QByteArray("old"));
}

void TableCommandTest::namesThatAreNotUtf8()
{
    const std::string name = QFile::encodeName(m_folder->path()).toStdString() + "/bad\xff.bmp";
    std::ofstream(name, std::ios::binary) << writeBmp(encodeBmp(picture, BmpLayout::Rgb24));
    const Run found = runShell("\"$0\" $'bad\\xff.bmp'");
    std::filesystem::remove(name); // QTemporaryDir cannot
    QCOMPARE(found.err, QByteArray());
    QCOMPARE(found.out, table);

    const Run missing = runShell("\"$0\" $'missing\\xff.bmp'");
    QCOMPARE(missing.exitCode, 1);
    QCOMPARE(
        missing.err,
        QByteArray("quenzil-table: cannot load 'missing\\xFF.bmp': No such file or directory\n"));
}

void TableCommandTest::aClosedStandardOutputIsReported()
{
    Run result = runShell("\"$0\" pic.bmp >&-");
    QCOMPARE(result.exitCode, 1);
    QCOMPARE(result.err,
             QByteArray("quenzil-table: cannot write the table: standard output is closed\n"));
    // Without the table on it, a closed standard output does no harm.
    result = runShell("\"$0\" -o t.txt pic.bmp >&-");
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(readFile("t.txt"), table);
}

void TableCommandTest::aCutShortPictureThroughAPipeIsRefused()
{
    TestPicture large{200, 200, std::vector<ColourValue>(40000, 0x123456)};
    const std::string bmp = writeBmp(encodeBmp(large, BmpLayout::Rgb24));

    QProcess process;
    process.start(program, {"/dev/stdin"});
    QVERIFY(process.waitForStarted());
    process.write(bmp.data(), 300);
    process.closeWriteChannel();
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitCode(), 1);
    QVERIFY(process.readAllStandardError().contains("cut short"));
}

void TableCommandTest::aStoppingSignalLeavesNoTemporaryFile_data()
{
    QTest::addColumn<int>("signal");

    QTest::newRow("SIGINT") << int(SIGINT);
    QTest::newRow("SIGTERM") << int(SIGTERM);
#ifdef Q_OS_UNIX
    QTest::newRow("SIGHUP") << int(SIGHUP);
    QTest::newRow("SIGQUIT") << int(SIGQUIT);
#endif
}

void TableCommandTest::aStoppingSignalLeavesNoTemporaryFile()
{
#ifndef Q_OS_UNIX
    QSKIP("the signal is sent with kill()");
#else
    QFETCH(int, signal);
    writeFile("t.txt", "an earlier table");
    writeFile("p.png", "an earlier preview");

    // A noisy picture, so the preview takes a while to compress; larger ones if a run ends
    // before the signal reaches it.
    for (const int side : {2048, 4096}) {
        std::vector<ColourValue> pixels(std::size_t(side) * std::size_t(side));
        std::uint32_t state = 1;
        for (ColourValue &pixel : pixels)
            pixel = (state = state * 1664525u + 1013904223u) >> 8;
        const std::string bmp =
            writeBmp(encodeBmp(TestPicture{side, side, pixels}, BmpLayout::Rgb24));
        writeFile("big.bmp", QByteArray(bmp.data(), qsizetype(bmp.size())));
        const QStringList before = folderEntries();

        QProcess process;
        process.setWorkingDirectory(m_folder->path());
        process.start(program, {"--preview", "p.png", "-o", "t.txt", "big.bmp"});
        QVERIFY(process.waitForStarted());
        // A temporary file beside the outputs shows the writing has begun.
        bool finished = false;
        bool writing = false;
        while (!(finished = process.waitForFinished(1)) &&
               !(writing = isWritingInFolder(process.processId(), before))) {
        }
        if (writing) {
            ::kill(pid_t(process.processId()), signal);
            finished = process.waitForFinished(60000);
        }
        QVERIFY(finished);
        if (process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0)
            continue;
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 128 + signal);
        QCOMPARE(folderEntries(), before);
        QCOMPARE(readFile("t.txt"), QByteArray("an earlier table"));
        QCOMPARE(readFile("p.png"), QByteArray("an earlier preview"));
        return;
    }
    QFAIL("every run ended before the signal reached it");
#endif
}

QTEST_GUILESS_MAIN(TableCommandTest)
#include "tablecommand_test.moc"
