// Runs "RGB-Tabelle" in the real window (offscreen) over generated pictures and prints, for each
// size, the run's time, the longest stretch in which the window processed no events, and the
// peak memory of the process.
// Usage: window_bench [SIDE...]      (256 512 1024 when none given)
//        window_bench --clicks WIDTH HEIGHT CLICKS
//        window_bench --save SIDE
//        window_bench --settings SIDE
//        window_bench --zoom SIDE
//        window_bench --preview SIDE
// With BENCH_GAPS set, every stretch is printed to stderr as it ends. --clicks clicks RGB-Tabelle
// CLICKS times, 0.1 s apart, over one WIDTH x HEIGHT picture (each click after the first starts
// a run inside the running one) and prints the time until the last run ended, the characters the
// area holds, the messages shown and the peak memory. --save saves the table of a SIDE x SIDE
// picture as Ctrl+S does and prints its time and longest stretch without event processing, next
// to the time quenzil-table -o takes for the same table (best of three each). --settings changes
// the table settings over a loaded SIDE x SIDE picture as the settings dialog does and prints the
// time each change takes until the view has been painted again (best of three), and the time of
// RGB-Tabelle over the prepared picture. --zoom prepares a SIDE x SIDE picture to 480 x 320 and
// prints how long a zoom change and a resize of the window take until the picture is painted
// again (best of three). --preview opens the Table settings dialog over a SIDE x SIDE picture and
// prints how long each change of a control takes until the dialog's preview and the window's
// picture are painted again (best of three).
//
// Each size runs in a process of its own, so that its peak memory is its own.
#include "tablebuilder.h"
#include "tavro.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#if defined(__GLIBC__)
#include <malloc.h> // mallopt
#endif

namespace {

// Answers a posted event and posts the next one: the gaps between its answers are the stretches
// in which the window processed no events.
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
            std::fprintf(stderr, "gap %d %.1f\n", m_beats++, (now - m_last) / 1e6);
        m_last = now;
    }
    void stop()
    {
        beat();
        m_beating = false;
    }
    double longestMs() const { return m_longest / 1e6; }
    double elapsedSeconds() const { return m_clock.nsecsElapsed() / 1e9; }

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

// The window's own cadence, counting its passes.
struct PassCounter : quenzil::RunCadence
{
    int passes = 0;
    void beforeProcessing(double) override { ++passes; }
};

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

// Writes a generated picture as a BMP file; false when that fails.
bool writePicture(const QString &path, int width, int height)
{
    QImage picture(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(picture.scanLine(y));
        for (int x = 0; x < width; ++x)
            line[x] = qRgb(x * 37 + y * 11, x * 5 + y * 71, x * 97 + y * 23);
    }
    return picture.save(path, "BMP");
}

