#include "bmpwriter.h"
#include "picturesurface.h"
#include "scriptedpump.h"
#include "tablebuilder.h"
#include "tablerun.h"
#include "tablesettingsdialog.h"
#include "tavro.h"
#include "testcadence.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDropEvent>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

#ifdef Q_OS_UNIX
#include <sys/stat.h> // mkfifo
#endif

#include <functional>
#include <memory>
#include <new>
#include <stdexcept>

using namespace quenzil;

namespace {

using testsupport::ScriptedPump;

// Saves a picture as a BMP file and returns its path; the empty text if that fails.
QString saveBitmap(const QString &path, const testsupport::TestPicture &picture)
{
    return testsupport::saveBmp(path.toStdU16String(), picture) ? path : QString();
}

// The table the core builds in memory from a copy of the picture, with the same thing done to
// that copy and text at the same pixel: what the window's area must show.
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

    Picture source;
    StringTableOutput output;
    ProgressCounter progress;

    void run(int at, const std::function<void()> &action)
    {
        ScriptedPump pump;
        pump.actions[at] = action;
        TableBuilder(source, output, progress, pump).run();
    }
    QString text() const { return QString::fromStdString(std::string(output.text())); }
};

// Thrown by the model's pump where the window's run is stopped.
struct Stop
{
};

} // namespace

class TavroTest : public QObject
{
    Q_OBJECT

private slots:
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
    void tableMatchesCore_data();
    void tableMatchesCore();
    void midRun_data();
    void midRun();
    void closingStopsEveryRun_data();
    void closingStopsEveryRun();
    void closingEndsTheEventLoop();
    void failureIsReported();
    void areaFull_data();
    void areaFull();
    void typedLettersAreKept_data();
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
    void openFilters();
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
        return saveBitmap(m_dir->filePath(name),
                          testsupport::makePicture(width, height, testsupport::patternColour));
    }
    QString areaText() { return quenzil::tableText(*area()); }
    QPlainTextEdit *area() { return control<QPlainTextEdit>("RichTextBox1"); }
    QString caption(const char *label) { return control<QLabel>(label)->text(); }
    // Opens the text area's menu and returns its entry with this text.
    QAction *menuEntry(const QString &text)
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
    // The picture's menu entry with this text.
    QAction *pictureEntry(const QString &text)
    {
        for (QAction *action : control<QWidget>("Picture1")->actions()) {
            if (action->text() == text)
                return action;
        }
        qFatal("no picture menu entry %s", qPrintable(text));
    }
    void click(const char *name)
    {
        QTest::mouseClick(control<QAbstractButton>(name), Qt::LeftButton);
    }
    // Acts once, the first time any run has done `pixel` pixels.
    void actAtPixel(double pixel, std::function<void()> action)
    {
        auto done = std::make_shared<bool>(false);
        m_cadence.atPass = [=](double pixels) {
            if (pixels == pixel && !*done) {
                *done = true;
                action();
            }
        };
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    testsupport::TestCadence m_cadence;
    std::unique_ptr<Tavro> m_window;
    QString m_chosen;
    QStringList m_failures;
};

void TavroTest::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_cadence = testsupport::TestCadence();
    m_window = std::make_unique<Tavro>(nullptr, &m_cadence);
    m_chosen.clear();
    m_failures.clear();
    m_window->setFileChooser([this](QWidget *) { return m_chosen; });
    m_window->setFailureReporter([this](QWidget *, const QString &text) { m_failures << text; });
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

