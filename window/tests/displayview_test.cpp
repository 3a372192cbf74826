// The display's pixels at the display's size: the window's picture at its zooms and as the
// window grows, the settings dialog's preview, and the zoom kept between starts. What the window
// shows is held to quenzil-table's preview of the same settings.
#include "pictureview.h"
#include "settingsof.h"
#include "settingsstore.h"
#include "tablerun.h"
#include "tavro.h"

#include <QClipboard>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>

#include <memory>

using namespace quenzil;

namespace {

// Each pixel a zoom x zoom square, counted out here rather than scaled by Qt.
QImage enlarged(const QImage &picture, int zoom)
{
    QImage result(picture.size() * zoom, QImage::Format_RGB32);
    for (int y = 0; y < result.height(); ++y)
        for (int x = 0; x < result.width(); ++x)
            result.setPixel(x, y, picture.pixel(x / zoom, y / zoom) | 0xFF000000u);
    return result;
}

// "--fit=24x16", "--pad" as settings.
TableSettings settingsOfOptions(const QStringList &options)
{
    QString lines;
    for (const QString &option : options)
        lines += option.mid(2) + (option.contains('=') ? "\n" : "=true\n");
    return settingsOf(lines);
}

} // namespace

class DisplayViewTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void zoomShowsTheCommandsPixels_data();
    void zoomShowsTheCommandsPixels();
    void zoomSteps_data();
    void zoomSteps();
    void growsWithTheWindow();
    void previewFollowsTheControls_data();
    void previewFollowsTheControls();
    void zoomIsKept_data();
    void zoomIsKept();

private:
    // A smooth photo-like picture of `size`, saved as a PNG.
    QString photo(QSize size);
    // quenzil-table's preview and the length of its table, for the picture and options.
    QImage commandPreview(const QStringList &options, const QString &picture,
                          QByteArray *table = nullptr);
    QScrollArea *view() { return m_window->findChild<QScrollArea *>("Picture1"); }
    QImage shown()
    {
        return view()->widget()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    }
    QAction *zoomEntry(const QString &text);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Tavro> m_window;
    QTemporaryDir m_config;
};

void DisplayViewTest::initTestCase()
{
    QVERIFY(m_config.isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path()));
}

void DisplayViewTest::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_window = std::make_unique<Tavro>();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

void DisplayViewTest::cleanup()
{
    m_window.reset();
    m_dir.reset();
}

QString DisplayViewTest::photo(QSize size)
{
    QImage picture(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            picture.setPixel(
                x, y,
                qRgb(40 + 200 * x / size.width(), 90 + 150 * y / size.height(), (x * y) % 256));
    const QString path = m_dir->filePath(QStringLiteral("photo.png"));
    return picture.save(path) ? path : QString();
}

QImage DisplayViewTest::commandPreview(const QStringList &options, const QString &picture,
                                       QByteArray *table)
{
    const QString preview = m_dir->filePath(QStringLiteral("command.png"));
    QProcess command;
    command.start(QStringLiteral(QUENZIL_TABLE_PROGRAM), QStringList(options)
                                                             << "--preview=" + preview << picture);
    if (!command.waitForFinished(60000) || command.exitCode() != 0)
        qFatal("quenzil-table failed: %s", command.readAllStandardError().constData());
    if (table)
        *table = command.readAllStandardOutput();
    return QImage(preview).convertToFormat(QImage::Format_RGB32);
}

QAction *DisplayViewTest::zoomEntry(const QString &text)
{
    // The picture's menu, and the steps in its submenu.
    QList<QAction *> entries = view()->actions();
    for (QAction *entry : view()->actions()) {
        if (entry->menu())
            entries += entry->menu()->actions();
    }
    for (QAction *entry : entries) {
        if (entry->text() == text)
            return entry;
    }
    qFatal("no picture menu entry %s", qPrintable(text));
}

// At every step each pixel of the picture is a square of zoom x zoom screen pixels: with a
// display setting on, the command's preview enlarged; without, the picture as loaded. The
// window's table is the command's.
void DisplayViewTest::zoomShowsTheCommandsPixels_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<int>("zoom");

    QTest::newRow("no setting, 2x") << QStringList{} << "2x" << 2;
    QTest::newRow("fill and crop, diffuse dither, 2x")
        << QStringList{"--fill=24x16", "--dither=diffuse"} << "2x" << 2;
    QTest::newRow("fit and pad over a background, 3x")
        << QStringList{"--fit=20x20", "--pad", "--background=3366CC"} << "3x" << 3;
    QTest::newRow("fill taller than the picture, nearest colours, hexadecimal pairs, 1x")
        << QStringList{"--fill=20x40", "--nearest", "--radix=hex", "--rle"} << "1x" << 1;
    QTest::newRow("stretch, ordered dither, 8x, scrolled")
        << QStringList{"--stretch=30x12", "--dither=ordered"} << "8x" << 8;
}

