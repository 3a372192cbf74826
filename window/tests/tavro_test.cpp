// The window as a user drives it: the buttons and keys, the real file, message and settings
// dialogs, the settings file under XDG_CONFIG_HOME, and the table taken out of the text area by
// select all and copy. quenzil-table is the oracle for every table and preview it should equal.
#include "bmpwriter.h"
#include "picturesurface.h"
#include "processrun.h"
#include "scriptedpump.h"
#include "settingsstore.h"
#include "tablebuilder.h"
#include "tavro.h"

#include <QBuffer>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDropEvent>
#include <QFileDialog>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

#ifdef Q_OS_UNIX
#include <sys/stat.h> // mkfifo
#endif

#include <functional>
#include <memory>

using namespace quenzil;
using namespace quenzil::testsupport;

namespace {

const QString tableProgram = QStringLiteral(QUENZIL_TABLE_PROGRAM);

// Saves a picture as a BMP file and returns its path; the empty text if that fails.
QString saveBitmap(const QString &path, const TestPicture &picture)
{
    return saveBmp(path.toStdU16String(), picture) ? path : QString();
}

// Line breaks as the text area copies them.
QString copied(QString table)
{
    return table.replace(QLatin1String("\r\n"), QLatin1String("\n"));
}

// The table quenzil-table writes, as the text area copies it; the empty text when it fails.
QString commandTable(const QStringList &arguments)
{
    const ProcessRun run = runProcess(tableProgram, arguments);
    return run.exitCode == 0 ? copied(QString::fromUtf8(run.out)) : QString();
}

// A JPEG file with an EXIF orientation: an APP1 segment after the JFIF one.
QByteArray withOrientation(QByteArray jpeg, quint16 orientation)
{
    const QByteArray tiff = QByteArray("MM\0\x2A\0\0\0\x08\0\x01\x01\x12\0\x03\0\0\0\x01", 18) +
                            char(orientation >> 8) + char(orientation) + QByteArray(6, '\0');
    const QByteArray payload = QByteArray("Exif\0\0", 6) + tiff;
    const int length = int(payload.size()) + 2;
    const QByteArray app1 =
        QByteArray("\xFF\xE1", 2) + char(length >> 8) + char(length & 0xFF) + payload;
    const int afterJfif = 4 + (uchar(jpeg[4]) << 8 | uchar(jpeg[5]));
    return jpeg.insert(afterJfif, app1);
}

// The pixel count of the window's caption "Pixel:  N".
int countIn(const QString &caption)
{
    return caption.section(QLatin1Char(' '), -1).toInt();
}

// The table the core builds from the same picture, with what the user did at the pass where the
// window's run let them (the pixel its label showed then): what the area must hold.
struct ExpectedRun
{
    // The picture as the window holds it: loaded as it is, inverted by each Invers.
    struct Picture
    {
        PictureSurface surface;
        Preparation preparation;

        bool load(const QString &fileName)
        {
            preparation.invert = false;
            return surface.load(fileName, preparation);
        }
        void invert()
        {
            preparation.invert = !preparation.invert;
            surface.prepare(preparation);
        }
        double width() const { return surface.width(); }
        double height() const { return surface.height(); }
        ColourValue colourAt(int x, int y) const { return surface.colourAt(x, y); }
    };
    struct LastCount
    {
        double value = 0;
        void setCount(double count) { value = count; }
    };

    Picture source;
    StringTableOutput output;
    LastCount count;

    // One run, `action` after pixel `at`; an action that throws Stop stops the run there.
    void run(int at, const std::function<void()> &action)
    {
        ScriptedPump pump;
        pump.actions[at] = action;
        try {
            TableBuilder(source, output, count, pump).run();
        } catch (const Stop &) {
        }
    }
    // A run inside the run, stopped after pixel `at` (0: run to its end).
    void inner(int at)
    {
        LastCount innerCount;
        ScriptedPump pump;
        if (at > 0)
            pump.actions[at] = [] { throw Stop(); };
        try {
            TableBuilder(source, output, innerCount, pump).run();
        } catch (const Stop &) {
        }
    }
    QString text() const { return copied(QString::fromStdString(std::string(output.text()))); }

    struct Stop
    {
    };
};

} // namespace

class TavroTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void controls_data();
    void controls();
    void tabOrder();
    void load_data();
    void load();
    void dropLoads_data();
    void dropLoads();
    void invertOnEveryClick();
    void tableText();
    void tableMatchesTheCommand_data();
    void tableMatchesTheCommand();
    void midRun_data();
    void midRun();
    void closingStopsEveryRun_data();
    void closingStopsEveryRun();
    void closingEndsTheEventLoop();
    void typedLettersAreKept();
    void minimumSize();
    void tabInTheArea_data();
    void tabInTheArea();
    void pastePicture_data();
    void pastePicture();
    void saveTable_data();
    void saveTable();
    void saveSuffix_data();
    void saveSuffix();
    void pictureFormats();
    void matchesTheCommand_data();
    void matchesTheCommand();
    void settingsDialog_data();
    void settingsDialog();

