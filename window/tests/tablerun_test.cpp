#include "bmpwriter.h"
#include "picturesurface.h"
#include "tablebuilder.h"
#include "tablerun.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCursor>

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
    RunControl control;
    control.testSeam().processingIntervalMs = 0;
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
    QCOMPARE(QString::fromStdString(output.text()), expected);
    // After a pass the area itself holds the text; line breaks are its own.
    output.processPending();
    QCOMPARE(tableText(area), expected);
}

void TableRunTest::copiedTextHasOneBreakPerLine()
{
    PictureSurface surface;
    QPlainTextEdit area;
    QLabel label;
    RunControl control;
    control.testSeam().processingIntervalMs = 0;
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
    RunControl control;
    control.testSeam().processingIntervalMs = 0;
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
    QVERIFY(surface.load(path));

    QPlainTextEdit area;
    QLabel label;
    RunControl control;
    control.testSeam().processingIntervalMs = intervalMs;
    QList<double> counts;
    QList<QString> texts;
    control.testSeam().beforeProcessing = [&](double pixels) {
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

QTEST_MAIN(TableRunTest)
#include "tablerun_test.moc"
