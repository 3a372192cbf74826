// Starts the real program on an X display (run under xvfb-run) and uses it as a person would:
// real mouse clicks and key presses from xdotool, the file dialog driven by typing a path, the
// table taken out through select all and copy.
#include "bmpwriter.h"
#include "imagepixels.h"
#include "picturesource.h"
#include "tablebuilder.h"

#include <QClipboard>
#include <QColor>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <X11/Xlib.h>

#include <functional>

using namespace quenzil;

namespace {

// Places in the window's client area (the window has no frame without a window manager).
const QPoint loadButton(508, 18);
const QPoint tableButton(508, 46);
const QPoint invertBox(462, 110);
const QPoint textArea(270, 120);
const QRect progressLabel(456, 172, 105, 17);
// Left and right quarter of a 16 x 2 picture fitted into Picture1 (4,12 81x73).
const QPoint pictureLeft(24, 48);
const QPoint pictureRight(64, 48);

// Waits, processing events, until the condition holds or the time is up.
bool waitFor(const std::function<bool()> &condition, int timeoutMs = 20000)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QTest::qWait(100);
    }
    return true;
}

} // namespace

class SessionTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void loadInvertAndTable();
    void closingMidRunEndsTheProgram();
    void opensWithThePictureGiven();

private:
    QString xdotool(const QStringList &arguments, int *exitCode = nullptr);
    void click(QPoint where);
    void chooseFile(const QString &path);
    QColor colourAt(QPoint where, const QString &window = {});
    QImage grab(const QRect &area, const QString &window = {});
    QString copiedText();

    QTemporaryDir m_dir;
    QProcess m_program;
    QString m_window;
};

QString SessionTest::xdotool(const QStringList &arguments, int *exitCode)
{
    QProcess process;
    process.start(QStringLiteral("xdotool"), arguments);
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished();
        qWarning("xdotool %s did not finish", qPrintable(arguments.join(' ')));
        if (exitCode)
            *exitCode = -1;
        return {};
    }
    if (exitCode)
        *exitCode = process.exitCode();
    return QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
}

void SessionTest::click(QPoint where)
{
    xdotool({"mousemove", "--sync", "--window", m_window, QString::number(where.x()),
             QString::number(where.y()), "click", "1"});
}

// In the open dialog: type the path into the file name box and press Return. A completion
// list may take the first Return, so Return is pressed until the dialog has gone.
void SessionTest::chooseFile(const QString &path)
{
    const QString dialog =
        xdotool({"search", "--sync", "--onlyvisible", "--name", QStringLiteral("^Open$")});
    QVERIFY2(!dialog.isEmpty(), "the file dialog did not open");
    xdotool({"windowfocus", "--sync", dialog.section('\n', 0, 0)});
    xdotool({"type", "--delay", "20", path});
    const bool closed = waitFor(
        [&] {
            int found = 0;
            xdotool({"key", "Return"});
            QTest::qWait(300);
            xdotool({"search", "--onlyvisible", "--name", QStringLiteral("^Open$")}, &found);
            return found != 0; // xdotool search fails when nothing matches
        },
        10000);
    QVERIFY2(closed, "the file dialog did not close");
}

QImage SessionTest::grab(const QRect &area, const QString &window)
{
    return QGuiApplication::primaryScreen()
        ->grabWindow((window.isEmpty() ? m_window : window).toULongLong(), area.x(), area.y(),
                     area.width(), area.height())
        .toImage();
}

QColor SessionTest::colourAt(QPoint where, const QString &window)
{
    const QImage image = grab(QRect(where, QSize(1, 1)), window);
    return image.isNull() ? QColor() : QColor(image.pixel(0, 0));
}

// Selects all of the text area and copies it, as a user takes the table out.
QString SessionTest::copiedText()
{
    click(textArea);
    xdotool({"key", "ctrl+a", "ctrl+c"});
    QTest::qWait(200);
    return QGuiApplication::clipboard()->text();
}

void SessionTest::initTestCase()
{
    QVERIFY2(!QStandardPaths::findExecutable("xdotool").isEmpty(),
             "xdotool is missing (scripts/install-deps.sh installs it)");
    QVERIFY(m_dir.isValid());

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "xcb");
    // Settings of the program's own, not the user's: the defaults.
    environment.insert("XDG_CONFIG_HOME", m_dir.filePath("config"));
    m_program.setProcessEnvironment(environment);
    m_program.setProcessChannelMode(QProcess::ForwardedChannels);
    m_program.start(QStringLiteral(QUENZIL_PROGRAM), {});
    QVERIFY(m_program.waitForStarted());
    m_window = xdotool({"search", "--sync", "--onlyvisible", "--name", QStringLiteral("^Tavro$")})
                   .section('\n', 0, 0);
    QVERIFY2(!m_window.isEmpty(), "the window did not appear");
}