private:
    template <typename T> T *control(const char *name)
    {
        auto *found = m_window->findChild<T *>(QString::fromLatin1(name));
        if (!found)
            qFatal("no control %s", name);
        return found;
    }
    QString picture(const QString &name, int width, int height)
    {
        return saveBitmap(m_dir->filePath(name), makePicture(width, height, patternColour));
    }
    QPlainTextEdit *area() { return control<QPlainTextEdit>("RichTextBox1"); }
    // The area's text as a user takes it out: select all, copy.
    QString areaText()
    {
        area()->selectAll();
        area()->copy();
        return QGuiApplication::clipboard()->text();
    }
    QString caption(const char *label) { return control<QLabel>(label)->text(); }
    void click(const char *name)
    {
        QTest::mouseClick(control<QAbstractButton>(name), Qt::LeftButton);
    }
    // Answers the next file dialog: types `path` into its name field and presses Return, after
    // picking the `kind`-th file type; an empty path cancels the dialog.
    void answerFileDialog(const QString &path, int kind = 0);
    // Load Bitmap, choosing `path` in its dialog.
    void loadBitmap(const QString &path)
    {
        answerFileDialog(path);
        click("Command1");
    }
    // Does `action` at the first pass of event processing of the run started next, as a user
    // acting while it goes on.
    void atFirstPass(std::function<void()> action)
    {
        QTimer::singleShot(0, this, std::move(action));
    }
    // Opens the text area's menu and returns its entry with this text.
    QAction *menuEntry(const QString &text);
    // The picture's menu entry with this text.
    QAction *pictureEntry(const QString &text);
    // Writes the settings file and takes it as the program does at its start.
    void storeSettings(const QString &lines);

    QTemporaryDir m_config;
    QTemporaryDir m_pictures;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Tavro> m_window;
    // Every message box shown, answered as a user would: questions with Yes, the others with OK.
    QTimer m_boxWatch;
    QStringList m_messages;
    QStringList m_questions;
};

void TavroTest::initTestCase()
{
    // The settings file, and the file dialogs' own state, go to a folder of the test's: Qt reads
    // where the user's settings are once, before the first settings are opened.
    QVERIFY(m_config.isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path()));
    QVERIFY(QDir(m_config.path()).mkpath("QUENZIL"));

    // Pictures in every kind a user brings: a photo JPEG large enough to be read reduced, a JPEG
    // whose EXIF orientation turns it upright, a WebP, a GIF and a partly transparent PNG.
    QVERIFY(m_pictures.isValid());
    QImage photo(2048, 2048, QImage::Format_RGB32);
    quint32 noise = 1;
    for (int y = 0; y < photo.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(photo.scanLine(y));
        for (int x = 0; x < photo.width(); ++x) {
            noise = noise * 1664525u + 1013904223u;
            const int grain = int(noise >> 28) - 8;
            line[x] = qRgb(qBound(0, x / 8 + grain, 255), qBound(0, y / 8 + grain, 255),
                           qBound(0, (x + y) / 16 + grain, 255));
        }
    }
    QVERIFY(photo.save(m_pictures.filePath("photo.jpg"), "JPEG", 85));
    // Stored 64 x 40, red growing to the right; orientation 6 turns it a quarter clockwise.
    QImage stored(64, 40, QImage::Format_RGB32);
    for (int y = 0; y < stored.height(); ++y)
        for (int x = 0; x < stored.width(); ++x)
            stored.setPixel(x, y, qRgb(x * 4, y * 6, 128));
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    QVERIFY(buffer.open(QIODevice::WriteOnly) && stored.save(&buffer, "JPEG", 95));
    QFile rotated(m_pictures.filePath("rotated.jpg"));
    QVERIFY(rotated.open(QIODevice::WriteOnly));
    rotated.write(withOrientation(jpeg, 6));
    rotated.close();
    QVERIFY(stored.scaled(50, 30).save(m_pictures.filePath("picture.webp"), "WEBP", 90));
    QVERIFY(QFile::copy(QStringLiteral(QUENZIL_SOURCE_DIR "/window/tests/data/picture.gif"),
                        m_pictures.filePath("picture.gif")));
    QImage transparent(37, 23, QImage::Format_ARGB32);
    for (int y = 0; y < transparent.height(); ++y)
        for (int x = 0; x < transparent.width(); ++x)
            transparent.setPixel(x, y, qRgba(x * 7, y * 11, (x * y) % 256, x < 5 ? 40 * x : 255));
    QVERIFY(transparent.save(m_pictures.filePath("transparent.png")));

    connect(&m_boxWatch, &QTimer::timeout, this, [this] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        QAbstractButton *yes = box->button(QMessageBox::Yes);
        (yes ? m_questions : m_messages) << box->text();
        if (QAbstractButton *answer = yes ? yes : box->button(QMessageBox::Ok))
            answer->click();
        else
            box->reject();
    });
}

void TavroTest::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QFile::remove(m_config.filePath("QUENZIL/quenzil.conf"));
    m_window = std::make_unique<Tavro>();
    m_messages.clear();
    m_questions.clear();
    m_boxWatch.start(10);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

void TavroTest::cleanup()
{
    m_boxWatch.stop();
    m_window.reset();
    m_dir.reset();
}

void TavroTest::answerFileDialog(const QString &path, int kind)
{
    // The dialog opens inside the command that shows it; until then the answer waits.
    auto *waiting = new QTimer(this);
    connect(waiting, &QTimer::timeout, this, [waiting, path, kind, tries = 0]() mutable {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog && ++tries < 500)
            return;
        waiting->deleteLater();
        if (!dialog) {
            qWarning("no file dialog to answer");
        } else if (path.isEmpty()) {
            dialog->reject();
        } else {
            // As a user picks the kind: with the keyboard in the list of kinds.
            auto *kinds = dialog->findChild<QComboBox *>("fileTypeCombo");
            kinds->setFocus();
            for (int step = 0; step < kind; ++step)
                QTest::keyClick(kinds, Qt::Key_Down);
            auto *name = dialog->findChild<QLineEdit *>("fileNameEdit");
            name->setText(path);
            QTest::keyClick(name, Qt::Key_Return);
        }
    });
    waiting->start(0);
}

QAction *TavroTest::menuEntry(const QString &text)
{
    const QPoint where(5, 5);
    QContextMenuEvent event(QContextMenuEvent::Mouse, where,
                            area()->viewport()->mapToGlobal(where));
    QApplication::sendEvent(area()->viewport(), &event);
    auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
    if (!menu)
        qFatal("no menu");
    for (QAction *action : menu->actions()) {
        if (action->text() == text)
            return action;
    }
    qFatal("no menu entry %s", qPrintable(text));
}

QAction *TavroTest::pictureEntry(const QString &text)
{
    for (QAction *action : control<QWidget>("Picture1")->actions()) {
        if (action->text() == text)
            return action;
    }
    qFatal("no picture menu entry %s", qPrintable(text));
}