void TavroTest::cleanup()
{
    m_window.reset();
    m_dir.reset();
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
    QTest::newRow("a directory") << "." << false;
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

    const auto wide = testsupport::makePicture(77, 3, testsupport::patternColour);
    saveBitmap(m_dir->filePath("wide.bmp"), wide);
    saveBitmap(m_dir->filePath("wide.txt"), wide);
    QFile notes(m_dir->filePath("notes.bmp"));
    QVERIFY(notes.open(QIODevice::WriteOnly));
    notes.write("not a picture\n");
    notes.close();
#ifdef Q_OS_UNIX
    QCOMPARE(mkfifo(QFile::encodeName(m_dir->filePath("fifo.bmp")).constData(), 0600), 0);
#endif

    m_chosen = picture("first.bmp", 16, 8);
    click("Command1");
    QCOMPARE(caption("Label3"), QString("X:  16"));
    QCOMPARE(caption("Label4"), QString("Y:  8"));
    area()->setPlainText("kept");

    m_chosen = chosen.isEmpty() ? QString() : m_dir->filePath(chosen);
    click("Command1");

    QCOMPARE(caption("Label3"), loads ? QString("X:  77") : QString("X:  16"));
    QCOMPARE(caption("Label4"), loads ? QString("Y:  3") : QString("Y:  8"));
    QCOMPARE(m_window->surface().width(), loads ? 77.0 : 16.0);
    QCOMPARE(m_window->surface().height(), loads ? 3.0 : 8.0);
    QCOMPARE(area()->toPlainText(), QString("kept"));
    QCOMPARE(caption("Label2"), QString());
    QVERIFY(m_failures.isEmpty()); // a failed load says nothing
}

void TavroTest::dropLoads_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("isFile");

    QTest::newRow("file on the window") << "window" << true;
    QTest::newRow("file on the text area") << "area" << true;
    QTest::newRow("web address on the window") << "window" << false;
}

void TavroTest::dropLoads()
{
    QFETCH(QString, target);
    QFETCH(bool, isFile);

    const QString path = picture("dropped.bmp", 5, 4);
    QMimeData data;
    data.setUrls({isFile ? QUrl::fromLocalFile(path) : QUrl("https://example.org/x.bmp")});
    QWidget *receiver =
        target == "window" ? static_cast<QWidget *>(m_window.get()) : area()->viewport();
    const QPoint where(10, 10);
    QDragEnterEvent enter(where, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(receiver, &enter);
    QCOMPARE(enter.isAccepted(), isFile);
    QDropEvent drop(where, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(receiver, &drop);

    QCOMPARE(caption("Label3"), isFile ? QString("X:  5") : QString());
    QCOMPARE(caption("Label4"), isFile ? QString("Y:  4") : QString());
    QCOMPARE(area()->toPlainText(), QString("RichTextBox1")); // no file name pasted
}

void TavroTest::invertOnEveryClick()
{
    m_chosen = picture("p.bmp", 3, 2);
    click("Command1");
    const ColourValue loaded = m_window->surface().colourAt(2, 1);
    auto *box = control<QCheckBox>("Check1");
    for (int clicks = 1; clicks <= 4; ++clicks) {
        click("Check1");
        const bool odd = clicks % 2 == 1;
        QCOMPARE(box->isChecked(), odd);
        QCOMPARE(m_window->surface().colourAt(2, 1), odd ? ~loaded & 0xFFFFFFu : loaded);
    }
    // A click that unchecks the box inverts as well, and a load neither clears it nor inverts.
    click("Check1");
    click("Command1");
    QVERIFY(box->isChecked());
    QCOMPARE(m_window->surface().colourAt(2, 1), loaded);
}

void TavroTest::tableText()
{
    // Two rows of three: red, green, blue / white, black, grey. Rows do not start lines.
    const ColourValue colours[2][3] = {
        {colourFromRgb(255, 0, 0), colourFromRgb(0, 255, 0), colourFromRgb(0, 0, 255)},
        {colourFromRgb(255, 255, 255), colourFromRgb(0, 0, 0), colourFromRgb(128, 128, 128)}};
    saveBitmap(m_dir->filePath("six.bmp"),
               testsupport::makePicture(3, 2, [&](int x, int y) { return colours[y][x]; }));
    m_chosen = m_dir->filePath("six.bmp");
    click("Command1");
    click("Command2");
    QCOMPARE(areaText(), QString("Picture:\r\n"
                                 "Data &B11100000 , &B00011100 , &B00000011 , &B11111111 , "
                                 "&B00000000 , &B10010010"));
    QCOMPARE(caption("Label2"), QString("Pixel:  6"));
}

void TavroTest::tableMatchesCore_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("intervalMs");

    QTest::newRow("1 x 1") << QSize(1, 1) << 10;
    QTest::newRow("8 x 1") << QSize(8, 1) << 10;
    QTest::newRow("3 x 3, pass after every pixel") << QSize(3, 3) << 0;
    QTest::newRow("16 x 8") << QSize(16, 8) << 10;
    QTest::newRow("60 x 20, pass after every pixel") << QSize(60, 20) << 0;
    // Hundreds of lines in one flush: the area groups them into blocks.
    QTest::newRow("100 x 40, one flush") << QSize(100, 40) << 10000;
}

void TavroTest::tableMatchesCore()
{
    QFETCH(QSize, size);
    QFETCH(int, intervalMs);

    m_cadence.interval = intervalMs;
    m_chosen = picture("p.bmp", size.width(), size.height());
    click("Command1");
    const std::string expected = buildTableText(m_window->surface());
    // Twice: the second run replaces the first's text.
    for (int run = 0; run < 2; ++run) {
        click("Command2");
        QCOMPARE(areaText(), QString::fromStdString(expected));
        QCOMPARE(caption("Label2"), "Pixel:  " + QString::number(size.width() * size.height()));
    }
    // Copied out, each data line ends in one line break.
    QCOMPARE(area()->toPlainText().count('\n'), QString::fromStdString(expected).count("\r\n"));
}

// What the user does between two pixels, and its model on the in-memory copy.
void TavroTest::midRun_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("pixel");

    QTest::newRow("typing at the end") << "type" << 5;
    QTest::newRow("typing just before a line break") << "type" << 8;
    QTest::newRow("typing a line break") << "return" << 3;
    QTest::newRow("emptying the area") << "clear" << 9;
    QTest::newRow("Invers") << "invert" << 6;
    QTest::newRow("Load Bitmap of a wider picture") << "load" << 4;
    QTest::newRow("Load Bitmap, cancelled") << "cancel" << 4;
    QTest::newRow("a second RGB-Tabelle") << "table" << 7;
    QTest::newRow("a second RGB-Tabelle at the last pixel") << "table" << 20;
}

