// Runs the real window (offscreen) as a user does, through its buttons, its file dialogs and the
// settings file, and prints figures.
// Usage: window_bench [SIDE...]      (256 512 1024 when none given)
//        window_bench --clicks WIDTH HEIGHT CLICKS
//        window_bench --save SIDE
//        window_bench --settings SIDE [jpeg]
//        window_bench --load-jpeg SIDE [RUNS]
//        window_bench --zoom SIDE
//        window_bench --preview SIDE
// Without an option: RGB-Tabelle over generated SIDE x SIDE pictures; for each size the run's
// time, the longest stretch in which the window processed no events, its passes of event
// processing and the peak memory of the process. With BENCH_GAPS set, every stretch is printed to
// stderr as it ends.
// --clicks clicks RGB-Tabelle CLICKS times, 0.1 s apart, over one WIDTH x HEIGHT picture (each
// click after the first starts a run inside the running one) and prints the time until the last
// run ended, the characters the area holds, the messages shown and the peak memory; a full text
// area must end the runs with exactly one message that says so, and the area within its limit
// (exit code 1 otherwise).
// --save saves the table of a SIDE x SIDE picture through Save table's dialog and prints its time
// and longest stretch without event processing, next to the time quenzil-table -o takes for the
// same table (best of three each).
// --settings changes the table settings over a loaded SIDE x SIDE picture (a BMP, or a photo-like
// JPEG) as the settings dialog does and prints the time each change takes until the view has
// been painted again (best of three), and the time of RGB-Tabelle over the prepared picture.
// --load-jpeg loads a photo-like SIDE x SIDE JPEG through Load Bitmap with the stored setting
// fit=320x240, RUNS times (5 by default) each in a process of its own, and prints the time from
// the dialog's Return until the view paints the picture (for the first load in a fresh window, and
// for the same file loaded again) and the peak memory of the process after the first load.
// --zoom prepares a SIDE x SIDE picture to 480 x 320 and prints how long a zoom change and a
// resize of the window take until the picture is painted again (best of three).
// --preview opens the Table settings dialog over a SIDE x SIDE picture and prints how long each
// change of a control takes until the dialog's preview and the window's picture are painted again
// (best of three).
//
// Each measurement runs in a process of its own, so that its peak memory is its own.
#include "settingsstore.h"
#include "tablerun.h"
#include "tavro.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QFileDialog>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#if defined(__GLIBC__)
#include <malloc.h> // mallopt
#endif

namespace {

// Answers a posted event and posts the next one: the gaps between its answers are the stretches
// in which the window processed no events, and their number its passes of event processing.
class Heartbeat : public QObject
{
public:
    void start()
    {
        m_clock.start();
        m_last = 0;
        m_beating = true;
        QCoreApplication::postEvent(this, new QEvent(QEvent::User));
    }
    void beat()
    {
        const qint64 now = m_clock.nsecsElapsed();
        m_longest = std::max(m_longest, now - m_last);
        if (m_printGaps)
            std::fprintf(stderr, "gap %d %.1f\n", m_beats, (now - m_last) / 1e6);
        ++m_beats;
        m_last = now;
    }
    void stop()
    {
        beat();
        m_beating = false;
    }
    double longestMs() const { return m_longest / 1e6; }
    double elapsedSeconds() const { return m_clock.nsecsElapsed() / 1e9; }
    int beats() const { return m_beats; }

protected:
    void customEvent(QEvent *) override
    {
        if (!m_beating)
            return;
        beat();
        QCoreApplication::postEvent(this, new QEvent(QEvent::User));
    }

private:
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_longest = 0;
    int m_beats = 0;
    const bool m_printGaps = qEnvironmentVariableIsSet("BENCH_GAPS");
    bool m_beating = false;
};

// Every message box the window shows, answered as a user would: OK, or Yes to a question.
class MessageWatch : public QObject
{
public:
    MessageWatch()
    {
        connect(&m_timer, &QTimer::timeout, this, [this] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box)
                return;
            messages << box->text();
            QAbstractButton *yes = box->button(QMessageBox::Yes);
            if (QAbstractButton *answer = yes ? yes : box->button(QMessageBox::Ok))
                answer->click();
            else
                box->reject();
        });
        m_timer.start(20);
    }

    QStringList messages;