void TavroTest::storeSettings(const QString &lines)
{
    QFile file(m_config.filePath("QUENZIL/quenzil.conf"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[table]\n" + QString(lines).replace(';', '\n').toUtf8() + "\n");
    file.close();
    QVERIFY(m_window->setTableSettings(SettingsStore().load().settings));
}

void TavroTest::controls_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QRect>("place");

    // Labels and the box may be taller than laid out when the font needs it.
    QTest::newRow("Command1") << "Command1"
                              << "Load Bitmap" << QRect(456, 8, 105, 21);
    QTest::newRow("Command2") << "Command2"
                              << "RGB-Tabelle" << QRect(456, 36, 105, 21);
    QTest::newRow("Label1") << "Label1"
                            << "Gespeichert wird als 8bit RGB 3x3x2" << QRect(456, 64, 105, 33);
    QTest::newRow("Check1") << "Check1"
                            << "Invers" << QRect(456, 104, 97, 13);
    QTest::newRow("Label3") << "Label3"
                            << "" << QRect(456, 128, 105, 13);
    QTest::newRow("Label4") << "Label4"
                            << "" << QRect(456, 148, 105, 17);
    QTest::newRow("Label2") << "Label2"
                            << "" << QRect(456, 172, 105, 17);
    QTest::newRow("Picture1") << "Picture1"
                              << "" << QRect(4, 12, 81, 73);
    QTest::newRow("RichTextBox1") << "RichTextBox1"
                                  << "RichTextBox1" << QRect(100, 8, 349, 233);
}

void TavroTest::controls()
{
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QRect, place);

    QCOMPARE(m_window->windowTitle(), QString("Tavro"));
    QCOMPARE(m_window->size(), QSize(564, 251));
    auto *widget = m_window->findChild<QWidget *>(name);
    QVERIFY(widget);
    QString text;
    if (auto *button = qobject_cast<QAbstractButton *>(widget))
        text = button->text();
    else if (auto *label = qobject_cast<QLabel *>(widget))
        text = label->text();
    else if (auto *edit = qobject_cast<QPlainTextEdit *>(widget))
        text = edit->toPlainText();
    QCOMPARE(text, caption);

    const QRect geometry = widget->geometry();
    QCOMPARE(geometry.topLeft(), place.topLeft());
    QCOMPARE(geometry.width(), place.width());
    QVERIFY(geometry.height() >= place.height());
    if (auto *label = qobject_cast<QLabel *>(widget)) {
        // A caption of the longest kind it shows reads in full.
        label->setText(caption.isEmpty() ? QString("Pixel:  1048576") : caption);
        const int needed = label->hasHeightForWidth() ? label->heightForWidth(geometry.width())
                                                      : label->sizeHint().height();
        QVERIFY2(needed <= geometry.height(), qPrintable(QString::number(needed)));
    } else if (qobject_cast<QCheckBox *>(widget)) {
        QVERIFY(widget->sizeHint().height() <= geometry.height());
        QVERIFY(!static_cast<QCheckBox *>(widget)->isChecked());
    }
    // Grown labels keep clear of the control below them.
    for (auto *other : m_window->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        if (other != widget && other->geometry().left() == geometry.left())
            QVERIFY2(!other->geometry().intersects(geometry), qPrintable(other->objectName()));
    }
}

void TavroTest::tabOrder()
{
    const QStringList expected{"Command1", "Command2", "Label1", "Picture1",    "Label2",
                               "Label3",   "Label4",   "Check1", "RichTextBox1"};
    QStringList order;
    QWidget *widget = control<QWidget>("Command1");
    while (order.size() < expected.size()) {
        if (expected.contains(widget->objectName()))
            order << widget->objectName();
        widget = widget->nextInFocusChain();
        QVERIFY(widget != control<QWidget>("Command1") || order.size() == expected.size());
    }
    QCOMPARE(order, expected);
}

void TavroTest::load_data()
{
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<bool>("loads");

    QTest::newRow("cancelled") << "" << false;
    QTest::newRow("no such file") << "missing.bmp" << false;
    QTest::newRow("not a picture") << "notes.bmp" << false;
#ifdef Q_OS_UNIX
    QTest::newRow("a FIFO") << "fifo.bmp" << false; // without waiting for a writer
#endif
    QTest::newRow("a bitmap") << "wide.bmp" << true;
    // Any name typed into the dialog reaches the loader, which goes by the content.
    QTest::newRow("a bitmap by another name") << "wide.txt" << true;
}

void TavroTest::load()
{
    QFETCH(QString, chosen);
    QFETCH(bool, loads);

    const auto wide = makePicture(77, 3, patternColour);
    saveBitmap(m_dir->filePath("wide.bmp"), wide);
    saveBitmap(m_dir->filePath("wide.txt"), wide);
    QFile notes(m_dir->filePath("notes.bmp"));
    QVERIFY(notes.open(QIODevice::WriteOnly));
    notes.write("not a picture\n");
    notes.close();
#ifdef Q_OS_UNIX
    QCOMPARE(mkfifo(QFile::encodeName(m_dir->filePath("fifo.bmp")).constData(), 0600), 0);
#endif

    QAction *savePreview = pictureEntry("Save preview...");
    QVERIFY(!savePreview->isEnabled()); // nothing to save yet
    loadBitmap(picture("first.bmp", 16, 8));
    QCOMPARE(caption("Label3"), QString("X:  16"));
    QCOMPARE(caption("Label4"), QString("Y:  8"));
    QVERIFY(savePreview->isEnabled());
    area()->setPlainText("kept");

    loadBitmap(chosen.isEmpty() ? QString() : m_dir->filePath(chosen));

    QCOMPARE(caption("Label3"), loads ? QString("X:  77") : QString("X:  16"));
    QCOMPARE(caption("Label4"), loads ? QString("Y:  3") : QString("Y:  8"));
    QCOMPARE(area()->toPlainText(), QString("kept"));
    QCOMPARE(caption("Label2"), QString());
    QCOMPARE(m_messages, QStringList()); // a failed load says nothing
}

