// Save table and Save preview driven as a user drives them: the text pasted, Ctrl+S, the file
// dialog, the messages. What goes on while a save is writing, and what a failed save says.
#include "processrun.h"
#include "tavro.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

#ifdef QUENZIL_WINDOW_SYSTEM_INTERFACE
#include <qpa/qwindowsysteminterface.h>
#endif

#ifdef Q_OS_UNIX
#include "filesizelimit.h"

#include <sys/stat.h> // mkfifo
#endif

using namespace quenzil;

namespace {

using testsupport::readFile;
using testsupport::writeFile;

// Lines like a table's, `count` of them: several of the save's slices of a megabyte.
QString tableLines(int count)
{
    QStringList lines;
    for (int i = 0; i < count; ++i)
        lines << QStringLiteral("Data &B%1 , &B11100000 , &B00011100 , &B00000011 , &B11111111")
                     .arg(i % 256, 8, 2, QLatin1Char('0'));
    return lines.join(QLatin1Char('\n'));
}

// What the file of the area's `text` holds: line breaks as CR LF, in UTF-8.
QByteArray tableFile(QString text)
{
    return text.replace(QLatin1Char('\n'), QLatin1String("\r\n")).toUtf8();
}

} // namespace

class TableSaveTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void dropWhileSaving();
    void failedSaveSaysWhy_data();
    void failedSaveSaysWhy();
    void closeWhileSaving();

private:
    QPlainTextEdit *area() const
    {
        return m_window->findChild<QPlainTextEdit *>(QStringLiteral("RichTextBox1"));
    }
    QString path(const QString &name) const { return m_dir->filePath(name); }
    // Pastes `text` into the text area as a user does, then moves the focus out of it.
    void pasteText(const QString &text);
    // Saves the table to `fileName` through Ctrl+S and the dialog, or the preview through the
    // picture's menu; a replace is confirmed and every message is kept in m_messages. `dialogGone`
    // runs when the dialog has gone and the file is about to be written.
    void save(bool table, const QString &fileName, const std::function<void()> &dialogGone = {});

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Tavro> m_window;
    QStringList m_messages;
};

void TableSaveTest::initTestCase()
{
    // The window is closed by a test: the application goes on.
    QApplication::setQuitOnLastWindowClosed(false);
}

void TableSaveTest::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_messages.clear();
    m_window = std::make_unique<Tavro>();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
}

void TableSaveTest::cleanup()
{
    m_window.reset();
    m_dir.reset();
}

void TableSaveTest::pasteText(const QString &text)
{
    QGuiApplication::clipboard()->setText(text);
    QTest::mouseClick(area()->viewport(), Qt::LeftButton);
    QTest::keySequence(area(), QKeySequence::SelectAll);
    QTest::keySequence(area(), QKeySequence::Paste);
    QCOMPARE(area()->toPlainText(), text);
    QTest::keyClick(area(), Qt::Key_Tab, Qt::ControlModifier);
    QVERIFY(!area()->hasFocus());
}

void TableSaveTest::save(bool table, const QString &fileName,
                         const std::function<void()> &dialogGone)
{
    // Answers each modal dialog as it comes: the file dialog, the question whether to replace
    // the file, the message about the save. The question comes while the file dialog's answer
    // is still under way, so another timer answers it.
    const std::function<void()> answerModal = [&] {
        QWidget *modal = QApplication::activeModalWidget();
        if (auto *dialog = qobject_cast<QFileDialog *>(modal)) {
            if (dialogGone)
                connect(dialog, &QObject::destroyed, this, dialogGone);
            dialog->selectFile(fileName);
            QTimer::singleShot(0, this, answerModal);
            static_cast<QDialog *>(dialog)->accept(); // as its Save button does
        } else if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            if (QAbstractButton *replace = box->button(QMessageBox::Yes)) {
                replace->click();
            } else {
                m_messages << box->text();
                box->accept();
            }
        }
    };
    QTimer answer;
    connect(&answer, &QTimer::timeout, this, answerModal);
    answer.start(0);
    if (table) {
        QTest::keySequence(m_window.get(), QKeySequence::Save);
    } else {
        for (QAction *action :
             m_window->findChild<QWidget *>(QStringLiteral("Picture1"))->actions()) {
            if (action->text() == QLatin1String("Save preview..."))
                action->trigger();
        }
    }
}

