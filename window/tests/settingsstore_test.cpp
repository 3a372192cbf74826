// The table settings kept between starts, in the user's settings file as XDG_CONFIG_HOME places
// it; and the window telling when settings accepted in its dialog cannot be kept.
#include "processrun.h"
#include "settingsof.h"
#include "settingsstore.h"
#include "tavro.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

#ifdef Q_OS_UNIX
#include "filesizelimit.h"

#include <sys/stat.h> // mkfifo
#endif

using namespace quenzil;

namespace {

using testsupport::readFile;
using testsupport::writeFile;

const QString everySetting = QStringLiteral("fit=160x128\npad=true\nresample=nearest\n"
                                            "background=FFFFFF\ndither=diffuse\nradix=hex\n"
                                            "label=Logo\nper-line=16\nsize-line=true\n"
                                            "row-lines=true\nrle=true");

} // namespace

class SettingsStoreTest : public QObject
{
    Q_OBJECT

public:
    explicit SettingsStoreTest(const QString &config) : m_config(config) {}

private slots:
    void init();

    void keptAcrossRestart_data();
    void keptAcrossRestart();
    void fileText();
    void badValueIgnored_data();
    void badValueIgnored();
    void onlyARegularFile_data();
    void onlyARegularFile();
    void windowKeepsAcceptedSettings_data();
    void windowKeepsAcceptedSettings();

private:
    QString folder() const { return m_config + QStringLiteral("/QUENZIL"); }
    QString path() const { return folder() + QStringLiteral("/quenzil.conf"); }

    QString m_config;
};

void SettingsStoreTest::init()
{
    // Each case starts from an empty settings folder.
    QFile::remove(folder());
    QDir(folder()).removeRecursively();
    QVERIFY(QDir(m_config).mkpath(QStringLiteral("QUENZIL")));
}

void SettingsStoreTest::keptAcrossRestart_data()
{
    QTest::addColumn<QString>("lines");
    QTest::newRow("defaults") << QString();
    QTest::newRow("every setting") << everySetting;
    QTest::newRow("stretch, nearest levels, decimal")
        << QStringLiteral("stretch=128x160\nnearest=true\nradix=dec\nper-line=1");
}

void SettingsStoreTest::keptAcrossRestart()
{
    QFETCH(QString, lines);
    const TableSettings settings = settingsOf(lines);
    QCOMPARE(SettingsStore().save(settings), QString());

    const SettingsStore::Loaded loaded = SettingsStore().load();
    QCOMPARE(loaded.settings, settings);
    QCOMPARE(loaded.problems, QStringList());
}

void SettingsStoreTest::fileText()
{
    // A key of an earlier start that is back at its default goes; other groups stay.
    QVERIFY(writeFile(path(), "[table]\nper-line=32\nradix=dec\n\n[window]\nsize=1\n"));
    QCOMPARE(SettingsStore().save(settingsOf(everySetting)), QString());
    QCOMPARE(readFile(path()),
             readFile(QStringLiteral(QUENZIL_SOURCE_DIR "/window/tests/data/every-setting.conf")));
}

void SettingsStoreTest::badValueIgnored_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QString>("kept");
    QTest::addColumn<QString>("problem");

    QTest::newRow("per-line 0") << QByteArray("per-line=0\nradix=hex")
                                << QStringLiteral("radix=hex")
                                << "option '--per-line': '0' is not a number from 1 to 64; ignored";
    QTest::newRow("fit without a height")
        << QByteArray("fit=160x\nlabel=Logo") << QStringLiteral("label=Logo")
        << "option '--fit': '160x' is not a size WxH with each side 1 to 8192; ignored";
    QTest::newRow("fit with a comma") << QByteArray("fit=160,128") << QString()
                                      << "option '--fit': '160,128' is not a size WxH with each "
                                         "side 1 to 8192; ignored";
    // A square picture fitted into it would be beyond the pixel limit.
    QTest::newRow("fit beyond the pixel limit")
        << QByteArray("fit=8192x8192\nradix=dec") << QStringLiteral("radix=dec")
        << "option '--fit': '8192x8192' is 67108864 pixels, more than the 33554432 a picture "
           "may have; ignored";
    QTest::newRow("radix oct") << QByteArray("radix=oct\nrle=true") << QStringLiteral("rle=true")
                               << "option '--radix': 'oct' is not bin, hex or dec; ignored";
    QTest::newRow("pad without fit")
        << QByteArray("pad=true\nstretch=128x160") << QStringLiteral("stretch=128x160")
        << "option '--pad' needs '--fit'; ignored";
    QTest::newRow("rle with 7 per line")
        << QByteArray("rle=true\nper-line=7") << QStringLiteral("per-line=7")
        << "option '--rle' needs an even '--per-line', not 7; ignored";
    QTest::newRow("fit and stretch")
        << QByteArray("stretch=1x1\nfit=160x128") << QStringLiteral("fit=160x128")
        << "option '--stretch' cannot go with '--fit'; ignored";
    QTest::newRow("unknown key") << QByteArray("colour=red\ndither=ordered")
                                 << QStringLiteral("dither=ordered")
                                 << "unknown option '--colour'; ignored";
}