void TavroTest::dropLoads_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("dropped"); // a file of the test's folder, or an address
    QTest::addColumn<bool>("loads");

    QTest::newRow("file on the window") << "window"
                                        << "dropped.bmp" << true;
    QTest::newRow("file on the text area") << "area"
                                           << "dropped.bmp" << true;
    QTest::newRow("a folder") << "window"
                              << "." << false;
    QTest::newRow("web address on the window") << "window"
                                               << "https://example.org/x.bmp" << false;
}

void TavroTest::dropLoads()
{
    QFETCH(QString, target);
    QFETCH(QString, dropped);
    QFETCH(bool, loads);

    picture("dropped.bmp", 5, 4);
    const bool isFile = !dropped.startsWith("https:");
    QMimeData data;
    data.setUrls({isFile ? QUrl::fromLocalFile(m_dir->filePath(dropped)) : QUrl(dropped)});
    QWidget *receiver =
        target == "window" ? static_cast<QWidget *>(m_window.get()) : area()->viewport();
    const QPoint where(10, 10);
    QDragEnterEvent enter(where, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(receiver, &enter);
    QCOMPARE(enter.isAccepted(), isFile);
    QDropEvent drop(where, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(receiver, &drop);

    QCOMPARE(caption("Label3"), loads ? QString("X:  5") : QString());
    QCOMPARE(caption("Label4"), loads ? QString("Y:  4") : QString());
    QCOMPARE(area()->toPlainText(), QString("RichTextBox1")); // no file name pasted
    QCOMPARE(m_messages, QStringList());
}

void TavroTest::invertOnEveryClick()
{
    const QString path = picture("p.bmp", 3, 2);
    const QString plain = commandTable({path});
    const QString inverted = commandTable({"--invert", path});
    loadBitmap(path);
    auto *box = control<QCheckBox>("Check1");
    for (int clicks = 1; clicks <= 4; ++clicks) {
        click("Check1");
        const bool odd = clicks % 2 == 1;
        QCOMPARE(box->isChecked(), odd);
        click("Command2");
        QCOMPARE(areaText(), odd ? inverted : plain);
    }
    // A click that unchecks the box inverts as well, and a load neither clears it nor inverts.
    click("Check1");
    loadBitmap(path);
    QVERIFY(box->isChecked());
    click("Command2");
    QCOMPARE(areaText(), plain);
}

void TavroTest::tableText()
{
    // Two rows of three: red, green, blue / white, black, grey. Rows do not start lines.
    const ColourValue colours[2][3] = {
        {colourFromRgb(255, 0, 0), colourFromRgb(0, 255, 0), colourFromRgb(0, 0, 255)},
        {colourFromRgb(255, 255, 255), colourFromRgb(0, 0, 0), colourFromRgb(128, 128, 128)}};
    loadBitmap(saveBitmap(m_dir->filePath("six.bmp"),
                          makePicture(3, 2, [&](int x, int y) { return colours[y][x]; })));
    click("Command2");
    QCOMPARE(areaText(), QString("Picture:\n"
                                 "Data &B11100000 , &B00011100 , &B00000011 , &B11111111 , "
                                 "&B00000000 , &B10010010"));
    QCOMPARE(caption("Label2"), QString("Pixel:  6"));
}

void TavroTest::tableMatchesTheCommand_data()
{
    QTest::addColumn<QSize>("size");

    QTest::newRow("1 x 1") << QSize(1, 1);
    QTest::newRow("8 x 1") << QSize(8, 1);
    QTest::newRow("16 x 8") << QSize(16, 8);
    // Runs with passes of event processing, and hundreds of lines moved into the area at once.
    QTest::newRow("300 x 200") << QSize(300, 200);
}

void TavroTest::tableMatchesTheCommand()
{
    QFETCH(QSize, size);

    const QString path = picture("p.bmp", size.width(), size.height());
    loadBitmap(path);
    const QString expected = commandTable({path});
    QVERIFY(!expected.isEmpty());
    // Twice: the second run replaces the first's text. Copied, each line ends in one line break.
    for (int run = 0; run < 2; ++run) {
        click("Command2");
        QCOMPARE(areaText(), expected);
        QCOMPARE(caption("Label2"), "Pixel:  " + QString::number(size.width() * size.height()));
    }
}

// What the user does while a run goes on, and its model on the core's run.
void TavroTest::midRun_data()
{
    QTest::addColumn<QString>("action");

    QTest::newRow("typing at the end") << "type";
    QTest::newRow("typing a line break") << "return";
    QTest::newRow("emptying the area") << "clear";
    QTest::newRow("Invers") << "invert";
    QTest::newRow("Load Bitmap of a wider picture") << "load";
    QTest::newRow("Load Bitmap, cancelled") << "cancel";
    QTest::newRow("a second RGB-Tabelle") << "table";
}

void TavroTest::midRun()
{
    QFETCH(QString, action);

    // Large enough for several passes of event processing.
    const QString first = picture("first.bmp", 200, 150);
    const QString other = picture("other.bmp", 230, 120);
    loadBitmap(first);

    int pixel = 0;
    QString shown; // what the area held when the user acted
    atFirstPass([&] {
        pixel = countIn(caption("Label2"));
        shown = area()->toPlainText();
        if (action == "type") {
            area()->moveCursor(QTextCursor::End);
            QTest::keyClicks(area(), "XY");
        } else if (action == "return") {
            area()->moveCursor(QTextCursor::End);
            QTest::keyClick(area(), Qt::Key_Return);
        } else if (action == "clear") {
            area()->selectAll();
            QTest::keyClick(area(), Qt::Key_Delete);
        } else if (action == "invert") {
            click("Check1");
        } else if (action == "load" || action == "cancel") {
            loadBitmap(action == "load" ? other : QString());
        } else if (action == "table") {
            click("Command2");
        }
    });
    click("Command2");
    QVERIFY2(pixel > 0 && pixel < 200 * 150, "the run was not under way");

    ExpectedRun model;
    QVERIFY(model.source.load(first));
    model.run(pixel, [&] {
        // At every pass the area holds exactly the text made so far.
        QCOMPARE(shown, model.text());
        if (action == "type")
            model.output.append("XY");
        else if (action == "return")
            model.output.append("\r\n");
        else if (action == "clear")
            model.output.setText("");
        else if (action == "invert")
            model.source.invert();
        else if (action == "load")
            model.source.load(other);
        else if (action == "table")
            model.inner(0);
    });
    QCOMPARE(areaText(), model.text());
    // The outer run finishes with its own count.
    QCOMPARE(caption("Label2"), "Pixel:  " + QString::number(model.count.value));
    QCOMPARE(m_messages, QStringList());
}

void TavroTest::closingStopsEveryRun_data()
{
    QTest::addColumn<bool>("nested"); // closed during a run started inside the first

    QTest::newRow("one run") << false;
    QTest::newRow("a run inside a run") << true;
}

void TavroTest::closingStopsEveryRun()
{
    QFETCH(bool, nested);

    const QString path = picture("p.bmp", 200, 150);
    loadBitmap(path);
    int outer = 0;
    int inner = 0;
    atFirstPass([&] {
        outer = countIn(caption("Label2"));
        if (!nested) {
            m_window->close();
            return;
        }
        atFirstPass([&] {
            inner = countIn(caption("Label2"));
            m_window->close();
        });
        click("Command2");
    });
    click("Command2");
    QVERIFY(!m_window->isVisible());
    QVERIFY2(outer > 0 && outer < 200 * 150, "the run was not under way");

    // The window's runs stop right after processing the close.
    ExpectedRun model;
    QVERIFY(model.source.load(path));
    model.run(outer, [&] {
        if (nested)
            model.inner(inner);
        throw ExpectedRun::Stop();
    });
    QCOMPARE(areaText(), model.text());
    QCOMPARE(caption("Label2"), "Pixel:  " + QString::number(nested ? inner : outer));

    // Shown again, the window runs tables as before.
    m_window->show();
    click("Command2");
    QCOMPARE(areaText(), commandTable({path}));
}

// As in the program: closing the window mid-run ends the event loop with exit code 0.
void TavroTest::closingEndsTheEventLoop()
{
    loadBitmap(picture("p.bmp", 200, 150));
    int closedAt = 0;
    QTimer::singleShot(0, this, [&] {
        atFirstPass([&] {
            closedAt = countIn(caption("Label2"));
            m_window->close();
        });
        click("Command2");
    });
    // Should the loop not end, this ends it with a code the test rejects.
    QTimer guard;
    guard.setSingleShot(true);
    connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    guard.start(30000);
    QCOMPARE(QCoreApplication::exec(), 0);
    QVERIFY(closedAt > 0 && closedAt < 200 * 150);
    QCOMPARE(caption("Label2"), "Pixel:  " + QString::number(closedAt));
}

// Letters typed at the end of the area during a run stay where they were typed, wherever in a
// line the run is then: the run goes on after them and never takes them away.
void TavroTest::typedLettersAreKept()
{
    const QString path = picture("p.bmp", 200, 150);
    loadBitmap(path);
    int typed = 0;
    QTimer typing;
    connect(&typing, &QTimer::timeout, [&] {
        area()->moveCursor(QTextCursor::End);
        QTest::keyClicks(area(), "#");
        ++typed;
    });
    typing.start(0);
    click("Command2");
    typing.stop();

    QVERIFY(typed > 0);
    QString text = areaText();
    QCOMPARE(text.count('#'), typed);
    // Without the letters, the lines the run wrote are the table.
    QCOMPARE(text.remove('#'), commandTable({path}));
}

void TavroTest::minimumSize()
{
    QCOMPARE(m_window->minimumSize(), QSize(564, 251));
    m_window->resize(60, 40);
    QTRY_COMPARE(m_window->size(), m_window->minimumSize());
    for (auto *control : m_window->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
        QVERIFY2(m_window->rect().contains(control->geometry()), qPrintable(control->objectName()));
}

// Tab types a tab into the text area; Ctrl+Tab and Ctrl+Shift+Tab leave it.
void TavroTest::tabInTheArea_data()
{
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QString>("focus");
    QTest::addColumn<QString>("text");

    QTest::newRow("Tab") << int(Qt::NoModifier) << "RichTextBox1"
                         << "RichTextBox1\t";
    QTest::newRow("Ctrl+Tab") << int(Qt::ControlModifier) << "Command1"
                              << "RichTextBox1";
    QTest::newRow("Ctrl+Shift+Tab") << int(Qt::ControlModifier | Qt::ShiftModifier) << "Check1"
                                    << "RichTextBox1";
}

void TavroTest::tabInTheArea()
{
    QFETCH(int, modifiers);
    QFETCH(QString, focus);
    QFETCH(QString, text);

    m_window->activateWindow();
    area()->setFocus();
    area()->moveCursor(QTextCursor::End);
    QTRY_VERIFY(area()->hasFocus());
    QTest::keyClick(area(), Qt::Key_Tab, Qt::KeyboardModifiers(modifiers));
    QCOMPARE(QApplication::focusWidget()->objectName(), focus);
    QCOMPARE(area()->toPlainText(), text);
}

// Ctrl+V and "Paste picture" load the picture on the clipboard as "Load Bitmap" does; text is
// left to the text area.
void TavroTest::pastePicture_data()
{
    QTest::addColumn<QString>("clipboard");
    QTest::addColumn<QString>("focus");
    QTest::addColumn<QString>("via");
    QTest::addColumn<bool>("offered"); // "Paste picture" enabled
    QTest::addColumn<QString>("text");

    for (const char *via : {"Ctrl+V", "menu"}) {
        const auto row = [via](const char *name) -> QTestData & {
            return QTest::addRow("%s, %s", name, via);
        };
        row("image data") << "image"
                          << "area" << via << true << "RichTextBox1";
        row("a picture file") << "file"
                              << "area" << via << true << "RichTextBox1";
        row("a damaged picture file") << "damaged"
                                      << "area" << via << true << "RichTextBox1";
        row("nothing") << ""
                       << "area" << via << false << "RichTextBox1";
#ifdef Q_OS_UNIX
        // Looked at without waiting for a writer; as any file that is no picture, Ctrl+V leaves
        // it to the area, which pastes its address.
        row("a copied FIFO") << "fifo"
                             << "area" << via << false
                             << (via == QLatin1String("menu") ? "RichTextBox1"
                                                              : "RichTextBox1%fifo");
#endif
    }
    QTest::newRow("image data, focus on a button") << "image"
                                                   << "Command1"
                                                   << "Ctrl+V" << true << "RichTextBox1";
    QTest::newRow("text, focus in the area") << "text"
                                             << "area"
                                             << "Ctrl+V" << false << "RichTextBox1pasted";
    QTest::newRow("text, focus on a button") << "text"
                                             << "Command1"
                                             << "Ctrl+V" << false << "RichTextBox1";
}

void TavroTest::pastePicture()
{
    QFETCH(QString, clipboard);
    QFETCH(QString, focus);
    QFETCH(QString, via);
    QFETCH(bool, offered);
    QFETCH(QString, text);

    const QString first = picture("first.bmp", 2, 2);
    loadBitmap(first);
    click("Check1"); // a paste neither clears the box nor inverts the new picture
    // The table of the picture the window holds afterwards.
    QString expected = commandTable({"--invert", first});
    QSize size(2, 2);
    auto *data = new QMimeData;
    if (clipboard == "image") {
        QImage image(5, 4, QImage::Format_RGB32);
        image.fill(qRgb(200, 100, 50));
        data->setImageData(image);
        const QString copy = m_dir->filePath("copy.png");
        QVERIFY(image.save(copy));
        expected = commandTable({copy});
        size = image.size();
    } else if (clipboard == "file") {
        const QString copy = picture("copied.bmp", 6, 3);
        data->setUrls({QUrl::fromLocalFile(copy)});
        expected = commandTable({copy});
        size = QSize(6, 3);
    } else if (clipboard == "damaged") {
        QFile damaged(m_dir->filePath("damaged.bmp"));
        QVERIFY(damaged.open(QIODevice::WriteOnly));
        damaged.write("BM" + QByteArray(20, '\0'));
        damaged.close();
        data->setUrls({QUrl::fromLocalFile(damaged.fileName())});
    } else if (clipboard == "fifo") {
#ifdef Q_OS_UNIX
        const QString fifo = m_dir->filePath("fifo.bmp");
        QCOMPARE(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        data->setUrls({QUrl::fromLocalFile(fifo)});
        text.replace("%fifo", QUrl::fromLocalFile(fifo).toString());
#endif
    } else if (clipboard == "text") {
        data->setText("pasted");
    }
    if (clipboard.isEmpty()) {
        delete data;
        QGuiApplication::clipboard()->clear();
    } else {
        QGuiApplication::clipboard()->setMimeData(data);
    }

    QWidget *target =
        focus == "area" ? static_cast<QWidget *>(area()) : control<QWidget>(qPrintable(focus));
    m_window->activateWindow();
    target->setFocus();
    QTRY_VERIFY(target->hasFocus());
    area()->moveCursor(QTextCursor::End);
    if (via == "menu") {
        QAction *paste = menuEntry("Paste picture");
        QCOMPARE(paste->isEnabled(), offered);
        if (paste->isEnabled())
            paste->trigger();
        QApplication::activePopupWidget()->close();
    } else {
        QTest::keySequence(target, QKeySequence::Paste);
    }

    QCOMPARE(caption("Label3"), "X:  " + QString::number(size.width()));
    QCOMPARE(caption("Label4"), "Y:  " + QString::number(size.height()));
    QVERIFY(control<QCheckBox>("Check1")->isChecked());
    QCOMPARE(area()->toPlainText(), text);
    QCOMPARE(m_messages, QStringList()); // a failed paste says nothing
    click("Command2");
    QCOMPARE(areaText(), expected);
}

// Ctrl+S and "Save table..." write the area's text as the table has it, whole or not at all.
void TavroTest::saveTable_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("via");
    QTest::addColumn<bool>("duringRun");
    QTest::addColumn<bool>("saved");

    QTest::newRow("after a run, Ctrl+S") << "table.bas"
                                         << "Ctrl+S" << false << true;
    QTest::newRow("after a run, menu") << "table.bas"
                                       << "menu" << false << true;
    QTest::newRow("during a run") << "table.bas"
                                  << "Ctrl+S" << true << true;
    // The dialog asks first; the answer is Yes.
    QTest::newRow("over an earlier file") << "old.txt"
                                          << "Ctrl+S" << false << true;
    QTest::newRow("cancelled") << ""
                               << "Ctrl+S" << false << false;
    QTest::newRow("into a missing folder") << "missing/table.bas"
                                           << "Ctrl+S" << false << false;
}

void TavroTest::saveTable()
{
    QFETCH(QString, target);
    QFETCH(QString, via);
    QFETCH(bool, duringRun);
    QFETCH(bool, saved);

    QFile old(m_dir->filePath("old.txt"));
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("an earlier table that is longer than the new one, " + QByteArray(1000, 'x'));
    old.close();
    const QString path = picture("p.bmp", 200, 150);
    loadBitmap(path);
    const QStringList before = QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::Hidden);

    const QString file = target.isEmpty() ? QString() : m_dir->filePath(target);
    const auto save = [&] {
        answerFileDialog(file);
        if (via == "menu")
            menuEntry("Save table...")->trigger();
        else
            QTest::keySequence(area(), QKeySequence::Save); // the area has the focus
    };
    m_window->activateWindow();
    area()->setFocus();
    QTRY_VERIFY(area()->hasFocus());
    int pixel = 0;
    if (duringRun)
        atFirstPass([&] {
            pixel = countIn(caption("Label2"));
            save();
        });
    click("Command2");
    if (!duringRun)
        save();
    if (QWidget *menu = QApplication::activePopupWidget())
        menu->close();
    QCOMPARE(m_questions.size(), target == "old.txt" ? 1 : 0);

    QFile written(file);
    if (saved) {
        QCOMPARE(m_messages, QStringList());
        QVERIFY(written.open(QIODevice::ReadOnly));
        // The table exactly as the command writes it, or as far as the run had come.
        const ProcessRun command = runProcess(tableProgram, {path});
        ExpectedRun model;
        QVERIFY(model.source.load(path));
        model.run(pixel, [] { throw ExpectedRun::Stop(); });
        QCOMPARE(written.readAll(), duringRun ? QByteArray(model.output.text().data(),
                                                           qsizetype(model.output.text().size()))
                                              : command.out);
    } else {
        QCOMPARE(m_messages.size(), file.isEmpty() ? 0 : 1);
        if (!file.isEmpty())
            QVERIFY2(m_messages.first().contains(QDir::toNativeSeparators(file)),
                     qPrintable(m_messages.first()));
        // Nothing half-written: the folder holds what it held.
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::Hidden), before);
    }
}

