// A picture's name on the command line of either program, as the system has it: a name that is
// not UTF-8 opens, and every name a message shows is quoted the same way, in one line, control
// characters and bytes that are no text as \xHH.
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class PictureNamesTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void quoted_data();
    void quoted();

private:
    QTemporaryDir m_dir;
};

void PictureNamesTest::initTestCase()
{
#ifndef Q_OS_UNIX
    QSKIP("names are given as bytes through a POSIX shell");
#endif
    QVERIFY(m_dir.isValid());
    // A file that is no picture, under a name of Latin-1 bytes.
    QProcess shell;
    shell.setWorkingDirectory(m_dir.path());
    shell.start(
        QStringLiteral("/bin/sh"),
        {QStringLiteral("-c"), QStringLiteral("echo no picture >\"$(printf 'B\\374ro.bmp')\"")});
    QVERIFY(shell.waitForFinished());
    QCOMPARE(shell.exitCode(), 0);
}

void PictureNamesTest::cleanupTestCase()
{
    // Qt could not name the file to remove it.
    QProcess::execute(QStringLiteral("/bin/sh"),
                      {QStringLiteral("-c"), QStringLiteral("rm -f -- \"$0\"/*"), m_dir.path()});
}

void PictureNamesTest::quoted_data()
{
    QTest::addColumn<bool>("window");      // quenzil, or else quenzil-table
    QTest::addColumn<QByteArray>("name");  // as printf(1) makes it
    QTest::addColumn<QByteArray>("error"); // the one line after "PROGRAM: cannot VERB "

    for (const bool window : {true, false}) {
        const char *program = window ? "quenzil" : "quenzil-table";
        // Opened: the reason is the picture reader's, not "No such file or directory".
        QTest::addRow("%s, a name that is not UTF-8", program)
            << window << QByteArray("B\\374ro.bmp")
            << QByteArray("'B\\xFCro.bmp': Unsupported image format");
        QTest::addRow("%s, ESC, OSC and a line break", program)
            << window << QByteArray("x\\033]0;title\\007\\nz.bmp")
            << QByteArray("'x\\x1B]0;title\\x07\\x0Az.bmp': No such file or directory");
        // One line, nothing of Qt's before it.
        QTest::addRow("%s, an empty name", program)
            << window << QByteArray("") << QByteArray("'': No such file or directory");
    }
}

void PictureNamesTest::quoted()
{
    QFETCH(bool, window);
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, error);

    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    // Nothing of the user's, and no warning about a missing runtime folder.
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.path());
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir.path());
    program.setProcessEnvironment(environment);
    program.setWorkingDirectory(m_dir.path());
    // The shell hands the program the name's bytes as printf makes them.
    program.start(QStringLiteral("/bin/sh"),
                  {QStringLiteral("-c"), QStringLiteral("exec \"$0\" \"$(printf \"$1\")\""),
                   window ? QStringLiteral(QUENZIL_PROGRAM) : QStringLiteral(QUENZIL_TABLE_PROGRAM),
                   QString::fromLatin1(name)});
    QVERIFY(program.waitForStarted());
    QByteArray errors;
    if (window) {
        // The window stays open after its one line.
        program.setReadChannel(QProcess::StandardError);
        while (!errors.endsWith('\n') && program.waitForReadyRead(60000))
            errors += program.readAllStandardError();
        QCOMPARE(program.state(), QProcess::Running);
        program.kill();
        program.waitForFinished();
    } else {
        QVERIFY(program.waitForFinished(60000));
        QCOMPARE(program.exitCode(), 1);
        errors = program.readAllStandardError();
    }
    QCOMPARE(errors, (window ? QByteArray("quenzil: cannot open ")
                             : QByteArray("quenzil-table: cannot load ")) +
                         error + '\n');
}

QTEST_GUILESS_MAIN(PictureNamesTest)
#include "picturenames_test.moc"