void SettingsStoreTest::badValueIgnored()
{
    QFETCH(QByteArray, stored);
    QFETCH(QString, kept);
    QFETCH(QString, problem);
    QVERIFY(writeFile(path(), "[table]\n" + stored + "\n"));

    const SettingsStore::Loaded loaded = SettingsStore().load();
    QCOMPARE(loaded.settings, settingsOf(kept));
    QCOMPARE(loaded.problems, QStringList{problem});
}

void SettingsStoreTest::onlyARegularFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("a folder") << "folder";
#ifdef Q_OS_UNIX
    // Opening it would wait for a writer: the window would never open.
    QTest::newRow("a FIFO") << "fifo";
#endif
}

void SettingsStoreTest::onlyARegularFile()
{
    QFETCH(QString, kind);
    if (kind == "folder")
        QVERIFY(QDir(folder()).mkdir(QStringLiteral("quenzil.conf")));
#ifdef Q_OS_UNIX
    else
        QCOMPARE(mkfifo(QFile::encodeName(path()).constData(), 0600), 0);
#endif

    const QString notRegular = "'" + path() + "' is not a regular file";
    const SettingsStore::Loaded loaded = SettingsStore().load();
    QCOMPARE(loaded.settings, TableSettings());
    QCOMPARE(loaded.problems, QStringList{notRegular + "; the defaults are used"});
    QCOMPARE(SettingsStore().save(settingsOf(everySetting)), notRegular);
    const QFileInfo after(path());
    QVERIFY(after.exists() && !after.isFile());
}

void SettingsStoreTest::windowKeepsAcceptedSettings_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reason"); // why they are not kept; empty: they are
    QTest::newRow("kept") << ""
                          << "";
    QTest::newRow("the settings folder is a file") << "folder a file"
                                                   << "Not a directory";
#ifdef Q_OS_UNIX
    // As a full disk does, with the system's own reason.
    QTest::newRow("beyond the file size limit") << "no room"
                                                << "File too large";
#endif
}

// OK in the Table settings dialog keeps the settings for the next starts, or says in a message
// that they will not be kept, and why.
void SettingsStoreTest::windowKeepsAcceptedSettings()
{
    QFETCH(QString, kind);
    QFETCH(QString, reason);
    if (kind == "folder a file") {
        QVERIFY(QDir(folder()).removeRecursively());
        QVERIFY(writeFile(folder(), "not a folder"));
    }
#ifdef Q_OS_UNIX
    std::unique_ptr<testsupport::FileSizeLimit> limit;
    if (kind == "no room")
        limit = std::make_unique<testsupport::FileSizeLimit>(0);
#endif

    const SettingsStore store;
    Tavro window(nullptr, &store);
    // Settings that differ from the default, which are written out.
    QVERIFY(window.setTableSettings(settingsOf(QStringLiteral("radix=hex"))));
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QTest::keySequence(&window, QKeySequence(Qt::CTRL | Qt::Key_T));
    auto *buttons = window.findChild<QDialogButtonBox *>(QStringLiteral("buttons"));
    QVERIFY(buttons);
    QTRY_VERIFY(buttons->isVisible());

    // The message comes as a box once OK has closed the dialog.
    QString message;
    QTimer answer;
    answer.setSingleShot(true);
    connect(&answer, &QTimer::timeout, this, [&message] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            message = box->text();
            box->accept();
        }
    });
    answer.start(0);
    buttons->button(QDialogButtonBox::Ok)->click();
    QVERIFY(!buttons->isVisible());
    if (reason.isEmpty()) {
        QCOMPARE(message, QString());
        QCOMPARE(SettingsStore().load().settings, settingsOf(QStringLiteral("radix=hex")));
        return;
    }
    QVERIFY2(message.startsWith("The table settings apply now but will not be kept for the next "
                                "start. '" +
                                path() + "' cannot be written: " + reason),
             qPrintable(message));
}

int main(int argc, char *argv[])
{
    // The user's own settings stay out of it. QSettings takes its folder from the environment
    // once, so the environment is set before anything else runs.
    QTemporaryDir config;
    if (!config.isValid())
        return 1;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    QApplication application(argc, argv);
    SettingsStoreTest test(config.path());
    return QTest::qExec(&test, argc, argv);
}

#include "settingsstore_test.moc"