// In the save dialog, a name typed without a suffix gets the chosen kind's.
void TavroTest::saveSuffix_data()
{
    QTest::addColumn<int>("kind"); // BASIC, text, all files
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("chosen");

    QTest::newRow("BASIC") << 0 << "table"
                           << "table.bas";
    QTest::newRow("text") << 1 << "table"
                          << "table.txt";
    QTest::newRow("all files") << 2 << "table"
                               << "table";
    QTest::newRow("a suffix typed") << 0 << "table.txt"
                                    << "table.txt";
}

void TavroTest::saveSuffix()
{
    QFETCH(int, kind);
    QFETCH(QString, typed);
    QFETCH(QString, chosen);

    answerFileDialog(m_dir->filePath(typed), kind);
    m_window->activateWindow();
    QTest::keySequence(m_window.get(), QKeySequence::Save);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList{chosen});
}

// Load Bitmap offers every format Qt reads here; the desktop entry opens only such files, and at
// least those of Qt and its image format plugins.
void TavroTest::pictureFormats()
{
    QStringList filters;
    QTimer::singleShot(0, this, [&] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        filters = dialog->nameFilters();
        dialog->reject();
    });
    click("Command1");
    QCOMPARE(filters.size(), 3);
    QCOMPARE(filters.first(), QString("*.bmp"));
    const QStringList pictures = filters.at(1).split(QRegularExpression("[ ()]"));
    for (const QByteArray &format : QImageReader::supportedImageFormats())
        QVERIFY2(pictures.contains("*." + QString::fromLatin1(format).toLower()),
                 format.constData());
    QCOMPARE(filters.last(), QString("All files (*)"));

    QFile entry(QStringLiteral(QUENZIL_SOURCE_DIR "/packaging/quenzil.desktop"));
    QVERIFY(entry.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(entry.readAll());
    const QStringList types =
        text.section("MimeType=", 1).section('\n', 0, 0).split(';', Qt::SkipEmptyParts);
    const QList<QByteArray> read = QImageReader::supportedMimeTypes();
    for (const QString &type : types)
        QVERIFY2(read.contains(type.toLatin1()), qPrintable(type));
    for (const char *type : {"image/bmp", "image/png", "image/jpeg", "image/gif", "image/webp",
                             "image/tiff", "image/x-tga"})
        QVERIFY2(types.contains(type), type);
}

