// The window program's command line, run as a user runs it: help and version without a display,
// usage errors, and a picture that cannot be opened at start.
#include "quenzilversion.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_UNIX
#include <sys/stat.h> // mkfifo
#endif

class TavroCommandLineTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void answers_data();
    void answers();

private:
    QTemporaryDir m_dir;
};

void TavroCommandLineTest::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QFile notes(m_dir.filePath("notes.txt"));
    QVERIFY(notes.open(QIODevice::WriteOnly));
    notes.write("not a picture\n");
    notes.close();
    // A PNG whose pixel data libpng cannot inflate: it complains on standard error itself.
    QFile damaged(m_dir.filePath("damaged.png"));
    QVERIFY(damaged.open(QIODevice::WriteOnly));
    damaged.write(QByteArray::fromHex("89504e470d0a1a0a0000000d49484452000000100000001008020000"
                                      "0090916836000000104944415478787878787878787878787878787878"
                                      "0000000049454e44"));
    damaged.close();
#ifdef Q_OS_UNIX
    QCOMPARE(mkfifo(QFile::encodeName(m_dir.filePath("fifo.bmp")).constData(), 0600), 0);
#endif
}

void TavroCommandLineTest::answers_data()
{
    QTest::addColumn<QStringList>("arguments"); // "%d/" stands for the test's folder
    QTest::addColumn<bool>("display");          // false: none to be had
    QTest::addColumn<int>("exitCode");          // -1: the window stays open
    QTest::addColumn<QString>("output");        // how standard output begins
    QTest::addColumn<QString>("error");         // standard error, whole
    QTest::addColumn<QString>("settings");      // the [table] group of the user's settings

    const QString usage = "Usage: quenzil [options] [PICTURE]\n";
    const QString version = "quenzil " QUENZIL_VERSION "\n";
    QTest::newRow("--help") << QStringList{"--help"} << false << 0 << usage << ""
                            << "";
    QTest::newRow("-h among Qt's options")
        << QStringList{"-platform", "offscreen", "-h"} << false << 0 << usage << ""
        << "";
    QTest::newRow("--version") << QStringList{"--version"} << false << 0 << version << ""
                               << "";
    QTest::newRow("an unknown option") << QStringList{"--fit"} << true << 2 << ""
                                       << "quenzil: Unknown option 'fit'.\n" + usage << "";
    QTest::newRow("two pictures") << QStringList{"a.bmp", "b.bmp"} << true << 2 << ""
                                  << "quenzil: one PICTURE at most, not 2\n" + usage << "";
    QTest::newRow("a missing picture")
        << QStringList{"%d/missing.bmp"} << true << -1 << ""
        << "quenzil: cannot open '%d/missing.bmp': No such file or directory\n"
        << "";
    QTest::newRow("not a picture")
        << QStringList{"%d/notes.txt"} << true << -1 << ""
        << "quenzil: cannot open '%d/notes.txt': Unsupported image format\n"
        << "";
    // The picture libraries' own complaints stay out of it.
    QTest::newRow("a damaged PNG")
        << QStringList{"%d/damaged.png"} << true << -1 << ""
        << "quenzil: cannot open '%d/damaged.png': Unable to read image data\n"
        << "";
    QTest::newRow("a folder") << QStringList{"%d"} << true << -1 << ""
                              << "quenzil: cannot open '%d': Is a directory\n"
                              << "";
#ifdef Q_OS_UNIX
    QTest::newRow("a FIFO") << QStringList{"%d/fifo.bmp"} << true << -1 << ""
                            << "quenzil: cannot open '%d/fifo.bmp': Is not a regular file\n"
                            << "";
#endif
    // The stored settings are read at the start.
    QTest::newRow("a stored setting refused")
        << QStringList{} << true << -1 << ""
        << "quenzil: settings: option '--per-line': '0' is not a number from 1 to 64; ignored\n"
        << "per-line=0";
}

void TavroCommandLineTest::answers()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, display);
    QFETCH(int, exitCode);
    QFETCH(QString, output);
    QFETCH(QString, error);
    QFETCH(QString, settings);

    const QString folder = QDir::toNativeSeparators(m_dir.path());
    arguments.replaceInStrings("%d", m_dir.path());
    error.replace("%d", folder);

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // Without a display, a program that opened one would fail to start.
    environment.insert("QT_QPA_PLATFORM", display ? "offscreen" : "xcb");
    environment.remove("DISPLAY");
    environment.remove("WAYLAND_DISPLAY");
    environment.insert("XDG_RUNTIME_DIR", m_dir.path()); // keeps Qt's warning about it away
    // The user's own settings stay out of it.
    QTemporaryDir config;
    QVERIFY(QDir(config.path()).mkpath("QUENZIL"));
    QFile stored(config.filePath("QUENZIL/quenzil.conf"));
    QVERIFY(stored.open(QIODevice::WriteOnly));
    stored.write("[table]\n" + settings.toUtf8() + "\n");
    stored.close();
    environment.insert("XDG_CONFIG_HOME", config.path());
    QProcess program;
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(QUENZIL_PROGRAM), arguments);
    QVERIFY(program.waitForStarted());

    QByteArray errors;
    if (exitCode >= 0) {
        QVERIFY(program.waitForFinished(60000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), exitCode);
        errors = program.readAllStandardError();
    } else {
        // The reason comes as one line, and the window stays open after it.
        program.setReadChannel(QProcess::StandardError);
        while (!errors.endsWith('\n') && program.waitForReadyRead(60000))
            errors += program.readAllStandardError();
        QCOMPARE(program.state(), QProcess::Running);
        program.kill();
        program.waitForFinished();
    }
    QVERIFY2(program.readAllStandardOutput().startsWith(output.toLocal8Bit()), qPrintable(output));
    QCOMPARE(QString::fromLocal8Bit(errors), error);
}

QTEST_GUILESS_MAIN(TavroCommandLineTest)
#include "tavrocommandline_test.moc"