private:
    QTimer m_timer;
};

// Answers the next file dialog: `path` typed into its name field, then Return; `accepting` is
// called just before.
void answerFileDialog(QObject *context, const QString &path,
                      std::function<void()> accepting = nullptr)
{
    auto *waiting = new QTimer(context);
    QObject::connect(waiting, &QTimer::timeout, context, [waiting, path, accepting] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        waiting->deleteLater();
        auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        name->setText(path);
        if (accepting)
            accepting();
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(name, &enter);
    });
    waiting->start(0);
}

double peakMemoryMb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return -1;
}

QString caption(const QWidget &window, const char *label)
{
    return window.findChild<QLabel *>(QString::fromLatin1(label))->text();
}

// The size the labels X: and Y: show.
QSize shownSize(const QWidget &window)
{
    return {caption(window, "Label3").section(' ', -1).toInt(),
            caption(window, "Label4").section(' ', -1).toInt()};
}

// Writes a generated picture: a BMP of colours that change from pixel to pixel, or a photo-like
// JPEG (smooth colours with grain). False when that fails.
bool writePicture(const QString &path, int width, int height, bool photo = false)
{
    QImage picture(width, height, QImage::Format_RGB32);
    quint32 noise = 1;
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(picture.scanLine(y));
        for (int x = 0; x < width; ++x) {
            if (!photo) {
                line[x] = qRgb(x * 37 + y * 11, x * 5 + y * 71, x * 97 + y * 23);
                continue;
            }
            noise = noise * 1664525u + 1013904223u;
            const int grain = int(noise >> 28) - 8;
            line[x] = qRgb(qBound(0, x * 255 / width + grain, 255),
                           qBound(0, y * 255 / height + grain, 255),
                           qBound(0, (x + y) * 127 / width + grain, 255));
        }
    }
    const bool written = photo ? picture.save(path, "JPEG", 90) : picture.save(path, "BMP");
    if (!written)
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return written;
}

// Loads a picture into the window through Load Bitmap and its dialog; `accepting` is called as
// the dialog is accepted.
bool loadPicture(quenzil::Tavro &window, const QString &path, QSize expected,
                 std::function<void()> accepting = nullptr)
{
    window.show();
    QCoreApplication::processEvents();
    answerFileDialog(&window, path, std::move(accepting));
    window.findChild<QPushButton *>(QStringLiteral("Command1"))->click();
    if (shownSize(window) != expected) {
        std::fprintf(stderr, "the picture did not load\n");
        return false;
    }
    return true;
}

bool loadGenerated(quenzil::Tavro &window, const QTemporaryDir &dir, int width, int height)
{
    const QString path = dir.filePath(QStringLiteral("picture.bmp"));
    return dir.isValid() && writePicture(path, width, height) &&
           loadPicture(window, path, {width, height});
}

// Starts a QApplication on the offscreen platform unless another is asked for.
std::unique_ptr<QApplication> application(int &argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    return std::make_unique<QApplication>(argc, argv);
}

// Keeps the window's settings file in a folder of the benchmark's own, holding `lines`.
bool useSettingsFile(const QTemporaryDir &config, const QByteArray &lines)
{
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    QDir(config.path()).mkpath(QStringLiteral("QUENZIL"));
    QFile file(config.filePath(QStringLiteral("QUENZIL/quenzil.conf")));
    return file.open(QIODevice::WriteOnly) && file.write("[table]\n" + lines) > 0;
}