// With the same settings, the window's table is quenzil-table's to the byte, and its preview the
// command's to the pixel, for every kind of picture and read.
void TavroTest::matchesTheCommand_data()
{
    QTest::addColumn<QString>("picture");
    QTest::addColumn<QString>("settings"); // as stored: "name=value;..."
    QTest::addColumn<int>("inverts");
    QTest::addColumn<QSize>("size"); // of the table's picture, upright

    // A 2048 x 2048 JPEG fitted to 160 x 128 is decoded at a quarter of its size.
    QTest::newRow("JPEG fitted: read reduced") << "photo.jpg"
                                               << "fit=160x128" << 0 << QSize(128, 128);
    QTest::newRow("JPEG fitted, diffuse dither, inverted")
        << "photo.jpg"
        << "fit=160x128;dither=diffuse" << 1 << QSize(128, 128);
    // Nearest pixels are sampled from the whole picture.
    QTest::newRow("JPEG stretched, nearest pixels: read whole, ordered dither, hexadecimal")
        << "photo.jpg"
        << "stretch=120x90;resample=nearest;dither=ordered;radix=hex" << 0 << QSize(120, 90);
    QTest::newRow("JPEG turned upright by its EXIF orientation") << "rotated.jpg"
                                                                 << "" << 0 << QSize(40, 64);
    QTest::newRow("JPEG turned upright, inverted, padded over a background")
        << "rotated.jpg"
        << "fit=32x32;pad=true;background=3366CC" << 1 << QSize(32, 32);
    QTest::newRow("WebP, nearest levels, run-length pairs")
        << "picture.webp"
        << "nearest=true;rle=true;per-line=6" << 0 << QSize(50, 30);
    QTest::newRow("WebP, inverted") << "picture.webp"
                                    << "" << 1 << QSize(50, 30);
    QTest::newRow("GIF, diffuse dither, decimal, a size line")
        << "picture.gif"
        << "dither=diffuse;radix=dec;size-line=true" << 0 << QSize(60, 40);
    QTest::newRow("GIF fitted larger, inverted") << "picture.gif"
                                                 << "fit=90x90" << 1 << QSize(90, 60);
    QTest::newRow("transparent PNG fitted, padded over a background")
        << "transparent.png"
        << "fit=16x12;pad=true;background=3366CC" << 0 << QSize(16, 12);
    QTest::newRow("transparent PNG without a background, inverted, row lines, a label")
        << "transparent.png"
        << "row-lines=true;label=Logo" << 3 << QSize(37, 23);
    QTest::newRow("transparent PNG filled and cropped over a background")
        << "transparent.png"
        << "fill=30x20;background=3366CC" << 0 << QSize(30, 20);
    QTest::newRow("JPEG filled and cropped: read reduced for the covering size")
        << "photo.jpg"
        << "fill=160x100;dither=diffuse" << 1 << QSize(160, 100);
    QTest::newRow("GIF filled, nearest pixels, diffuse dither")
        << "picture.gif"
        << "fill=16x30;resample=nearest;dither=diffuse" << 0 << QSize(16, 30);
}