void TavroTest::midRun()
{
    QFETCH(QString, action);
    QFETCH(int, pixel);

    const QString first = picture("first.bmp", 5, 4);
    const QString other = picture("other.bmp", 7, 9);
    m_chosen = first;
    click("Command1");
    m_cadence.interval = 0;

    ExpectedRun model;
    QVERIFY(model.source.load(first));
    std::function<void()> modelAction;
    std::function<void()> userAction;
    if (action == "type") {
        modelAction = [&] { model.output.append("XY"); };
        userAction = [&] {
            area()->moveCursor(QTextCursor::End);
            QTest::keyClicks(area(), "XY");
        };
    } else if (action == "return") {
        modelAction = [&] { model.output.append("\r\n"); };
        userAction = [&] {
            area()->moveCursor(QTextCursor::End);
            QTest::keyClick(area(), Qt::Key_Return);
        };
    } else if (action == "clear") {
        modelAction = [&] { model.output.setText(""); };
        userAction = [&] {
            area()->selectAll();
            QTest::keyClick(area(), Qt::Key_Delete);
        };
    } else if (action == "invert") {
        modelAction = [&] { model.source.invert(); };
        userAction = [&] { click("Check1"); };
    } else if (action == "load" || action == "cancel") {
        modelAction = [&] {
            if (action == "load")
                model.source.load(other);
        };
        userAction = [&] {
            m_chosen = action == "load" ? other : QString();
            click("Command1");
        };
    } else if (action == "table") {
        modelAction = [&] {
            ProgressCounter innerProgress;
            NoEventPump noPump;
            TableBuilder(model.source, model.output, innerProgress, noPump).run();
        };
        userAction = [&] { click("Command2"); };
    }
    model.run(pixel, modelAction);
    actAtPixel(pixel, userAction);

    click("Command2");

    QCOMPARE(areaText(), model.text());
    // The outer run finishes with its own count.
    QCOMPARE(caption("Label2"), "Pixel:  " + QString::number(model.progress.count()));
    QVERIFY(m_failures.isEmpty());
    QCOMPARE(m_window->runControl().activeRuns(), 0);
}

void TavroTest::closingStopsEveryRun_data()
{
    QTest::addColumn<int>("pixel");
    QTest::addColumn<int>("innerPixel"); // 0: no second run

    QTest::newRow("one run") << 11 << 0;
    QTest::newRow("a run inside a run") << 11 << 3;
}