void SessionTest::cleanupTestCase()
{
    if (m_program.state() != QProcess::NotRunning) {
        m_program.kill();
        m_program.waitForFinished();
    }
}

void SessionTest::loadInvertAndTable()
{
    const auto picture = testsupport::makePicture(16, 2, [](int x, int) {
        return x < 8 ? colourFromRgb(255, 0, 0) : colourFromRgb(0, 0, 255);
    });
    const QString path = m_dir.filePath("icon.bmp");
    QVERIFY(testsupport::saveBmp(path.toStdU16String(), picture));

    click(loadButton);
    chooseFile(path);
    QVERIFY2(waitFor([&] { return colourAt(pictureLeft) == QColor(255, 0, 0); }),
             "the picture is not shown");
    QCOMPARE(colourAt(pictureRight), QColor(0, 0, 255));

    click(invertBox);
    QVERIFY2(waitFor([&] { return colourAt(pictureLeft) == QColor(0, 255, 255); }),
             "the picture is not shown inverted");
    QCOMPARE(colourAt(pictureRight), QColor(255, 255, 0));

    click(tableButton);
    PictureSource source;
    Preparation inverted;
    inverted.invert = true;
    QVERIFY(source.readFile(path, inverted));
    const QImage invertedPicture = source.prepared(inverted);
    const ImagePixels expectedSurface(invertedPicture);
    // Copied out, each line ends in one line break.
    const QString expected =
        QString::fromStdString(buildTableText(expectedSurface)).replace("\r\n", "\n");
    QString copied;
    const bool matched = waitFor([&] { return (copied = copiedText()) == expected; });
    QVERIFY2(matched, qPrintable("copied: " + copied + "\nexpected: " + expected));
}

void SessionTest::closingMidRunEndsTheProgram()
{
    // Large enough that its run lasts many seconds.
    const QString path = m_dir.filePath("large.bmp");
    QVERIFY(testsupport::saveBmp(path.toStdU16String(),
                                 testsupport::makePicture(4096, 4096, testsupport::patternColour)));

    click(loadButton);
    chooseFile(path);
    QVERIFY2(waitFor([&] { return colourAt(pictureLeft) != QColor(0, 255, 255); }),
             "the large picture is not shown");

    const QImage progressBefore = grab(progressLabel);
    click(tableButton);
    QVERIFY2(waitFor([&] { return grab(progressLabel) != progressBefore; }),
             "the progress label does not move");

    // Close the window as a window manager does.
    Display *display = XOpenDisplay(nullptr);
    QVERIFY(display);
    XEvent close{};
    close.xclient.type = ClientMessage;
    close.xclient.window = Window(m_window.toULong());
    close.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    close.xclient.format = 32;
    close.xclient.data.l[0] = long(XInternAtom(display, "WM_DELETE_WINDOW", False));
    close.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, close.xclient.window, False, NoEventMask, &close);
    XFlush(display);
    XCloseDisplay(display);

    // A run that went on would take far longer than this.
    QVERIFY2(m_program.waitForFinished(5000), "the program goes on after its window closed");
    QCOMPARE(m_program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_program.exitCode(), 0);
}

// quenzil PICTURE opens a window of its own with the picture loaded.
void SessionTest::opensWithThePictureGiven()
{
    const QString path = m_dir.filePath("given.bmp");
    QVERIFY(testsupport::saveBmp(
        path.toStdU16String(), testsupport::makePicture(16, 2, [](int x, int) {
            return x < 8 ? colourFromRgb(0, 255, 0) : colourFromRgb(255, 0, 255);
        })));
    QProcess program;
    program.setProcessEnvironment(m_program.processEnvironment());
    program.setProcessChannelMode(QProcess::ForwardedChannels);
    program.start(QStringLiteral(QUENZIL_PROGRAM), {path});
    QVERIFY(program.waitForStarted());
    const QString window = xdotool({"search", "--sync", "--onlyvisible", "--pid",
                                    QString::number(program.processId()), "--name", "^Tavro$"})
                               .section('\n', 0, 0);
    QVERIFY2(!window.isEmpty(), "the window did not appear");
    const bool shown = waitFor([&] { return colourAt(pictureLeft, window) == QColor(0, 255, 0); });
    const QColor right = colourAt(pictureRight, window);
    program.kill();
    program.waitForFinished();
    QVERIFY2(shown, "the picture is not shown");
    QCOMPARE(right, QColor(255, 0, 255));
}

QTEST_MAIN(SessionTest)
#include "session_test.moc"