void TavroTest::matchesTheCommand()
{
    QFETCH(QString, picture);
    QFETCH(QString, settings);
    QFETCH(int, inverts);
    QFETCH(QSize, size);

    const QString path = m_pictures.filePath(picture);
    // As the program starts: the stored settings, then the picture.
    storeSettings(settings);
    loadBitmap(path);
    for (int i = 0; i < inverts; ++i)
        click("Check1");
    click("Command2");
    const QString preview = m_dir->filePath("window.png");
    answerFileDialog(preview);
    pictureEntry("Save preview...")->trigger();
    QCOMPARE(m_messages, QStringList());

    QStringList arguments;
    for (const QString &setting : settings.split(';', Qt::SkipEmptyParts))
        arguments << "--" + setting.section('=', 0, 0) +
                         (setting.endsWith("=true") ? QString() : "=" + setting.section('=', 1));
    if (inverts % 2)
        arguments << "--invert";
    const QString commandPreview = m_dir->filePath("command.png");
    const ProcessRun command =
        runProcess(tableProgram, arguments << "--preview=" + commandPreview << path);
    QCOMPARE(command.err, QByteArray());
    QCOMPARE(command.exitCode, 0);

    QCOMPARE(areaText(), copied(QString::fromUtf8(command.out)));
    const QImage expected = QImage(commandPreview).convertToFormat(QImage::Format_RGB32);
    QCOMPARE(expected.size(), size);
    QCOMPARE(QImage(preview).convertToFormat(QImage::Format_RGB32), expected);
    QCOMPARE(caption("Label3"), "X:  " + QString::number(size.width()));
    QCOMPARE(caption("Label4"), "Y:  " + QString::number(size.height()));
}

