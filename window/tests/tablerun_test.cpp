#include "bmpwriter.h"
#include "picturesurface.h"
#include "tablebuilder.h"
#include "tablerun.h"
#include "testcadence.h"

#include <QBuffer>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCursor>
#include <QTimer>

using namespace quenzil;

class TableRunTest : public QObject
{
    Q_OBJECT

private slots:
    void steps_data();
    void steps();
    void copiedTextHasOneBreakPerLine();
    void labelShowsOnlyNewCounts();
    void passes_data();
    void passes();
    void writtenText_data();
    void writtenText();
};

// The run as the builder's output. Each step is "set:", "append:", "flush" (a pass of
// event processing) or "type:" (a user's typing at the end, which can only happen during a
// pass, so after the pending text has moved into the area).
void TableRunTest::steps_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("expected");

    QTest::newRow("typed text is kept and extended")
        << QStringList{"set:Picture:\r\n", "append:Data", "flush", "type:!!", "append: x"}
        << "Picture:\r\nData!! x";
    QTest::newRow("a typed line break reads as CR LF")
        << QStringList{"set:a", "type:\n", "append:b"} << "a\r\nb";
    QTest::newRow("replacing drops pending text")
        << QStringList{"set:a", "append:b", "set:c"} << "c";
    QTest::newRow("pending text extends the area's text")
        << QStringList{"set:ab", "append:c\r\n", "flush", "append:\r\nd"} << "abc\r\n\r\nd";
    QTest::newRow("appending to an emptied area")
        << QStringList{"set:ab", "append:c", "type-clear", "append:z"} << "z";
}

void TableRunTest::steps()
{
    QFETCH(QStringList, steps);
    QFETCH(QString, expected);

    PictureSurface surface;
    QPlainTextEdit area;
    QLabel label;
    testsupport::TestCadence cadence;
    cadence.interval = 0;
    RunControl control(&cadence);
    TableRun output(surface, area, label, control);
    for (const QString &step : steps) {
        const QString argument = step.section(QLatin1Char(':'), 1);
        const std::string bytes = argument.toStdString();
        if (step.startsWith("set:")) {
            output.setText(bytes);
        } else if (step.startsWith("append:")) {
            output.append(bytes);
        } else if (step == "flush") {
            output.processPending();
        } else if (step.startsWith("type:")) {
            output.processPending();
            area.moveCursor(QTextCursor::End);
            area.insertPlainText(argument);
        } else if (step == "type-clear") {
            output.processPending();
            area.selectAll();
            area.textCursor().removeSelectedText();
        } else {
            QFAIL(qPrintable("unknown step " + step));
        }
    }
    // After a pass the area holds the whole text; line breaks are its own.
    output.processPending();
    QCOMPARE(tableText(area), expected);
}

void TableRunTest::copiedTextHasOneBreakPerLine()
{
    PictureSurface surface;
    QPlainTextEdit area;
    QLabel label;
    testsupport::TestCadence cadence;
    cadence.interval = 0;
    RunControl control(&cadence);
    TableRun output(surface, area, label, control);
    output.setText("Picture:\r\n");
    output.append("Data &B1");
    output.append("\r\n");
    output.append("Data &B0");
    output.processPending();
    area.selectAll();
    area.copy();
    QCOMPARE(QGuiApplication::clipboard()->text(), QString("Picture:\nData &B1\nData &B0"));
}

void TableRunTest::labelShowsOnlyNewCounts()
{
    PictureSurface surface;
    QPlainTextEdit area;
    QLabel label("Pixel:  5");
    testsupport::TestCadence cadence;
    cadence.interval = 0;
    RunControl control(&cadence);
    TableRun progress(surface, area, label, control);
    progress.processPending(); // no pixel yet: the last run's caption stays
    QCOMPARE(label.text(), QString("Pixel:  5"));
    progress.setCount(127);
    progress.setCount(128);
    QCOMPARE(label.text(), QString("Pixel:  5")); // written only at a pass
    progress.processPending();
    QCOMPARE(label.text(), QString("Pixel:  128"));
}