void DisplayViewTest::zoomShowsTheCommandsPixels()
{
    QFETCH(QStringList, options);
    QFETCH(QString, entry);
    QFETCH(int, zoom);

    const QString path = photo({45, 30});
    QVERIFY(m_window->loadFile(path));
    QVERIFY(m_window->setTableSettings(settingsOfOptions(options)));
    zoomEntry(entry)->trigger();

    QByteArray table;
    const QImage preview = commandPreview(options, path, &table);
    const QImage expected =
        options.isEmpty() ? QImage(path).convertToFormat(QImage::Format_RGB32) : preview;
    QCOMPARE(shown(), enlarged(expected, zoom));
    m_window->findChild<QPushButton *>("Command2")->click();
    // The table as a user copies it out of the area: one line break a line.
    auto *area = m_window->findChild<QPlainTextEdit *>("RichTextBox1");
    area->selectAll();
    area->copy();
    QCOMPARE(QGuiApplication::clipboard()->text(),
             QString::fromUtf8(table).replace(QLatin1String("\r\n"), QLatin1String("\n")));
    QVERIFY(zoomEntry(entry)->isChecked());
    // Scroll bars where the zoomed picture is larger than the area.
    QTRY_COMPARE(view()->horizontalScrollBar()->isVisible(),
                 expected.width() * zoom > view()->viewport()->width());
    QTRY_COMPARE(view()->verticalScrollBar()->isVisible(),
                 expected.height() * zoom > view()->viewport()->height());
}

// Fit takes the largest step at which the picture fits the area (79 x 71 at the opening size),
// and scales a larger picture down; the keys, the wheel and the menu step from what is shown.
void DisplayViewTest::zoomSteps_data()
{
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QList<QSize>>("shown"); // the size drawn after each step

    QTest::newRow("a small picture, the keys")
        << QSize(16, 12) << QStringList{"", "+", "+", "+", "-", "0", "-"}
        << QList<QSize>{{64, 48}, {96, 72}, {128, 96}, {128, 96}, {96, 72}, {64, 48}, {48, 36}};
    QTest::newRow("a large picture, the wheel")
        << QSize(200, 150) << QStringList{"", "wheel+", "wheel+", "wheel-", "wheel-", "wheel-"}
        << QList<QSize>{{79, 59}, {200, 150}, {400, 300}, {200, 150}, {79, 59}, {79, 59}};
    QTest::newRow("the menu") << QSize(16, 12) << QStringList{"1x", "Fit", "Zoom out", "Zoom in"}
                              << QList<QSize>{{16, 12}, {64, 48}, {48, 36}, {64, 48}};
}