// A text dropped onto the text area while Save table writes the area's text waits until the file
// is complete: the file holds the text as it was when the save began, the area both.
void TableSaveTest::dropWhileSaving()
{
    const QString text = tableLines(60000); // 4 MB
    pasteText(text);
    const QString fileName = path(QStringLiteral("table.bas"));

    QMimeData dropped;
    dropped.setText(QStringLiteral("DROPPED"));
    bool droppedBeforeTheFile = false;
    save(true, fileName, [&] {
        // The next events the window takes are those between the save's slices.
        QTimer::singleShot(0, this, [&] {
            droppedBeforeTheFile = !QFile::exists(fileName);
            // At the bottom of the area, far beyond the first slice of the text.
            const QPoint where(2, area()->viewport()->height() - 2);
            QDragEnterEvent enter(where, Qt::CopyAction, &dropped, Qt::LeftButton, {});
            QApplication::sendEvent(area()->viewport(), &enter);
            QDropEvent drop(where, Qt::CopyAction, &dropped, Qt::LeftButton, {});
            QApplication::sendEvent(area()->viewport(), &drop);
        });
    });
    QCOMPARE(m_messages, QStringList());
    QVERIFY(droppedBeforeTheFile);
    QCOMPARE(readFile(fileName), tableFile(text));
    // The drop went in once the file was complete.
    QCOMPARE(area()->toPlainText().size(), text.size() + 7);
    QVERIFY(area()->toPlainText().contains(QLatin1String("DROPPED")));
}

void TableSaveTest::failedSaveSaysWhy_data()
{
    QTest::addColumn<bool>("table"); // or the preview
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("reason");

#ifdef Q_OS_UNIX
    for (const bool table : {true, false}) {
        const char *what = table ? "table" : "preview";
        // Writes that stop part of the way, as on a full disk: the system's reason, not
        // "Unknown error".
        QTest::addRow("%s, no room after 4 KiB", what) << table << "no room"
                                                       << "File too large";
        QTest::addRow("%s onto a FIFO", what) << table << "fifo"
                                              << "Is not a regular file";
    }
#else
    QSKIP("a FIFO and a file size limit are POSIX");
#endif
}

// A save that fails says why in a message; an earlier file stays as it was and nothing is left
// beside it.
void TableSaveTest::failedSaveSaysWhy()
{
#ifdef Q_OS_UNIX
    QFETCH(bool, table);
    QFETCH(QString, target);
    QFETCH(QString, reason);

    // A table of 13 KB, and a picture of busy colours whose PNG takes more than 4 KiB.
    pasteText(tableLines(200));
    QImage picture(128, 128, QImage::Format_RGB32);
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 128; ++x)
            picture.setPixel(x, y, qRgb((x * 37) ^ y, (y * 53) ^ x, x * y));
    QGuiApplication::clipboard()->setImage(picture);
    QTest::keySequence(m_window.get(), QKeySequence::Paste);

    const QString fileName = path(table ? "table.bas" : "preview.png");
    const QByteArray earlier("the earlier file\n");
    if (target == "fifo")
        QCOMPARE(mkfifo(QFile::encodeName(fileName).constData(), 0600), 0);
    else
        QVERIFY(writeFile(fileName, earlier));
    {
        const testsupport::FileSizeLimit limit(target == "no room" ? 4096 : RLIM_INFINITY);
        save(table, fileName);
    }

    QCOMPARE(m_messages.size(), 1);
    QCOMPARE(m_messages.first(),
             QStringLiteral("Cannot save the %1 to %2: %3")
                 .arg(table ? "table" : "preview", QDir::toNativeSeparators(fileName), reason));
    if (target == "fifo")
        QVERIFY(QFileInfo(fileName).exists() && !QFileInfo(fileName).isFile());
    else
        QCOMPARE(readFile(fileName), earlier);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System),
             QStringList{QFileInfo(fileName).fileName()});
#endif
}

// A request to close the window (as a window manager sends it) while Save table writes waits
// until the file is complete, and then the window closes at once: the request is not left
// waiting for the next event from the window system. Without that, this test waits for its
// time limit.
void TableSaveTest::closeWhileSaving()
{
#ifdef QUENZIL_WINDOW_SYSTEM_INTERFACE
    const QString text = tableLines(40000);
    pasteText(text);
    const QString fileName = path(QStringLiteral("table.bas"));
    save(true, fileName, [&] {
        QTimer::singleShot(
            0, this, [&] { QWindowSystemInterface::handleCloseEvent(m_window->windowHandle()); });
    });
    QVERIFY(m_window->isVisible());

    QEventLoop loop;
    QByteArray fileWhenClosed;
    struct CloseWatch : QObject
    {
        std::function<void()> closed;
        bool eventFilter(QObject *, QEvent *event) override
        {
            if (event->type() == QEvent::Close)
                closed();
            return false;
        }
    } watch;
    watch.closed = [&] {
        fileWhenClosed = readFile(fileName);
        loop.quit();
    };
    m_window->installEventFilter(&watch);
    loop.exec();
    QVERIFY(!m_window->isVisible());
    QCOMPARE(fileWhenClosed, tableFile(text));
#else
    QSKIP("needs Qt's window system interface (qt6-base-private-dev)");
#endif
}

QTEST_MAIN(TableSaveTest)
#include "tablesave_test.moc"