// Loads a generated picture into the window through "Load Bitmap".
bool loadPicture(quenzil::Tavro &window, const QTemporaryDir &dir, int width, int height)
{
    const QString path = dir.filePath(QStringLiteral("picture.bmp"));
    if (!dir.isValid() || !writePicture(path, width, height)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    window.setFileChooser([path](QWidget *) { return path; });
    window.show();
    QCoreApplication::processEvents();
    window.findChild<QPushButton *>(QStringLiteral("Command1"))->click();
    if (window.surface().width() != width || window.surface().height() != height) {
        std::fprintf(stderr, "the picture did not load\n");
        return false;
    }
    return true;
}

// Clicks RGB-Tabelle `clicks` times, 0.1 s apart, over one picture.
int measureClicks(int width, int height, int clicks, int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    quenzil::Tavro window;
    if (!loadPicture(window, dir, width, height))
        return 1;
    QStringList messages;
    window.setFailureReporter([&messages](QWidget *, const QString &text) { messages << text; });
    auto *table = window.findChild<QPushButton *>(QStringLiteral("Command2"));
    for (int click = 1; click < clicks; ++click)
        QTimer::singleShot(100 * click, table, [table] { table->click(); });

    QElapsedTimer clock;
    clock.start();
    table->click();
    const double seconds = clock.nsecsElapsed() / 1e9;
    const auto *area = window.findChild<QPlainTextEdit *>(QStringLiteral("RichTextBox1"));
    std::printf("%d x %d, %d clicks 0.1 s apart: %.1f s until the last run ended, the area holds "
                "%d characters, peak memory %.1f MB, %lld message(s)%s%s\n",
                width, height, clicks, seconds, area->document()->characterCount() - 1,
                peakMemoryMb(), static_cast<long long>(messages.size()),
                messages.isEmpty() ? "" : ": ", qPrintable(messages.join(QStringLiteral(" | "))));
    return 0;
}

// Saves the table of one picture as Ctrl+S does, and writes it with quenzil-table -o.
int measureSave(int side, int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    quenzil::Tavro window;
    if (!loadPicture(window, dir, side, side))
        return 1;
    window.findChild<QPushButton *>(QStringLiteral("Command2"))->click();
    const QString saved = dir.filePath(QStringLiteral("saved.bas"));
    const QString written = dir.filePath(QStringLiteral("written.bas"));
    const QString command =
        QCoreApplication::applicationDirPath() + QStringLiteral("/quenzil-table");

    double saveSeconds = 1e9;
    double longestMs = 0;
    double commandSeconds = 1e9;
    for (int round = 0; round < 3; ++round) {
        Heartbeat heartbeat;
        heartbeat.start();
        if (!window.saveTable(saved))
            return 1;
        heartbeat.stop();
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
int measureSettings(int side, int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    quenzil::Tavro window;
    if (!loadPicture(window, dir, side, side))
        return 1;
    QWidget *view = window.findChild<QWidget *>(QStringLiteral("Picture1"));

    // Each step from the one before, as a user goes through the dialog.
    const std::vector<std::pair<const char *, std::vector<const char *>>> steps{
        {"fit 480x320", {"fit", "480x320"}},
        {"+ dither diffuse", {"dither", "diffuse"}},
        {"+ background, pad", {"background", "3366CC", "pad", "true"}},
        {"+ radix hex (table only)", {"radix", "hex"}},
        {"stretch 160x128, nearest", {"stretch", "160x128", "dither", "none", "nearest", "true"}},
        {"back to no setting", {}},
    };
    std::printf("%d x %d picture: a settings change until the view is painted again (best of 3; "
                "goal: within 100 ms)\n",
                side, side);
    quenzil::TableSettings last;
    for (const auto &[name, values] : steps) {
        quenzil::TableSettings settings = values.empty() ? quenzil::TableSettings() : last;
        if (std::string_view(name).starts_with("stretch"))
            settings.preparation = {};
        std::vector<quenzil::NamedValue> given;
        for (std::size_t i = 0; i + 1 < values.size(); i += 2)
            given.push_back({values[i], values[i + 1]});
        quenzil::Options options{settings, {}, {}, false};
        if (const auto refusals = quenzil::applySettings(options, given, {quenzil::Reach::Setting});
            !refusals.empty()) {
            std::fprintf(stderr, "%s\n", refusals.front().message.c_str());
            return 1;
        }
        settings = options.table;
        double best = 1e9;
        for (int round = 0; round < 3; ++round) {
            // From the settings before, each time.
            if (!window.setTableSettings(last))
                return 1;
            view->repaint();
            QElapsedTimer clock;
            clock.start();
            if (!window.setTableSettings(settings))
                return 1;
            view->repaint();
            best = std::min(best, clock.nsecsElapsed() / 1e6);
        }
        std::printf("  %-28s %6.1f ms  (the table's picture %g x %g)\n", name, best,
                    window.surface().width(), window.surface().height());
        last = settings;
    }

    // RGB-Tabelle over the prepared picture.
    quenzil::Options fitted;
    quenzil::applySettings(fitted, {{"fit", "480x320"}, {"pad", "true"}},
                           {quenzil::Reach::Setting});
    if (!window.setTableSettings(fitted.table))
        return 1;
    double best = 1e9;
    for (int round = 0; round < 5; ++round) {
        QElapsedTimer clock;
        clock.start();
        window.findChild<QPushButton *>(QStringLiteral("Command2"))->click();
        best = std::min(best, clock.nsecsElapsed() / 1e9);
    }
    std::printf("RGB-Tabelle over the picture fitted to %g x %g: %.3f s (best of 5; goal: within "
                "0.2 s)\n",
                window.surface().width(), window.surface().height(), best);
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
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("picture.bmp"));
    if (!dir.isValid() || !writePicture(path, side, side))
        return 1;
    quenzil::Tavro window;
    quenzil::Options options;
    quenzil::applySettings(options, {{"fill", "480x320"}, {"dither", "diffuse"}},
                           {quenzil::Reach::Setting});
    window.show();
    if (!window.loadFile(path) || !window.setTableSettings(options.table))
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
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("picture.bmp"));
    if (!dir.isValid() || !writePicture(path, side, side))
        return 1;
    quenzil::Tavro window;
    window.show();
    if (!window.loadFile(path))
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
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    PassCounter passCounter;
    quenzil::Tavro window(nullptr, &passCounter);
    if (!loadPicture(window, dir, side, side))
        return 1;

    // Several runs, each replacing the last one's table; the machine may be busy with other
    // work, so the median time is the figure, and the worst stretch of all runs is shown.
    constexpr int runs = 5;
    std::vector<double> seconds;
    std::vector<double> longestMs;
    for (int run = 0; run < runs; ++run) {
        Heartbeat heartbeat;
        heartbeat.start();
        window.findChild<QPushButton *>(QStringLiteral("Command2"))->click();
        heartbeat.stop();
        seconds.push_back(heartbeat.elapsedSeconds());
        longestMs.push_back(heartbeat.longestMs());
    }
    std::sort(seconds.begin(), seconds.end());
    std::sort(longestMs.begin(), longestMs.end());

    const auto *area = window.findChild<QPlainTextEdit *>(QStringLiteral("RichTextBox1"));
    // The area holds line breaks as single characters; the table has CR LF.
    const QString plain = area->toPlainText();
    const std::size_t lineBreaks = std::size_t(plain.count(QLatin1Char('\n')));
    const bool textOk = std::size_t(plain.size()) + lineBreaks ==
                        quenzil::tableLength({}, std::size_t(side), std::size_t(side));

    std::printf("%5d x %-5d  run %6.3f s (%.3f to %.3f)  longest stretch %5.1f ms (median of "
                "runs %5.1f)  passes %4d  peak memory %6.1f MB  text %s\n",
                side, side, seconds[runs / 2], seconds.front(), seconds.back(), longestMs.back(),
                longestMs[runs / 2], passCounter.passes / runs, peakMemoryMb(),
                textOk ? "ok" : "WRONG LENGTH");
    std::fflush(stdout);
    return textOk ? 0 : 1;
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
    if (argc == 3 && std::strcmp(argv[1], "--settings") == 0)
        return measureSettings(std::atoi(argv[2]), argc, argv);
    if (argc == 3 && std::strcmp(argv[1], "--zoom") == 0)
        return measureZoom(std::atoi(argv[2]), argc, argv);
    if (argc == 3 && std::strcmp(argv[1], "--preview") == 0)
        return measurePreview(std::atoi(argv[2]), argc, argv);
    if (argc == 3 && std::strcmp(argv[1], "--save") == 0)
        return measureSave(std::atoi(argv[2]), argc, argv);
    if (argc == 5 && std::strcmp(argv[1], "--clicks") == 0)
        return measureClicks(std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]), argc,
                             argv);

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
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QString::fromLocal8Bit(argv[0]),
                    {QStringLiteral("--one"), QString::number(side)});
        if (!child.waitForFinished(600000) || child.exitCode() != 0) {
            std::printf("%5d x %-5d  failed\n", side, side);
            return 1;
        }
        const QByteArray line = child.readAllStandardOutput();
        std::fputs(line.constData(), stdout);
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
