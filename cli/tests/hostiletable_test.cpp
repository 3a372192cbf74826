// quenzil-table over damaged and hostile picture files: it exits 1 with a message that names the
// file, or, where the reader honestly accepts a damaged file, writes the same well-formed table
// the surface gives in this process. Never a crash or a hang.
#include "hostilerows.h"
#include "imagepixels.h"
#include "picturesource.h"
#include "processrun.h"
#include "tablebuilder.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace quenzil;
using namespace quenzil::testsupport;

namespace {

const QString program = QStringLiteral(QUENZIL_TABLE_PATH);

} // namespace

class HostileTableTest : public QObject
{
    Q_OBJECT

private slots:
    void hostileFiles_data();
    void hostileFiles();
};

void HostileTableTest::hostileFiles_data()
{
    addHostileColumns();
    // One cut per header field is enough here: the surface's own test takes every cut.
    addHostileRows(oneCutPerField());
    addHostileRows(lyingHeaderBmps());
    addHostileRows(runLengthAbuseBmps());
    addHostileRows(hugeAnnouncedBmps());
    addHostileRows(nonPictureFiles());
}

void HostileTableTest::hostileFiles()
{
    QFETCH(QByteArray, file);
    QFETCH(LoadOutcome, outcome);

    // The message must name the file as given, spaces and all.
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString name = QStringLiteral("Bild für Grüße.bmp");
    QFile onDisk(folder.filePath(name));
    QVERIFY(onDisk.open(QIODevice::WriteOnly));
    onDisk.write(file);
    onDisk.close();

    const ProcessRun run = runProcess(program, {name}, {.folder = folder.path()});
    QVERIFY2(run.exitCode == 0 || run.exitCode == 1, "it crashed, hung or ended otherwise");
    const QByteArray &out = run.out;
    const QString err = QString::fromUtf8(run.err);

    PictureSource source;
    QString reason;
    QBuffer buffer;
    buffer.setData(file);
    buffer.open(QIODevice::ReadOnly);
    const bool loads = source.read(&buffer, {}, &reason);
    const QImage picture = loads ? source.prepared({}) : QImage();
    const ImagePixels surface(picture);
    if (run.exitCode == 1) {
        QVERIFY2(outcome != LoadOutcome::Loads, qPrintable(err));
        // The command's message is all there is: the picture libraries' own complaints (libpng's
        // "libpng error: ...") name no picture and stay out of it.
        const QString prefix = QStringLiteral("quenzil-table: cannot load '%1': ").arg(name);
        QVERIFY2(err.startsWith(prefix) && err.endsWith(QLatin1Char('\n')) &&
                     err.count(QLatin1Char('\n')) == 1 && err.size() > prefix.size() + 1,
                 qPrintable(err));
        QVERIFY(out.isEmpty());
        QVERIFY2(!loads, "the command refused a file the surface loads");
        return;
    }
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(outcome != LoadOutcome::Fails, "a file that must fail gave a table");
    QVERIFY2(loads, qPrintable(reason));
    QVERIFY2(err.isEmpty(), qPrintable(err));
    const std::string table = buildTableText(surface);
    QCOMPARE(out, bytesOf(table));
    const std::string fault =
        tableFault(table, std::uint64_t(surface.width()) * std::uint64_t(surface.height()));
    QVERIFY2(fault.empty(), fault.c_str());
}

QTEST_GUILESS_MAIN(HostileTableTest)
#include "hostiletable_test.moc"