// Ctrl+T and "Table settings..." in both menus open the dialog; the view follows its controls at
// once, OK keeps the settings (settingsstore_test: for the next starts too), Cancel goes back.
// Settings the picture cannot take are refused with a message.
void TavroTest::settingsDialog_data()
{
    QTest::addColumn<QString>("via");
    QTest::addColumn<QString>("size"); // chosen in the size box
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<bool>("kept");

    for (const char *via : {"Ctrl+T", "area menu", "picture menu"}) {
        QTest::addRow("%s, OK", via) << via << "160 x 128" << true << true;
        QTest::addRow("%s, Cancel", via) << via << "160 x 128" << false << false;
    }
    QTest::newRow("stretched beyond the pixel limit, OK") << "Ctrl+T"
                                                          << "8192 x 8192" << true << false;
}

void TavroTest::settingsDialog()
{
    QFETCH(QString, via);
    QFETCH(QString, size);
    QFETCH(bool, accepted);
    QFETCH(bool, kept);

    loadBitmap(picture("p.bmp", 40, 30));
    if (via == "Ctrl+T") {
        m_window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        QTest::keySequence(m_window.get(), QKeySequence(Qt::CTRL | Qt::Key_T));
    } else if (via == "area menu") {
        menuEntry("Table settings...")->trigger();
        if (QWidget *menu = QApplication::activePopupWidget())
            menu->close();
    } else {
        pictureEntry("Table settings...")->trigger();
    }
    QDialog *dialog = nullptr;
    QTRY_VERIFY((dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget())));

    auto *sizes = dialog->findChild<QComboBox *>("sizeBox");
    if (size.startsWith("8192")) {
        sizes->setCurrentText("Custom");
        dialog->findChild<QSpinBox *>("widthBox")->setValue(8192);
        dialog->findChild<QSpinBox *>("heightBox")->setValue(8192);
        dialog->findChild<QAbstractButton *>("stretchButton")->click();
    } else {
        sizes->setCurrentText(size);
    }
    dialog->findChild<QComboBox *>("radixBox")->setCurrentIndex(1); // hexadecimal
    auto *buttons = dialog->findChild<QDialogButtonBox *>("buttons");
    if (accepted && !kept) {
        // A box of more pixels than a picture may have is refused where it is chosen: OK waits,
        // and Cancel brings the window back as it was.
        QVERIFY(!buttons->button(QDialogButtonBox::Ok)->isEnabled());
        buttons->button(QDialogButtonBox::Cancel)->click();
        QCOMPARE(caption("Label3"), QString("X:  40"));
        QCOMPARE(m_messages, QStringList());
        return;
    }
    // The view and the labels follow at once.
    QCOMPARE(caption("Label3"), QString("X:  160"));
    QCOMPARE(caption("Label4"), QString("Y:  120"));

    buttons->button(accepted ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel)->click();
    QVERIFY(!dialog->isVisible());
    QCOMPARE(m_messages, QStringList());
    QCOMPARE(caption("Label3"), kept ? QString("X:  160") : QString("X:  40"));
    QCOMPARE(caption("Label4"), kept ? QString("Y:  120") : QString("Y:  30"));
    click("Command2");
    QVERIFY2(areaText().startsWith(kept ? "Picture:\nData &H" : "Picture:\nData &B"),
             qPrintable(areaText().left(30)));
}

QTEST_MAIN(TavroTest)
#include "tavro_test.moc"
