// quenzil-table through the built program: its tables, its files and how it fails.
#include "bmpwriter.h"
#include "displaycolour.h"
#include "processrun.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <filesystem>
#include <fstream>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
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

QByteArray golden(const QString &name)
{
    QFile file(QStringLiteral(QUENZIL_GOLDEN_DIR "/") + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(no golden file)");
}

QByteArray bmpOf(const TestPicture &picture)
{
    const std::string bmp = writeBmp(encodeBmp(picture, BmpLayout::Rgb24));
    return QByteArray(bmp.data(), qsizetype(bmp.size()));
}

// A picture whose neighbouring pixels differ, so its table is long and its PNG does not shrink.
TestPicture noise(int side)
{
    TestPicture result{side, side, {}};
    std::uint32_t state = 1;
    for (int i = 0; i < side * side; ++i)
        result.pixels.push_back((state = state * 1664525u + 1013904223u) >> 8);
    return result;
}

// The codes of a table's entries, in order.
std::vector<std::uint8_t> codesOf(const QByteArray &table)
{
    std::vector<std::uint8_t> codes;
    for (qsizetype at = table.indexOf("&B"); at >= 0; at = table.indexOf("&B", at + 2))
        codes.push_back(std::uint8_t(table.mid(at + 2, 8).toUInt(nullptr, 2)));
    return codes;
}

const QByteArray tryHelp = "Try 'quenzil-table --help'.\n";

using Run = ProcessRun;

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
    void previewShowsTheTableCodes_data();
    void previewShowsTheTableCodes();
    void refusesAnOutputThatIsAnotherFile_data();
    void refusesAnOutputThatIsAnotherFile();
    void failedWritesExitWithOne_data();
    void failedWritesExitWithOne();
    void aClosedPipeExitsWithOne();
    void keepsWhatAnExistingOutputIs_data();
    void keepsWhatAnExistingOutputIs();
    void refusesAnOutputItMayNotWrite();
    void namesThatAreNotUtf8();
    void aClosedStandardOutputIsReported();
    void aCutShortPictureThroughAPipeIsRefused();
    void aStoppingSignalEndsItLeavingNoFile_data();
    void aStoppingSignalEndsItLeavingNoFile();

private:
    Run run(const QStringList &arguments)
    {
        return runProcess(program, arguments, {.folder = m_folder->path()});
    }
    // For names and redirections QProcess cannot give.
    Run runShell(const QString &script)
    {
        return runScript(script, program, {.folder = m_folder->path()});
    }
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
    writeFile("pic.bmp", bmpOf(picture));
    writeFile("-dash.bmp", bmpOf(picture));
    writeFile("notes.txt", "Data &B00000000");
}

