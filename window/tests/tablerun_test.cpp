#include "tablerun.h"

#include <QBuffer>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>

using namespace quenzil;

class TableRunTest : public QObject
{
    Q_OBJECT

private slots:
    void writtenText_data();
    void writtenText();
};

// Written out, the area's text is the table as it has it, and the window stays live meanwhile.
void TableRunTest::writtenText_data()
{
    QTest::addColumn<QString>("text"); // the area's text, repeated
    QTest::addColumn<int>("times");
    QTest::addColumn<QString>("written"); // the text as written, repeated

    QTest::newRow("empty") << "" << 1 << "";
    QTest::newRow("line breaks of both kinds")
        << "Picture:\nData &B1\u2028Data &B0" << 1 << "Picture:\r\nData &B1\r\nData &B0";
    QTest::newRow("a no-break space, characters beyond ASCII")
        << "a\u00a0b \u00e4\U0001F600\u2028" << 3 << "a b \u00e4\U0001F600\r\n";
    QTest::newRow("many slices, lines in blocks")
        << "Data &B11100000 , &B00011100\u2028Data &B11100000\n"
        << 50000 << "Data &B11100000 , &B00011100\r\nData &B11100000\r\n";
    QTest::newRow("many slices in one block")
        << "Data &B11100000 , &B00011100\u2028" << 80000 << "Data &B11100000 , &B00011100\r\n";
}

void TableRunTest::writtenText()
{
    QFETCH(QString, text);
    QFETCH(int, times);
    QFETCH(QString, written);

    QPlainTextEdit area;
    area.setPlainText(text.repeated(times));
    int passes = 0;
    QTimer pass;
    connect(&pass, &QTimer::timeout, [&passes] { ++passes; });
    pass.start(0);
    QBuffer file;
    QVERIFY(file.open(QIODevice::WriteOnly));
    QVERIFY(writeTableText(area, file));
    QCOMPARE(QString::fromUtf8(file.data()), written.repeated(times));
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