void TavroTest::closingStopsEveryRun()
{
    QFETCH(int, pixel);
    QFETCH(int, innerPixel);

    m_chosen = picture("p.bmp", 6, 5);
    click("Command1");
    m_cadence.interval = 0;

    // The window's run stops right after processing the close.
    ExpectedRun model;
    QVERIFY(model.source.load(m_chosen));
    try {
        model.run(pixel, [&] {
            if (innerPixel == 0)
                throw Stop();
            try {
                ProgressCounter innerProgress;
                ScriptedPump innerPump;
                innerPump.actions[innerPixel] = [] { throw Stop(); };
                TableBuilder(model.source, model.output, innerProgress, innerPump).run();
            } catch (const Stop &) {
            }
            throw Stop();
        });
        QFAIL("the model run was not stopped");
    } catch (const Stop &) {
    }

    int outerPasses = 0;
    m_cadence.atPass = [&](double pixels) {
        if (m_window->runControl().activeRuns() == 1) {
            ++outerPasses;
            if (pixels != pixel)
                return;
            if (innerPixel == 0)
                m_window->close();
            else
                click("Command2");
        } else if (pixels == innerPixel) {
            m_window->close();
        }
    };
    click("Command2");

    QVERIFY(!m_window->isVisible());
    QCOMPARE(outerPasses, pixel);
    QCOMPARE(m_window->runControl().activeRuns(), 0);
    QCOMPARE(areaText(), model.text());
    QCOMPARE(caption("Label2"), "Pixel:  " + QString::number(innerPixel ? innerPixel : pixel));

    // Shown again, the window runs tables as before.
    m_cadence.atPass = nullptr;
    m_window->show();
    click("Command2");
    QCOMPARE(areaText(), QString::fromStdString(buildTableText(m_window->surface())));
}

// As in the program: closing the window mid-run ends the event loop with exit code 0.
void TavroTest::closingEndsTheEventLoop()
{
    m_chosen = picture("p.bmp", 40, 40);
    click("Command1");
    m_cadence.interval = 0;
    double lastPass = 0;
    m_cadence.atPass = [&](double pixels) {
        lastPass = pixels;
        if (pixels == 100)
            m_window->close();
    };
    QTimer::singleShot(0, this, [this] { click("Command2"); });
    // Should the loop not end, this ends it with a code the test rejects.
    QTimer::singleShot(30000, this, [] { QCoreApplication::exit(99); });
    QCOMPARE(QCoreApplication::exec(), 0);
    QCOMPARE(lastPass, 100.0);
    QCOMPARE(m_window->runControl().activeRuns(), 0);
}

void TavroTest::failureIsReported()
{
    m_chosen = picture("p.bmp", 4, 4);
    click("Command1");
    m_cadence.interval = 0;
    actAtPixel(10, [] { throw std::bad_alloc(); });

    ExpectedRun model;
    QVERIFY(model.source.load(m_chosen));
    try {
        model.run(10, [] { throw Stop(); });
    } catch (const Stop &) {
    }

    click("Command2");
    QCOMPARE(m_failures, QStringList{QString::fromLatin1(std::bad_alloc().what())});
    QCOMPARE(areaText(), model.text()); // the text written so far stays
    QCOMPARE(caption("Label2"), QString("Pixel:  10"));
    QCOMPARE(m_window->runControl().activeRuns(), 0);

    // The program goes on.
    m_cadence.atPass = nullptr;
    click("Command2");
    QCOMPARE(areaText(), QString::fromStdString(buildTableText(m_window->surface())));
}

// A run whose next text would take the area past its limit stops as a failure does, and the runs
// around it stop with it: the text so far stays, and one message tells of the limit.
void TavroTest::areaFull_data()
{
    QTest::addColumn<QList<int>>("nestAt"); // the pixel at which each run starts the next one
    QTest::addColumn<int>("fullDepth");     // the run that fills the area, 0 the outermost
    QTest::addColumn<int>("limit");

    // The table of 6 x 5 pixels takes 411 characters of the area.
    QTest::newRow("one run") << QList<int>{} << 0 << 200;
    QTest::newRow("a run inside a run") << QList<int>{3} << 1 << 200;
    QTest::newRow("three levels") << QList<int>{3, 5} << 2 << 200;
    QTest::newRow("the outer run after the inner one ended") << QList<int>{3} << 0 << 500;
}