// Clicks RGB-Tabelle `clicks` times, 0.1 s apart, over one picture.
int measureClicks(int width, int height, int clicks, int argc, char **argv)
{
    const auto app = application(argc, argv);
    QTemporaryDir dir;
    quenzil::Tavro window;
    if (!loadGenerated(window, dir, width, height))
        return 1;
    MessageWatch watch;
    auto *table = window.findChild<QPushButton *>(QStringLiteral("Command2"));
    for (int click = 1; click < clicks; ++click)
        QTimer::singleShot(100 * click, table, [table] { table->click(); });

    QElapsedTimer clock;
    clock.start();
    table->click();
    const double seconds = clock.nsecsElapsed() / 1e9;
    const auto *area = window.findChild<QPlainTextEdit *>(QStringLiteral("RichTextBox1"));
    const auto characters = std::size_t(area->document()->characterCount() - 1);
    // A full area ends every run with one message that says so.
    const bool sound =
        characters <= quenzil::textAreaLimit &&
        (watch.messages.isEmpty() ||
         (watch.messages.size() == 1 && watch.messages.first().contains("text area is full")));
    std::printf("%d x %d, %d clicks 0.1 s apart: %.1f s until the last run ended, the area holds "
                "%zu characters, peak memory %.1f MB, %lld message(s)%s%s: %s\n",
                width, height, clicks, seconds, characters, peakMemoryMb(),
                static_cast<long long>(watch.messages.size()), watch.messages.isEmpty() ? "" : ": ",
                qPrintable(watch.messages.join(QStringLiteral(" | "))), sound ? "ok" : "WRONG");
    return sound ? 0 : 1;
}

// Saves the table of one picture through Save table's dialog, and writes it with quenzil-table.
int measureSave(int side, int argc, char **argv)
{
    const auto app = application(argc, argv);
    QTemporaryDir dir;
    quenzil::Tavro window;
    if (!loadGenerated(window, dir, side, side))
        return 1;
    window.findChild<QPushButton *>(QStringLiteral("Command2"))->click();
    QAction *save = nullptr;
    for (QAction *action : window.actions()) {
        if (action->text() == QLatin1String("Save table..."))
            save = action;
    }
    const QString saved = dir.filePath(QStringLiteral("saved.bas"));
    const QString written = dir.filePath(QStringLiteral("written.bas"));
    const QString command =
        QCoreApplication::applicationDirPath() + QStringLiteral("/quenzil-table");
    MessageWatch watch;

    double saveSeconds = 1e9;
    double longestMs = 0;
    double commandSeconds = 1e9;
    for (int round = 0; round < 3; ++round) {
        QFile::remove(saved); // no question whether to replace it
        Heartbeat heartbeat;
        answerFileDialog(&window, saved, [&heartbeat] { heartbeat.start(); });
        save->trigger();
        heartbeat.stop();
        if (!watch.messages.isEmpty()) {
            std::fprintf(stderr, "%s\n", qPrintable(watch.messages.join('\n')));
            return 1;
        }
        saveSeconds = std::min(saveSeconds, heartbeat.elapsedSeconds());
        longestMs = std::max(longestMs, heartbeat.longestMs());

        QElapsedTimer clock;
        clock.start();
        QProcess child;
        child.start(command, {QStringLiteral("-o"), written, dir.filePath("picture.bmp")});
        if (!child.waitForFinished(600000) || child.exitCode() != 0) {
            std::fprintf(stderr, "%s failed\n", qPrintable(command));
            return 1;
        }
        commandSeconds = std::min(commandSeconds, clock.nsecsElapsed() / 1e9);
    }
    QFile a(saved);
    QFile b(written);
    const bool same = a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly) &&
                      a.size() == b.size() && a.readAll() == b.readAll();
    std::printf("%d x %d: Save table %.3f s (longest stretch of all rounds %.1f ms), "
                "quenzil-table -o %.3f s: %.2fx, %.0f MB, files %s (best times of 3; goals: at "
                "most 2x, no stretch over 100 ms)\n",
                side, side, saveSeconds, longestMs, commandSeconds, saveSeconds / commandSeconds,
                a.size() / 1e6, same ? "equal" : "DIFFERENT");
    return same ? 0 : 1;
}