void TableCommandTest::cleanup()
{
    m_folder.reset();
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
    QTest::addColumn<QString>("out"); // a golden file's name, or empty for nothing
    QTest::addColumn<QByteArray>("err");

    const QByteArray none;
    QTest::newRow("table") << QStringList{"pic.bmp"} << 0 << "plain.txt" << none;
    QTest::newRow("inverted") << QStringList{"--invert", "pic.bmp"} << 0 << "inverted.txt" << none;
    QTest::newRow("-- before a name with a dash")
        << QStringList{"--", "-dash.bmp"} << 0 << "plain.txt" << none;
    QTest::newRow("-o - is standard output")
        << QStringList{"-o", "-", "pic.bmp"} << 0 << "plain.txt" << none;
    QTest::newRow("-o naming a device is written directly")
        << QStringList{"-o", "/dev/stdout", "pic.bmp"} << 0 << "plain.txt" << none;
    QTest::newRow("help") << QStringList{"--help"} << 0 << "help.txt" << none;
    QTest::newRow("missing picture")
        << QStringList{"missing.bmp"} << 1 << QString()
        << QByteArray("quenzil-table: cannot load 'missing.bmp': No such file or directory\n");
    QTest::newRow("not a picture")
        << QStringList{"--invert", "notes.txt"} << 1 << QString()
        << QByteArray("quenzil-table: cannot load 'notes.txt': Unsupported image format\n");
    QTest::newRow("a folder") << QStringList{"."} << 1 << QString()
                              << QByteArray("quenzil-table: cannot load '.': Is a directory\n");
    QTest::newRow("no picture") << QStringList{} << 2 << QString()
                                << "quenzil-table: no PICTURE given\n" + tryHelp;
    QTest::newRow("unknown option") << QStringList{"--frobnicate", "pic.bmp"} << 2 << QString()
                                    << "quenzil-table: unknown option '--frobnicate'\n" + tryHelp;
    QTest::newRow("a value that is no number")
        << QStringList{"--per-line", "+8", "pic.bmp"} << 2 << QString()
        << "quenzil-table: option '--per-line': '+8' is not a number from 1 to 64\n" + tryHelp;
    // Preparation, in the order it runs whatever the options' order.
    QTest::newRow("no dither is the plain table")
        << QStringList{"--dither", "none", "pic.bmp"} << 0 << "plain.txt" << none;
    QTest::newRow("resampling without scaling changes nothing")
        << QStringList{"--resample", "nearest", "pic.bmp"} << 0 << "plain.txt" << none;
    QTest::newRow("a background under an opaque picture changes nothing")
        << QStringList{"--background", "#123456", "pic.bmp"} << 0 << "plain.txt" << none;
    QTest::newRow("nearest levels")
        << QStringList{"--nearest", "pic.bmp"} << 0 << "nearest.txt" << none;
    QTest::newRow("padded with the background")
        << QStringList{"--background=00ff00", "--pad", "pic.bmp", "--fit", "3x5"} << 0
        << "padded-green.txt" << none;
    QTest::newRow("inverted before padding")
        << QStringList{"--pad", "--invert", "--fit", "3x5", "pic.bmp"} << 0 << "inverted-padded.txt"
        << none;
    // Filling covers the box and cuts the overflow evenly: the middle row, each pixel doubled.
    QTest::newRow("filled and cropped")
        << QStringList{"--fill", "6x2", "--resample=nearest", "pic.bmp"} << 0
        << "filled-nearest.txt" << none;
    QTest::newRow("fill beside fit")
        << QStringList{"--fit=4x4", "--fill=4x4", "pic.bmp"} << 2 << QString()
        << "quenzil-table: option '--fill' cannot go with '--fit'\n" + tryHelp;
    QTest::newRow("pad beside fill")
        << QStringList{"--fill=4x4", "--pad", "pic.bmp"} << 2 << QString()
        << "quenzil-table: option '--pad' cannot go with '--fill'\n" + tryHelp;
    QTest::newRow("transparency over the background")
        << QStringList{"--background", "FFFFFF", "alpha.png"} << 0 << "alpha-over-white.txt"
        << none;
    QTest::newRow("transparency dropped without a background")
        << QStringList{"alpha.png"} << 0 << "alpha-dropped.txt" << none;
    QTest::newRow("a box beyond the pixel limit")
        << QStringList{"--stretch", "8192x8192", "pic.bmp"} << 2 << QString()
        << QByteArray("quenzil-table: option '--stretch': '8192x8192' is 67108864 pixels, more "
                      "than the 33554432 a picture may have\nTry 'quenzil-table --help'.\n");
}

void TableCommandTest::runs()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QByteArray, err);

    // Red, fully transparent, then opaque blue.
    QImage alpha(2, 1, QImage::Format_ARGB32);
    alpha.setPixel(0, 0, qRgba(255, 0, 0, 0));
    alpha.setPixel(1, 0, qRgba(0, 0, 255, 255));
    QVERIFY(alpha.save(m_folder->filePath("alpha.png")));

    const Run result = run(arguments);
    QCOMPARE(result.err, err);
    QCOMPARE(result.out, out.isEmpty() ? QByteArray() : golden(out));
    QCOMPARE(result.exitCode, exitCode);
}

void TableCommandTest::writesTheTableToAFileOnlyWhenComplete()
{
    const Run result = run({"-o", "table.txt", "pic.bmp"});
    QCOMPARE(result.exitCode, 0);
    QVERIFY(result.out.isEmpty());
    QVERIFY(result.err.isEmpty());
    QCOMPARE(readFile("table.txt"), golden("plain.txt"));
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
    QCOMPARE(readFile("old.txt"), QByteArray("an earlier table"));
}