void TavroTest::areaFull()
{
    QFETCH(QList<int>, nestAt);
    QFETCH(int, fullDepth);
    QFETCH(int, limit);

    m_chosen = picture("p.bmp", 6, 5);
    click("Command1");
    m_cadence.interval = 0;
    m_cadence.limit = std::size_t(limit);
    m_cadence.atPass = [&](double pixels) {
        const int depth = m_window->runControl().activeRuns() - 1;
        if (depth < nestAt.size() && pixels == nestAt[depth])
            click("Command2");
    };
    click("Command2");

    QCOMPARE(m_failures, QStringList{TextAreaFull(std::size_t(limit)).what()});
    QVERIFY(m_failures.first().contains(QString::number(limit)));
    QVERIFY(area()->document()->characterCount() <= limit);
    QCOMPARE(m_window->runControl().activeRuns(), 0);
    // The area shows the text up to the pixel the label counts; the model stops there.
    const int shown = caption("Label2").mid(7).trimmed().toInt();
    ExpectedRun model;
    QVERIFY(model.source.load(m_chosen));
    std::function<void(int)> modelRun = [&](int depth) {
        ScriptedPump pump;
        if (depth < nestAt.size())
            pump.actions[nestAt[depth]] = [&, depth] { modelRun(depth + 1); };
        if (depth == fullDepth)
            pump.actions[shown] = [] { throw Stop(); };
        ProgressCounter progress;
        TableBuilder(model.source, model.output, progress, pump).run();
    };
    try {
        modelRun(0);
        QFAIL("the model run was not stopped");
    } catch (const Stop &) {
    }
    QCOMPARE(areaText(), model.text());

    // The program goes on.
    m_cadence = testsupport::TestCadence();
    click("Command2");
    QCOMPARE(areaText(), QString::fromStdString(buildTableText(m_window->surface())));
    QCOMPARE(m_failures.size(), 1);
}

// Letters typed at the end of the area during a run stay where they were typed, wherever in a
// line the run is then: the run goes on after them and never takes them away.
void TavroTest::typedLettersAreKept_data()
{
    QTest::addColumn<int>("place"); // entries on the line when the user types; 0: after the last

    for (int place = 1; place <= 8; ++place)
        QTest::addRow("after entry %d", place) << place;
    QTest::newRow("after the last pixel") << 0;
}

void TavroTest::typedLettersAreKept()
{
    QFETCH(int, place);

    m_chosen = picture("p.bmp", 7, 5);
    click("Command1");
    m_cadence.interval = 0;
    int typed = 0;
    m_cadence.atPass = [&](double pixels) {
        const bool due = place == 0 ? pixels == 35 : (int(pixels) - 1) % 8 + 1 == place;
        if (due) {
            area()->moveCursor(QTextCursor::End);
            QTest::keyClicks(area(), "#");
            ++typed;
        }
    };
    click("Command2");

    QVERIFY(typed > 0);
    QString text = areaText();
    QCOMPARE(text.count('#'), typed);
    // Without the letters, the lines the run wrote are the table.
    text.remove('#');
    QCOMPARE(text, QString::fromStdString(buildTableText(m_window->surface())));
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
    QTest::addColumn<QSize>("loaded"); // empty: the first picture stays
    QTest::addColumn<QString>("text");

    const QSize none;
    for (const char *via : {"Ctrl+V", "menu"}) {
        const auto row = [via](const char *name) -> QTestData & {
            return QTest::addRow("%s, %s", name, via);
        };
        row("image data") << "image"
                          << "area" << via << true << QSize(5, 4) << "RichTextBox1";
        row("a picture file") << "file"
                              << "area" << via << true << QSize(6, 3) << "RichTextBox1";
        row("a damaged picture file") << "damaged"
                                      << "area" << via << true << none << "RichTextBox1";
        row("nothing") << ""
                       << "area" << via << false << none << "RichTextBox1";
#ifdef Q_OS_UNIX
        // Looked at without waiting for a writer; as any file that is no picture, Ctrl+V leaves
        // it to the area, which pastes its address.
        row("a copied FIFO") << "fifo"
                             << "area" << via << false << none
                             << (via == QLatin1String("menu") ? "RichTextBox1"
                                                              : "RichTextBox1%fifo");
#endif
    }
    QTest::newRow("image data, focus on a button")
        << "image"
        << "Command1"
        << "Ctrl+V" << true << QSize(5, 4) << "RichTextBox1";
    QTest::newRow("text, focus in the area") << "text"
                                             << "area"
                                             << "Ctrl+V" << false << none << "RichTextBox1pasted";
    QTest::newRow("text, focus on a button") << "text"
                                             << "Command1"
                                             << "Ctrl+V" << false << none << "RichTextBox1";
}