// Changes the settings over one picture; prints how long the view takes to follow.
int measureSettings(int side, bool jpeg, int argc, char **argv)
{
    // Each step from the one before, as a user goes through the dialog: its settings as the
    // settings file holds them.
    const std::vector<std::pair<const char *, QByteArray>> steps{
        {"fit 480x320", "fit=480x320\n"},
        {"+ dither diffuse", "fit=480x320\ndither=diffuse\n"},
        {"+ background, pad", "fit=480x320\ndither=diffuse\nbackground=3366CC\npad=true\n"},
        {"+ radix hex (table only)",
         "fit=480x320\ndither=diffuse\nbackground=3366CC\npad=true\nradix=hex\n"},
        {"stretch 160x128, nearest", "stretch=160x128\nnearest=true\nradix=hex\n"},
        {"back to no setting", ""},
    };
    QTemporaryDir config;
    // The settings of every step, read through the settings file before anything is timed.
    std::vector<quenzil::TableSettings> settings;
    for (const auto &step : steps) {
        if (!useSettingsFile(config, step.second))
            return 1;
        settings.push_back(quenzil::SettingsStore().load().settings);
        QThread::msleep(20); // a file of the same size is then still read again
    }

    const auto app = application(argc, argv);
    QTemporaryDir dir;
    quenzil::Tavro window;
    const QString path = dir.filePath(jpeg ? QStringLiteral("photo.jpg") : "picture.bmp");
    if (!dir.isValid() || !writePicture(path, side, side, jpeg) ||
        !loadPicture(window, path, {side, side}))
        return 1;
    QWidget *view = window.findChild<QWidget *>(QStringLiteral("Picture1"));

    std::printf("%d x %d %s: a settings change until the view is painted again (best of 3; "
                "goal: within 100 ms)\n",
                side, side, jpeg ? "photo-like JPEG" : "BMP");
    quenzil::TableSettings last;
    for (std::size_t i = 0; i < steps.size(); ++i) {
        double best = 1e9;
        for (int round = 0; round < 3; ++round) {
            // From the settings before, each time.
            if (!window.setTableSettings(last))
                return 1;
            view->repaint();
            QElapsedTimer clock;
            clock.start();
            if (!window.setTableSettings(settings[i]))
                return 1;
            view->repaint();
            best = std::min(best, clock.nsecsElapsed() / 1e6);
        }
        const QSize shown = shownSize(window);
        std::printf("  %-28s %6.1f ms  (the table's picture %d x %d)\n", steps[i].first, best,
                    shown.width(), shown.height());
        last = settings[i];
    }

    // RGB-Tabelle over the prepared picture.
    if (!window.setTableSettings(settings[2]))
        return 1;
    double best = 1e9;
    for (int round = 0; round < 5; ++round) {
        QElapsedTimer clock;
        clock.start();
        window.findChild<QPushButton *>(QStringLiteral("Command2"))->click();
        best = std::min(best, clock.nsecsElapsed() / 1e9);
    }
    const QSize shown = shownSize(window);
    std::printf("RGB-Tabelle over the picture fitted to %d x %d: %.3f s (best of 5; goal: within "
                "0.2 s)\n",
                shown.width(), shown.height(), best);
    return 0;
}

// Notes when a widget is first painted once a condition holds: the moment a user sees it.
class PaintWatch : public QObject
{
public:
    PaintWatch(QWidget *widget, const QElapsedTimer &clock, std::function<bool()> condition)
        : m_clock(clock), m_condition(std::move(condition))
    {
        widget->installEventFilter(this);
    }
    // Milliseconds on the clock at that paint; 0 before it.
    double ms() const { return m_ms; }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && m_ms == 0 && m_condition())
            m_ms = m_clock.nsecsElapsed() / 1e6;
        return false;
    }

private:
    const QElapsedTimer &m_clock;
    std::function<bool()> m_condition;
    double m_ms = 0;
};

// Loads one JPEG with the stored setting fit=320x240; prints one line of figures.
int measureLoadJpeg(const QString &path, int side, int argc, char **argv)
{
    QTemporaryDir config;
    if (!useSettingsFile(config, "fit=320x240\n"))
        return 1;
    const auto app = application(argc, argv);
    // As the program starts: the stored settings, then the window.
    quenzil::Tavro window;
    if (!window.setTableSettings(quenzil::SettingsStore().load().settings))
        return 1;
    window.show();
    QCoreApplication::processEvents();
    const double before = peakMemoryMb();
    QWidget *view = window.findChild<QWidget *>(QStringLiteral("Picture1"));
    const int fitted = std::min(side, 240);
    // The first load in a fresh window, then the same file again: the picture format plugins
    // are loaded by then.
    double ms[2] = {};
    double peak = 0;
    for (double &taken : ms) {
        QElapsedTimer clock;
        // The view shows the picture once the labels give its size.
        window.findChild<QLabel *>(QStringLiteral("Label3"))->clear();
        const PaintWatch painted(
            view, clock, [&window, fitted] { return shownSize(window) == QSize(fitted, fitted); });
        if (!loadPicture(window, path, {fitted, fitted}, [&clock] { clock.start(); }))
            return 1;
        view->repaint();
        taken = painted.ms();
        if (peak == 0)
            peak = peakMemoryMb();
    }
    std::printf("%d x %d JPEG, fit 320x240: shown after %.1f ms (loaded again: %.1f ms), peak "
                "memory %.1f MB (%.1f MB before the load)\n",
                side, side, ms[0], ms[1], peak, before);
    return 0;
}