void TableCommandTest::writesAPreviewInDisplayColours()
{
    const Run result = run({"--preview", "p.png", "pic.bmp"});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.out, golden("plain.txt"));
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

    // The preview shows what is coded, so --invert shows the inverted picture; "-" sends it to
    // standard output.
    const Run inverted = run({"--invert", "--preview", "-", "-o", "t.txt", "pic.bmp"});
    QCOMPARE(inverted.exitCode, 0);
    QCOMPARE(QImage::fromData(inverted.out, "png").pixel(0, 0), qRgb(0, 255, 255)); // 000 111 11
    QCOMPARE(readFile("t.txt"), golden("inverted.txt"));
    QVERIFY(!QFile::exists(m_folder->filePath("-")));
}

void TableCommandTest::previewShowsTheTableCodes_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QSize>("size");

    QTest::newRow("plain") << QStringList{} << QSize(40, 30);
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
    writeFile("gradient.bmp", bmpOf(gradient));

    const Run result =
        run(options + QStringList{"--preview", "p.png", "-o", "t.txt", "gradient.bmp"});
    QCOMPARE(result.exitCode, 0);
    const std::vector<std::uint8_t> codes = codesOf(readFile("t.txt"));
    const QImage preview(m_folder->filePath("p.png"));
    QCOMPARE(preview.size(), size);
    QCOMPARE(codes.size(), std::size_t(size.width() * size.height()));
    for (std::size_t i = 0; i < codes.size(); ++i) {
        const ColourValue shown = displayColour(codes[i]);
        const QRgb pixel = preview.pixel(int(i) % size.width(), int(i) / size.width());
        QCOMPARE(pixel, qRgb(int(shown & 0xFFu), int(shown >> 8 & 0xFFu), int(shown >> 16)));
    }
}

void TableCommandTest::refusesAnOutputThatIsAnotherFile_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QByteArray>("message");

    // Standard output's file, however it is named, while the table or the preview goes there.
    const QByteArray stdoutFile = "is the file standard output goes to";
    QTest::newRow("the preview into the file of standard output")
        << "\"$0\" --preview o.txt pic.bmp >o.txt"
        << "option '--preview': 'o.txt' " + stdoutFile;
    QTest::newRow("the preview into /dev/stdout")
        << "\"$0\" --preview /dev/stdout pic.bmp >o.txt"
        << "option '--preview': '/dev/stdout' " + stdoutFile;
    QTest::newRow("the preview into a pipe's /dev/stdout")
        << "set -o pipefail; \"$0\" --preview /dev/stdout pic.bmp | cat >o.txt"
        << "option '--preview': '/dev/stdout' " + stdoutFile;
#ifdef Q_OS_LINUX
    QTest::newRow("the preview into /proc/self/fd/1")
        << "\"$0\" --preview /proc/self/fd/1 pic.bmp >o.txt"
        << "option '--preview': '/proc/self/fd/1' " + stdoutFile;
#endif
    QTest::newRow("the table into the file the preview goes to")
        << "\"$0\" -o o.txt --preview - pic.bmp >o.txt"
        << "option '-o': 'o.txt' " + stdoutFile;
    // A picture, under its own name, a link or standard input.
    QTest::newRow("the table onto its picture")
        << "\"$0\" -o x.bmp x.bmp" << QByteArray("option '-o': 'x.bmp' is the picture 'x.bmp'");
    QTest::newRow("the table onto a later picture through a link")
        << "\"$0\" -o link.bmp pic.bmp x.bmp"
        << QByteArray("option '-o': 'link.bmp' is the picture 'x.bmp'");
    QTest::newRow("the preview onto its picture through a hard link")
        << "\"$0\" --preview hard.bmp -o t.txt x.bmp"
        << QByteArray("option '--preview': 'hard.bmp' is the picture 'x.bmp'");
    QTest::newRow("the table onto the picture on standard input")
        << "\"$0\" -o x.bmp - <x.bmp"
        << QByteArray("option '-o': 'x.bmp' is the picture read from standard input");
    // The other output.
    QTest::newRow("the table and the preview through a link")
        << "\"$0\" -o o.txt --preview o-link.txt pic.bmp"
        << QByteArray("the table and the preview cannot both go to 'o.txt'");
}