void TavroTest::pastePicture()
{
    QFETCH(QString, clipboard);
    QFETCH(QString, focus);
    QFETCH(QString, via);
    QFETCH(bool, offered);
    QFETCH(QSize, loaded);
    QFETCH(QString, text);

    m_chosen = picture("first.bmp", 2, 2);
    click("Command1");
    click("Check1"); // a paste neither clears the box nor inverts the new picture
    const ColourValue before = m_window->surface().colourAt(1, 1);
    ColourValue expected = before;
    auto *data = new QMimeData;
    if (clipboard == "image") {
        QImage image(5, 4, QImage::Format_RGB32);
        image.fill(qRgb(200, 100, 50));
        data->setImageData(image);
        expected = colourFromRgb(200, 100, 50);
    } else if (clipboard == "file") {
        data->setUrls({QUrl::fromLocalFile(picture("copied.bmp", 6, 3))});
        expected = testsupport::patternColour(1, 1);
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

    const QSize shown = loaded.isEmpty() ? QSize(2, 2) : loaded;
    QCOMPARE(caption("Label3"), "X:  " + QString::number(shown.width()));
    QCOMPARE(caption("Label4"), "Y:  " + QString::number(shown.height()));
    QCOMPARE(m_window->surface().colourAt(1, 1), expected);
    QVERIFY(control<QCheckBox>("Check1")->isChecked());
    QCOMPARE(area()->toPlainText(), text);
    QVERIFY(m_failures.isEmpty()); // a failed paste says nothing
}

// Ctrl+S and "Save table..." write the area's text as the table has it, whole or not at all.
void TavroTest::saveTable_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("via");
    QTest::addColumn<int>("atPixel"); // 0: after the run
    QTest::addColumn<bool>("saved");

    QTest::newRow("after a run, Ctrl+S") << "table.bas"
                                         << "Ctrl+S" << 0 << true;
    QTest::newRow("after a run, menu") << "table.bas"
                                       << "menu" << 0 << true;
    QTest::newRow("during a run") << "table.bas"
                                  << "Ctrl+S" << 11 << true;
    QTest::newRow("over an earlier file") << "old.txt"
                                          << "Ctrl+S" << 0 << true;
    QTest::newRow("cancelled") << ""
                               << "Ctrl+S" << 0 << false;
    QTest::newRow("into a missing folder") << "missing/table.bas"
                                           << "Ctrl+S" << 0 << false;
    QTest::newRow("onto a folder") << "folder"
                                   << "menu" << 0 << false;
}