// The best time of three of `change`, each after `undo`, until `painted` has been painted again.
double bestOfThree(const std::function<void()> &change, const std::function<void()> &undo,
                   const std::function<void()> &painted)
{
    double best = 1e9;
    for (int round = 0; round < 3; ++round) {
        undo();
        painted();
        QElapsedTimer clock;
        clock.start();
        change();
        painted();
        best = std::min(best, clock.nsecsElapsed() / 1e6);
    }
    return best;
}

// Waits for a resize of the window to arrive (the platform hands it on as an event).
void resizeWindow(QWidget &window, QSize size)
{
    window.resize(size);
    for (int i = 0; i < 1000 && window.size() != size; ++i)
        QCoreApplication::processEvents();
    QCoreApplication::processEvents();
}

// Zoom changes and window resizes over a picture prepared to 480 x 320.
int measureZoom(int side, int argc, char **argv)
{
    const auto app = application(argc, argv);
    QTemporaryDir dir;
    quenzil::Tavro window;
    quenzil::Options options;
    quenzil::applySettings(options, {{"fill", "480x320"}, {"dither", "diffuse"}},
                           {quenzil::Reach::Setting});
    if (!loadGenerated(window, dir, side, side) || !window.setTableSettings(options.table))
        return 1;
    resizeWindow(window, {1200, 850});
    QWidget *view = window.findChild<QWidget *>(QStringLiteral("Picture1"));
    const auto painted = [&] { view->repaint(); };
    const auto zoomTo = [&](int zoom) { return [&window, zoom] { window.setZoom(zoom); }; };

    std::printf("%d x %d picture filled to 480 x 320, window 1200 x 850: until the picture is "
                "painted again (best of 3; goal: within 50 ms)\n",
                side, side);
    const std::pair<const char *, std::pair<int, int>> zooms[] = {{"zoom Fit -> 8x", {0, 8}},
                                                                  {"zoom 1x -> 8x", {1, 8}},
                                                                  {"zoom 8x -> 6x", {8, 6}},
                                                                  {"zoom 8x -> Fit", {8, 0}}};
    for (const auto &[name, change] : zooms)
        std::printf("  %-34s %6.1f ms\n", name,
                    bestOfThree(zoomTo(change.second), zoomTo(change.first), painted));
    window.setZoom(8);
    const auto resizeTo = [&](QSize size) {
        return [&window, size] { resizeWindow(window, size); };
    };
    const auto paintedWindow = [&] { window.repaint(); };
    std::printf("  %-34s %6.1f ms\n", "at 8x, window 1200 x 850 -> 1000 x 700",
                bestOfThree(resizeTo({1000, 700}), resizeTo({1200, 850}), paintedWindow));
    std::printf("  %-34s %6.1f ms\n", "at 8x, window 1000 x 700 -> 1200 x 850",
                bestOfThree(resizeTo({1200, 850}), resizeTo({1000, 700}), paintedWindow));
    return 0;
}