// How often a run processes events depends on the interval; the text never does.
void TableRunTest::passes_data()
{
    QTest::addColumn<int>("intervalMs");
    QTest::addColumn<bool>("passAfterEveryPixel");

    QTest::newRow("after every pixel") << 0 << true;
    QTest::newRow("not due during a short run") << 3600000 << false;
}

void TableRunTest::passes()
{
    QFETCH(int, intervalMs);
    QFETCH(bool, passAfterEveryPixel);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    PictureSurface surface;
    const QString path = dir.filePath("p.bmp");
    QVERIFY(testsupport::saveBmp(path.toStdU16String(),
                                 testsupport::makePicture(7, 5, testsupport::patternColour)));
    QVERIFY(surface.load(path, {}));

    QPlainTextEdit area;
    QLabel label;
    testsupport::TestCadence cadence;
    cadence.interval = intervalMs;
    RunControl control(&cadence);
    QList<double> counts;
    QList<QString> texts;
    cadence.atPass = [&](double pixels) {
        counts << pixels;
        texts << area.toPlainText();
    };
    TableRun(surface, area, label, control).run();

    QList<double> expectedCounts;
    if (passAfterEveryPixel) {
        for (int pixel = 1; pixel <= 35; ++pixel)
            expectedCounts << pixel;
    }
    QCOMPARE(counts, expectedCounts);
    const std::string table = buildTableText(surface);
    QCOMPARE(tableText(area), QString::fromStdString(table));
    QCOMPARE(label.text(), QString("Pixel:  35"));
    // At every pass the area held exactly the text made so far: the table up to that pixel.
    if (passAfterEveryPixel) {
        const QString seventh = texts.at(6);
        QVERIFY(seventh.startsWith("Picture:\nData "));
        QCOMPARE(seventh.count("&B"), 7);
        QVERIFY(QString::fromStdString(table).startsWith(QString(seventh).replace("\n", "\r\n")));
        QVERIFY(!seventh.endsWith(" ,"));
    }
}

// Written out, the area's text is the table as it has it, and the window stays live meanwhile.
void TableRunTest::writtenText_data()
{
    QTest::addColumn<QString>("text"); // the area's text, repeated
    QTest::addColumn<int>("times");

    QTest::newRow("empty") << "" << 1;
    QTest::newRow("line breaks of both kinds") << "Picture:\nData &B1\u2028Data &B0" << 1;
    QTest::newRow("a no-break space, characters beyond ASCII")
        << "a\u00a0b \u00e4\U0001F600\u2028" << 3;
    QTest::newRow("many slices, lines in blocks")
        << "Data &B11100000 , &B00011100\u2028Data &B11100000\n"
        << 50000;
    QTest::newRow("many slices in one block") << "Data &B11100000 , &B00011100\u2028" << 80000;
}

void TableRunTest::writtenText()
{
    QFETCH(QString, text);
    QFETCH(int, times);

    QPlainTextEdit area;
    area.setPlainText(text.repeated(times));
    int passes = 0;
    QTimer pass;
    connect(&pass, &QTimer::timeout, [&passes] { ++passes; });
    pass.start(0);
    QBuffer file;
    QVERIFY(file.open(QIODevice::WriteOnly));
    QVERIFY(writeTableText(area, file));
    QCOMPARE(file.data(), tableText(area).toUtf8());
    // Events are processed between slices, not only at the end.
    if (file.size() > 2 * 1024 * 1024)
        QVERIFY2(passes >= 2, qPrintable(QString::number(passes)));

    QBuffer closed;
    if (!text.isEmpty())
        QTest::ignoreMessage(QtWarningMsg, "QIODevice::write (QBuffer): device not open");
    QCOMPARE(writeTableText(area, closed), text.isEmpty());
}

QTEST_MAIN(TableRunTest)
#include "tablerun_test.moc"