void TableCommandTest::refusesAnOutputThatIsAnotherFile()
{
#ifndef Q_OS_UNIX
    QSKIP("standard output's file is compared by device and inode");
#else
    QFETCH(QString, script);
    QFETCH(QByteArray, message);
    writeFile("x.bmp", bmpOf(picture));
    writeFile("o.txt", "");
    QVERIFY(QFile::link("x.bmp", m_folder->filePath("link.bmp")));
    QVERIFY(QFile::link("o.txt", m_folder->filePath("o-link.txt")));
    std::filesystem::create_hard_link(m_folder->filePath("x.bmp").toStdString(),
                                      m_folder->filePath("hard.bmp").toStdString());
    const QStringList before = folderEntries();

    const Run result = runShell(script);
    QCOMPARE(result.err, "quenzil-table: " + message + "\n" + tryHelp);
    QCOMPARE(result.exitCode, 2);
    QCOMPARE(folderEntries(), before);
    QCOMPARE(readFile("x.bmp"), bmpOf(picture));
    QCOMPARE(readFile("o.txt"), QByteArray());
#endif
}

void TableCommandTest::failedWritesExitWithOne_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QByteArray>("err");

    QTest::newRow("standard output full")
        << "\"$0\" pic.bmp >/dev/full"
        << QByteArray("quenzil-table: cannot write the table: No space left on device\n");
    QTest::newRow("-o on a full device")
        << "\"$0\" -o /dev/full pic.bmp"
        << QByteArray("quenzil-table: cannot write '/dev/full': No space left on device\n");
    QTest::newRow("the preview on a full device")
        << "\"$0\" --preview /dev/full -o old.txt pic.bmp"
        << QByteArray("quenzil-table: cannot write '/dev/full': No space left on device\n");
    QTest::newRow("-o into a missing folder")
        << "\"$0\" -o nowhere/t.txt pic.bmp"
        << QByteArray("quenzil-table: cannot write 'nowhere/t.txt': No such file or directory\n");
    QTest::newRow("-o onto a folder") << "\"$0\" -o . pic.bmp"
                                      << QByteArray("quenzil-table: cannot write '.': Is a "
                                                    "directory\n");
    // A file size limit fails the saved file's writes as a full disk does, with the system's
    // reason, and no word from the PNG library.
    const QString limited = "trap '' XFSZ; ulimit -f 4; ";
    QTest::newRow("-o beyond the file size limit")
        << limited + "\"$0\" -o old.txt noise.bmp"
        << QByteArray("quenzil-table: cannot write 'old.txt': File too large\n");
    QTest::newRow("the preview beyond the file size limit")
        << limited + "\"$0\" --preview old.png -o t.txt noise.bmp"
        << QByteArray("quenzil-table: cannot write 'old.png': File too large\n");
}

void TableCommandTest::failedWritesExitWithOne()
{
#ifndef Q_OS_UNIX
    QSKIP("uses POSIX devices and limits");
#else
    QFETCH(QString, script);
    QFETCH(QByteArray, err);
    writeFile("noise.bmp", bmpOf(noise(200)));
    writeFile("old.txt", "an earlier table");
    writeFile("old.png", "an earlier preview");
    const QStringList before = folderEntries();

    const Run result = runShell(script);
    QCOMPARE(result.err, err);
    QCOMPARE(result.exitCode, 1);
    QCOMPARE(folderEntries(), before);
    QCOMPARE(readFile("old.txt"), QByteArray("an earlier table"));
    QCOMPARE(readFile("old.png"), QByteArray("an earlier preview"));
#endif
}