// Changes in the Table settings dialog over one picture; prints how long its preview takes to
// follow.
int measurePreview(int side, int argc, char **argv)
{
    const auto app = application(argc, argv);
    QTemporaryDir dir;
    quenzil::Tavro window;
    if (!loadGenerated(window, dir, side, side))
        return 1;
    // Ctrl+T, as a user opens it.
    for (QAction *action : window.actions()) {
        if (action->shortcut() == QKeySequence(QStringLiteral("Ctrl+T")))
            action->trigger();
    }
    auto *dialog = window.findChild<QDialog *>();
    if (!dialog)
        return 1;
    QCoreApplication::processEvents();
    auto *size = dialog->findChild<QComboBox *>(QStringLiteral("sizeBox"));
    auto *colours = dialog->findChild<QComboBox *>(QStringLiteral("coloursBox"));
    auto *radix = dialog->findChild<QComboBox *>(QStringLiteral("radixBox"));
    auto *fit = dialog->findChild<QRadioButton *>(QStringLiteral("fitButton"));
    auto *fill = dialog->findChild<QRadioButton *>(QStringLiteral("fillButton"));
    auto *preview = dialog->findChild<QLabel *>(QStringLiteral("previewPicture"));
    QWidget *view = window.findChild<QWidget *>(QStringLiteral("Picture1"));
    const auto painted = [&] {
        preview->repaint();
        view->repaint();
    };
    const auto choose = [](QComboBox *box, const char *value) {
        return [box, value] { box->setCurrentIndex(box->findData(QString::fromLatin1(value))); };
    };
    const auto chooseText = [](QComboBox *box, const char *text) {
        return [box, text] { box->setCurrentText(QString::fromLatin1(text)); };
    };

    std::printf("%d x %d picture, the Table settings dialog: a change until its preview and the "
                "window's picture are painted again (best of 3; goal: within 100 ms)\n",
                side, side);
    struct Step
    {
        const char *name;
        std::function<void()> change;
        std::function<void()> undo;
    };
    const Step steps[] = {
        {"Off, binary -> hexadecimal", choose(radix, "hex"), choose(radix, "bin")},
        {"Off -> 480 x 320 (fit)", chooseText(size, "480 x 320"), chooseText(size, "Off")},
        {"bands -> diffuse dither", choose(colours, "diffuse"), choose(colours, "bands")},
        {"fit -> fill (crop)", [fill] { fill->click(); }, [fit] { fit->click(); }},
        {"hexadecimal -> binary (table only)", choose(radix, "bin"), choose(radix, "hex")},
        {"480 x 320 -> 160 x 128", chooseText(size, "160 x 128"), chooseText(size, "480 x 320")},
    };
    for (const Step &step : steps) {
        std::printf("  %-34s %6.1f ms\n", step.name, bestOfThree(step.change, step.undo, painted));
        step.change();
    }
    return 0;
}

// One size in this process; prints one line of figures.
int measure(int side, int argc, char **argv)
{
    const auto app = application(argc, argv);
    QTemporaryDir dir;
    quenzil::Tavro window;
    if (!loadGenerated(window, dir, side, side))
        return 1;

    // Several runs, each replacing the last one's table; the machine may be busy with other
    // work, so the median time is the figure, and the worst stretch of all runs is shown.
    constexpr int runs = 5;
    std::vector<double> seconds;
    std::vector<double> longestMs;
    int beats = 0;
    for (int run = 0; run < runs; ++run) {
        Heartbeat heartbeat;
        heartbeat.start();
        window.findChild<QPushButton *>(QStringLiteral("Command2"))->click();
        heartbeat.stop();
        seconds.push_back(heartbeat.elapsedSeconds());
        longestMs.push_back(heartbeat.longestMs());
        beats += heartbeat.beats();
    }
    std::sort(seconds.begin(), seconds.end());
    std::sort(longestMs.begin(), longestMs.end());

    const auto *area = window.findChild<QPlainTextEdit *>(QStringLiteral("RichTextBox1"));
    // The area holds line breaks as single characters; the table has CR LF.
    const QString plain = area->toPlainText();
    const std::size_t lineBreaks = std::size_t(plain.count(QLatin1Char('\n')));
    const bool textOk = std::size_t(plain.size()) + lineBreaks ==
                        quenzil::tableLength({}, std::size_t(side), std::size_t(side));

    // A run's beats are its passes and the one at its end.
    std::printf("%5d x %-5d  run %6.3f s (%.3f to %.3f)  longest stretch %5.1f ms (median of "
                "runs %5.1f)  passes %4d  peak memory %6.1f MB  text %s\n",
                side, side, seconds[runs / 2], seconds.front(), seconds.back(), longestMs.back(),
                longestMs[runs / 2], beats / runs - 1, peakMemoryMb(),
                textOk ? "ok" : "WRONG LENGTH");
    std::fflush(stdout);
    return textOk ? 0 : 1;
}