void TavroTest::saveTable()
{
    QFETCH(QString, target);
    QFETCH(QString, via);
    QFETCH(int, atPixel);
    QFETCH(bool, saved);

    QVERIFY(QDir(m_dir->path()).mkdir("folder"));
    QFile old(m_dir->filePath("old.txt"));
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("an earlier table that is longer than the new one, " + QByteArray(1000, 'x'));
    old.close();
    m_chosen = picture("p.bmp", 6, 5);
    click("Command1");
    const QStringList before = QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::Hidden);

    const QString path = target.isEmpty() ? QString() : m_dir->filePath(target);
    int chooserCalls = 0;
    m_window->setSaveChooser([&](QWidget *) {
        ++chooserCalls;
        return path;
    });
    const auto save = [&] {
        if (via == "menu")
            menuEntry("Save table...")->trigger();
        else
            QTest::keySequence(area(), QKeySequence::Save); // the area has the focus
    };
    m_window->activateWindow();
    area()->setFocus();
    QTRY_VERIFY(area()->hasFocus());
    m_cadence.interval = 0;
    if (atPixel)
        actAtPixel(atPixel, save);
    click("Command2");
    if (!atPixel)
        save();
    if (QWidget *menu = QApplication::activePopupWidget())
        menu->close();
    QCOMPARE(chooserCalls, 1);

    // The table exactly as the area holds it, or at the pixel where it was saved.
    ExpectedRun model;
    QVERIFY(model.source.load(m_chosen));
    if (atPixel) {
        try {
            model.run(atPixel, [] { throw Stop(); });
        } catch (const Stop &) {
        }
    } else {
        model.run(0, {});
    }
    QFile file(path);
    if (saved) {
        QVERIFY(m_failures.isEmpty());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), model.text().toUtf8());
    } else {
        QCOMPARE(m_failures.size(), path.isEmpty() ? 0 : 1);
        if (!path.isEmpty())
            QVERIFY2(m_failures.first().contains(QDir::toNativeSeparators(path)),
                     qPrintable(m_failures.first()));
        // Nothing half-written: the folder holds what it held, and no file was made.
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::Hidden), before);
        QVERIFY(QFileInfo(m_dir->filePath("folder")).isDir());
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

    QTimer::singleShot(0, this, [&] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        dialog->setDirectory(m_dir->path());
        // As a user picks the kind: with the keyboard in the list of kinds.
        auto *kinds = dialog->findChild<QComboBox *>("fileTypeCombo");
        QVERIFY(kinds);
        kinds->setFocus();
        for (int step = 0; step < kind; ++step)
            QTest::keyClick(kinds, Qt::Key_Down);
        auto *name = dialog->findChild<QLineEdit *>("fileNameEdit");
        QVERIFY(name);
        name->setText(typed);
        QTest::keyClick(name, Qt::Key_Return);
    });
    QCOMPARE(chooseSaveFile(m_window.get()), m_dir->filePath(chosen));
}

void TavroTest::openFilters()
{
    const QStringList filters = pictureFilters();
    QCOMPARE(filters.size(), 3);
    QCOMPARE(filters.first(), QString("*.bmp"));
    for (const char *pattern : {"*.bmp", "*.png", "*.jpg", "*.gif"})
        QVERIFY2(filters.at(1).split(QRegularExpression("[ ()]")).contains(pattern), pattern);
    QCOMPARE(filters.last(), QString("All files (*)"));
}

// With the same settings, the window's table is quenzil-table's to the byte, and its view and
// preview are the command's preview to the pixel.
void TavroTest::matchesTheCommand_data()
{
    QTest::addColumn<QStringList>("options"); // as typed for the command
    QTest::addColumn<int>("inverts");

    QTest::newRow("defaults") << QStringList{} << 0;
    QTest::newRow("defaults, inverted") << QStringList{} << 1;
    QTest::newRow("fit, padded over a background")
        << QStringList{"--fit=16x12", "--pad", "--background=3366CC"} << 0;
    QTest::newRow("fit larger, inverted") << QStringList{"--fit=60x40"} << 1;
    QTest::newRow("stretch, nearest pixels, ordered dither, hexadecimal")
        << QStringList{"--stretch=20x9", "--resample=nearest", "--dither=ordered", "--radix=hex"}
        << 0;
    QTest::newRow("diffusion, decimal, five a line, a size line")
        << QStringList{"--dither=diffuse", "--radix=dec", "--per-line=5", "--size-line"} << 1;
    QTest::newRow("nearest colours, row lines, run-length pairs, a label")
        << QStringList{"--nearest", "--row-lines", "--rle", "--per-line=6", "--label=Logo"} << 0;
}