void TableCommandTest::aClosedPipeExitsWithOne()
{
    // A table of several hundred KiB, more than a pipe holds, into a reader that stops at once.
    writeFile("large.bmp", bmpOf(TestPicture{200, 200, std::vector<ColourValue>(40000, 0x123456)}));
    const Run result = runShell("set -o pipefail; \"$0\" large.bmp | head -c 1 >/dev/null");
    QCOMPARE(result.exitCode, 1);
    QVERIFY(result.err.startsWith("quenzil-table: cannot write the table: "));
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
    QCOMPARE(readFile("out.txt"), golden("plain.txt"));
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
    QCOMPARE(found.out, golden("plain.txt"));

    const Run missing = runShell("\"$0\" $'missing\\xff\\e[2J.bmp'");
    QCOMPARE(missing.exitCode, 1);
    QCOMPARE(missing.err, QByteArray("quenzil-table: cannot load 'missing\\xFF\\x1B[2J.bmp': No "
                                     "such file or directory\n"));
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
    QCOMPARE(readFile("t.txt"), golden("plain.txt"));
}

void TableCommandTest::aCutShortPictureThroughAPipeIsRefused()
{
    const QByteArray bmp = bmpOf(TestPicture{200, 200, std::vector<ColourValue>(40000, 0x123456)});
    const Run result =
        runProcess(program, {"/dev/stdin"}, {.folder = m_folder->path(), .input = bmp.left(300)});
    QCOMPARE(result.exitCode, 1);
    QVERIFY(result.err.contains("cut short"));
}

void TableCommandTest::aStoppingSignalEndsItLeavingNoFile_data()
{
    QTest::addColumn<int>("signal");
    QTest::addColumn<bool>("blocked"); // the table goes to a named pipe nobody reads

#ifdef Q_OS_LINUX
    // Only Linux gives the saved file's temporary file no name; elsewhere it may stay.
    QTest::newRow("SIGINT while saving") << int(SIGINT) << false;
    QTest::newRow("SIGTERM while saving") << int(SIGTERM) << false;
#endif
    QTest::newRow("SIGINT while a pipe blocks") << int(SIGINT) << true;
    QTest::newRow("SIGTERM while a pipe blocks") << int(SIGTERM) << true;
}

void TableCommandTest::aStoppingSignalEndsItLeavingNoFile()
{
#ifndef Q_OS_UNIX
    QSKIP("the signal is sent with kill()");
#else
    QFETCH(int, signal);
    QFETCH(bool, blocked);
    writeFile("t.txt", "an earlier table");
    writeFile("p.png", "an earlier preview");
    // A noisy picture, so the preview takes a while to compress and the table fills any pipe.
    writeFile("big.bmp", bmpOf(noise(blocked ? 256 : 2048)));
    const QString fifo = m_folder->filePath("fifo");
    int reader = -1;
    if (blocked) {
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        reader = ::open(QFile::encodeName(fifo).constData(), O_RDONLY | O_NONBLOCK);
        QVERIFY(reader >= 0);
    }
    const QStringList before = folderEntries();

    QProcess process;
    process.setWorkingDirectory(m_folder->path());
    process.start(program, {"--preview", "p.png", "-o", blocked ? "fifo" : "t.txt", "big.bmp"});
    QVERIFY(process.waitForStarted());
    // Writing has begun: the pipe holds text, or a temporary file is open beside the outputs.
    pollfd text{reader, POLLIN, 0};
    while (!process.waitForFinished(1) &&
           !(blocked ? ::poll(&text, 1, 0) == 1 : isWritingInFolder(process.processId(), before))) {
    }
    QVERIFY2(process.state() == QProcess::Running, "it ended before the signal reached it");
    ::kill(pid_t(process.processId()), signal);
    // Far longer than it takes; a program that waits for the pipe's reader never gets there.
    const bool ended = process.waitForFinished(20000);
    if (reader >= 0)
        ::close(reader);
    QVERIFY(ended);
    QVERIFY(process.exitStatus() == QProcess::CrashExit || process.exitCode() == 128 + signal);
    QCOMPARE(folderEntries(), before);
    QCOMPARE(readFile("t.txt"), QByteArray("an earlier table"));
    QCOMPARE(readFile("p.png"), QByteArray("an earlier preview"));
#endif
}

QTEST_GUILESS_MAIN(TableCommandTest)
#include "tablecommand_test.moc"