// Runs this program again with `arguments` and passes its figures on; false when it failed.
bool runChild(const char *self, const QStringList &arguments, QByteArray *output = nullptr)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QString::fromLocal8Bit(self), arguments);
    if (!child.waitForFinished(600000) || child.exitCode() != 0)
        return false;
    const QByteArray line = child.readAllStandardOutput();
    std::fputs(line.constData(), stdout);
    std::fflush(stdout);
    if (output)
        *output = line;
    return true;
}

} // namespace

int main(int argc, char **argv)
{
#if defined(__GLIBC__)
    // As the program does: blocks of 1 MiB and more mapped, so that the text area's document
    // grows without copying its text.
    mallopt(M_MMAP_THRESHOLD, 1 << 20);
#endif
    if (argc == 3 && std::strcmp(argv[1], "--one") == 0)
        return measure(std::atoi(argv[2]), argc, argv);
    if ((argc == 3 || argc == 4) && std::strcmp(argv[1], "--settings") == 0)
        return measureSettings(std::atoi(argv[2]), argc == 4 && std::strcmp(argv[3], "jpeg") == 0,
                               argc, argv);
    if (argc == 3 && std::strcmp(argv[1], "--zoom") == 0)
        return measureZoom(std::atoi(argv[2]), argc, argv);
    if (argc == 3 && std::strcmp(argv[1], "--preview") == 0)
        return measurePreview(std::atoi(argv[2]), argc, argv);
    if (argc == 3 && std::strcmp(argv[1], "--save") == 0)
        return measureSave(std::atoi(argv[2]), argc, argv);
    if (argc == 5 && std::strcmp(argv[1], "--clicks") == 0)
        return measureClicks(std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]), argc,
                             argv);
    if (argc == 4 && std::strcmp(argv[1], "--load-jpeg-one") == 0)
        return measureLoadJpeg(QString::fromLocal8Bit(argv[2]), std::atoi(argv[3]), argc, argv);
    if ((argc == 3 || argc == 4) && std::strcmp(argv[1], "--load-jpeg") == 0) {
        const int side = std::atoi(argv[2]);
        const int runs = argc == 4 ? std::atoi(argv[3]) : 5;
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("photo.jpg"));
        {
            // Written in this process, so that the measured ones start with the file alone.
            int childArgc = 1;
            const auto app = application(childArgc, argv);
            if (!dir.isValid() || !writePicture(path, side, side, true))
                return 1;
        }
        for (int run = 0; run < runs; ++run) {
            if (!runChild(argv[0],
                          {QStringLiteral("--load-jpeg-one"), path, QString::number(side)}))
                return 1;
        }
        return 0;
    }

    std::vector<int> sides;
    for (int i = 1; i < argc; ++i)
        sides.push_back(std::atoi(argv[i]));
    if (sides.empty())
        sides = {256, 512, 1024};

    std::printf("RGB-Tabelle in the window, 5 runs a size: median time (fastest to slowest), the "
                "longest stretch without event processing in any run (and in the median run)\n"
                "(goals: 1024 x 1024 within 2 s, no stretch over 50 ms "
                "without event processing, 4x the pixels within 5x the time, peak memory within "
                "300 MB)\n");
    std::fflush(stdout);
    std::vector<double> medians;
    std::vector<double> fastest;
    for (int side : sides) {
        QByteArray line;
        if (!runChild(argv[0], {QStringLiteral("--one"), QString::number(side)}, &line)) {
            std::printf("%5d x %-5d  failed\n", side, side);
            return 1;
        }
        // "run MEDIAN s (FASTEST to SLOWEST)"
        const QList<QByteArray> words = line.mid(line.indexOf("run ") + 4).simplified().split(' ');
        medians.push_back(words.value(0).toDouble());
        fastest.push_back(words.value(2).mid(1).toDouble());
    }
    for (std::size_t i = 1; i < sides.size(); ++i) {
        if (sides[i] == 2 * sides[i - 1] && medians[i - 1] > 0 && fastest[i - 1] > 0)
            std::printf("%d -> %d: 4x the pixels took %.2fx the time (medians), %.2fx (fastest "
                        "runs)\n",
                        sides[i - 1], sides[i], medians[i] / medians[i - 1],
                        fastest[i] / fastest[i - 1]);
    }
    return 0;
}