void TavroTest::matchesTheCommand()
{
    QFETCH(QStringList, options);
    QFETCH(int, inverts);

    // Partly transparent, so that the background counts.
    QImage source(37, 23, QImage::Format_ARGB32);
    for (int y = 0; y < source.height(); ++y) {
        for (int x = 0; x < source.width(); ++x)
            source.setPixel(x, y, qRgba(x * 7, y * 11, (x * y) % 256, x < 5 ? 40 * x : 255));
    }
    const QString path = m_dir->filePath("picture.png");
    QVERIFY(source.save(path));

    std::vector<NamedValue> values;
    for (const QString &option : options) {
        const QString name = option.mid(2).section('=', 0, 0);
        const QString value = option.contains('=') ? option.section('=', 1) : "true";
        values.push_back({name.toStdString(), value.toStdString()});
    }
    Options given;
    QCOMPARE(applySettings(given, values, {Reach::Setting}), std::vector<Refusal>{});
    const TableSettings &settings = given.table;
    // The settings change what a loaded picture shows.
    QAction *savePreview = pictureEntry("Save preview...");
    QVERIFY(!savePreview->isEnabled()); // nothing to save yet
    m_chosen = path;
    click("Command1");
    QVERIFY(m_window->setTableSettings(settings));
    for (int i = 0; i < inverts; ++i)
        click("Check1");
    click("Command2");
    const QString preview = m_dir->filePath("window.png");
    m_window->setPreviewChooser([&](QWidget *) { return preview; });
    savePreview->trigger();
    QVERIFY(m_failures.isEmpty());

    QProcess command;
    const QString commandPreview = m_dir->filePath("command.png");
    QStringList arguments = options;
    if (inverts % 2)
        arguments << "--invert";
    command.start(QStringLiteral(QUENZIL_TABLE_PROGRAM),
                  arguments << "--preview=" + commandPreview << path);
    QVERIFY(command.waitForFinished(60000));
    QCOMPARE(command.readAllStandardError(), QByteArray());
    QCOMPARE(command.exitCode(), 0);

    QCOMPARE(areaText().toUtf8(), command.readAllStandardOutput());
    const QImage expected = QImage(commandPreview).convertToFormat(QImage::Format_RGB32);
    QCOMPARE(QImage(preview).convertToFormat(QImage::Format_RGB32), expected);
    QCOMPARE(caption("Label3"), "X:  " + QString::number(expected.width()));
    QCOMPARE(caption("Label4"), "Y:  " + QString::number(expected.height()));
    // With a display setting on, the view shows the preview; without, the picture as loaded.
    const QImage shown = m_window->surface().image().convertToFormat(QImage::Format_RGB32);
    if (settings.preparation.changesPicture())
        QCOMPARE(shown, expected);
    else
        QCOMPARE(shown.size(), source.size());
}

// Ctrl+T and "Table settings..." in both menus open the dialog; the view follows its controls at
// once, OK keeps the settings (settingsstore_test: for the next starts too), Cancel goes back.
void TavroTest::settingsDialog_data()
{
    QTest::addColumn<QString>("via");
    QTest::addColumn<bool>("accepted");

    for (const char *via : {"Ctrl+T", "area menu", "picture menu"}) {
        QTest::addRow("%s, OK", via) << via << true;
        QTest::addRow("%s, Cancel", via) << via << false;
    }
}

void TavroTest::settingsDialog()
{
    QFETCH(QString, via);
    QFETCH(bool, accepted);

    m_chosen = picture("p.bmp", 40, 30);
    click("Command1");
    if (via == "Ctrl+T") {
        m_window->activateWindow();
        QTest::keySequence(m_window.get(), QKeySequence(Qt::CTRL | Qt::Key_T));
    } else if (via == "area menu") {
        menuEntry("Table settings...")->trigger();
        if (QWidget *menu = QApplication::activePopupWidget())
            menu->close();
    } else {
        pictureEntry("Table settings...")->trigger();
    }
    auto *dialog = m_window->findChild<TableSettingsDialog *>();
    QVERIFY(dialog);
    QTRY_VERIFY(dialog->isVisible());

    dialog->findChild<QComboBox *>("sizeBox")->setCurrentText("160 x 128");
    dialog->findChild<QComboBox *>("radixBox")->setCurrentIndex(1); // hexadecimal
    // The view and the labels follow at once.
    QCOMPARE(caption("Label3"), QString("X:  160"));
    QCOMPARE(caption("Label4"), QString("Y:  120"));
    QCOMPARE(m_window->tableSettings().format.radix, Radix::hexadecimal);

    auto *buttons = dialog->findChild<QDialogButtonBox *>("buttons");
    buttons->button(accepted ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel)->click();
    QVERIFY(!dialog->isVisible());
    const TableSettings now = m_window->tableSettings();
    QCOMPARE(now.format.radix, accepted ? Radix::hexadecimal : Radix::binary);
    QCOMPARE(caption("Label3"), accepted ? QString("X:  160") : QString("X:  40"));
    QCOMPARE(m_window->surface().width(), accepted ? 160.0 : 40.0);
}

QTEST_MAIN(TavroTest)
#include "tavro_test.moc"