void DisplayViewTest::zoomSteps()
{
    QFETCH(QSize, picture);
    QFETCH(QStringList, steps);
    QFETCH(QList<QSize>, shown);

    QVERIFY(m_window->loadFile(photo(picture)));
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    for (qsizetype i = 0; i < steps.size(); ++i) {
        const QString &step = steps[i];
        if (step == "+" || step == "-" || step == "0") {
            const int key = step == "+" ? Qt::Key_Plus : step == "-" ? Qt::Key_Minus : Qt::Key_0;
            QTest::keySequence(m_window.get(), QKeySequence(Qt::CTRL | key));
        } else if (step.startsWith("wheel")) {
            QWidget *area = view()->viewport();
            const QPointF at = QRectF(area->rect()).center();
            QWheelEvent wheel(at, area->mapToGlobal(at), {}, {0, step.endsWith('+') ? 120 : -120},
                              Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(area, &wheel);
        } else if (!step.isEmpty()) {
            zoomEntry(step)->trigger();
        }
        QCOMPARE(view()->widget()->size(), shown[i]);
    }
}

// The picture and the text area take the room a larger window gives; the controls keep their
// column at the right, and Fit takes the larger area.
void DisplayViewTest::growsWithTheWindow()
{
    QVERIFY(m_window->loadFile(photo({16, 12})));
    QCOMPARE(view()->geometry(), QRect(4, 12, 81, 73));

    m_window->resize(1200, 850);
    QTRY_COMPARE(m_window->size(), QSize(1200, 850));
    QCOMPARE(view()->geometry(), QRect(4, 12, 81 + 318, 73 + 599));
    QCOMPARE(m_window->findChild<QWidget *>("RichTextBox1")->geometry(),
             QRect(100 + 318, 8, 349 + 318, 233 + 599));
    for (const char *name : {"Command1", "Command2", "Label1", "Check1", "Label2", "Label3"})
        QCOMPARE(m_window->findChild<QWidget *>(name)->x(), 456 + 636);
    QCOMPARE(view()->widget()->size(), QSize(128, 96));

    m_window->resize(564, 251);
    QTRY_COMPARE(view()->geometry(), QRect(4, 12, 81, 73));
    QCOMPARE(view()->widget()->size(), QSize(64, 48));
}

// The dialog's preview shows the display's pixels at 2x, or 1x where 2x does not fit its
// 480 x 480, as the command's preview has them, and the length of the command's table.
void DisplayViewTest::previewFollowsTheControls_data()
{
    QTest::addColumn<QString>("steps"); // "control=value" or "button", separated by ";"
    QTest::addColumn<QStringList>("options");

    QTest::newRow("as loaded") << "" << QStringList{};
    QTest::newRow("fill 160 x 128, diffuse dither")
        << "sizeBox=160 x 128;fillButton;coloursBox=diffuse"
        << QStringList{"--fill=160x128", "--dither=diffuse"};
    QTest::newRow("hexadecimal pairs, a size line")
        << "radixBox=hex;rleBox;sizeLineBox" << QStringList{"--radix=hex", "--rle", "--size-line"};
    QTest::newRow("stretch 300 x 200, 1x")
        << "sizeBox=Custom;widthBox=300;heightBox=200;stretchButton;radixBox=dec"
        << QStringList{"--stretch=300x200", "--radix=dec"};
}

void DisplayViewTest::previewFollowsTheControls()
{
    QFETCH(QString, steps);
    QFETCH(QStringList, options);

    const QString path = photo({90, 60});
    QVERIFY(m_window->loadFile(path));
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    QTest::keySequence(m_window.get(), QKeySequence(Qt::CTRL | Qt::Key_T));
    QTRY_VERIFY(QApplication::activeModalWidget());
    QWidget *dialog = QApplication::activeModalWidget();
    QCOMPARE(dialog->windowTitle(), QString("Table settings"));
    for (const QString &step : steps.split(';', Qt::SkipEmptyParts)) {
        const QString name = step.section('=', 0, 0);
        const QString value = step.section('=', 1);
        QWidget *control = dialog->findChild<QWidget *>(name);
        QVERIFY2(control, qPrintable(name));
        if (auto *box = qobject_cast<QComboBox *>(control))
            box->setCurrentIndex(std::max(box->findData(value), box->findText(value)));
        else if (auto *spin = qobject_cast<QSpinBox *>(control))
            spin->setValue(value.toInt());
        else
            qobject_cast<QAbstractButton *>(control)->click();
    }

    QByteArray table;
    const QImage expected = commandPreview(options, path, &table);
    const int zoom = expected.width() * 2 <= 480 && expected.height() * 2 <= 480 ? 2 : 1;
    const auto *preview = dialog->findChild<QLabel *>("previewPicture");
    QCOMPARE(preview->pixmap().toImage().convertToFormat(QImage::Format_RGB32),
             enlarged(expected, zoom));
    QCOMPARE(dialog->findChild<QLabel *>("previewFigures")->text(),
             QString("%1 x %2 pixels, %3 characters")
                 .arg(expected.width())
                 .arg(expected.height())
                 .arg(QLocale(QLocale::English).toString(table.size())));
    qobject_cast<QDialog *>(dialog)->reject();
}

// The zoom is kept in the settings file's [window], beside the table's settings.
void DisplayViewTest::zoomIsKept_data()
{
    QTest::addColumn<QByteArray>("kept");
    QTest::addColumn<int>("zoom");

    QTest::newRow("none kept") << QByteArray() << int(PictureView::fit);
    QTest::newRow("2x") << QByteArray("[window]\nzoom=2\n") << 2;
    QTest::newRow("fit") << QByteArray("[window]\nzoom=fit\n") << int(PictureView::fit);
    QTest::newRow("no step: fit") << QByteArray("[window]\nzoom=5\n") << int(PictureView::fit);
}

void DisplayViewTest::zoomIsKept()
{
    QFETCH(QByteArray, kept);
    QFETCH(int, zoom);

    QVERIFY(QDir().mkpath(m_config.filePath("QUENZIL")));
    QFile file(m_config.filePath("QUENZIL/quenzil.conf"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[table]\nradix=hex\n" + kept);
    file.close();

    const SettingsStore store;
    QCOMPARE(store.load().zoom, zoom);
    QCOMPARE(store.saveZoom(8), QString());
    QCOMPARE(store.load().zoom, 8);
    QCOMPARE(store.load().settings, settingsOf("radix=hex"));
}

QTEST_MAIN(DisplayViewTest)
#include "displayview_test.moc"
