// The window over damaged and hostile picture files, dropped on it: a file that fails to load
// leaves the picture, the size labels and the text area as they were and shows no message; one
// the reader honestly accepts shows the size and gives the table the surface gives in this process.
#include "hostilerows.h"
#include "picturesurface.h"
#include "tablebuilder.h"
#include "tavro.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDropEvent>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <memory>

using namespace quenzil;
using namespace quenzil::testsupport;

class HostileWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void keepsThePictureOnAFailedLoad_data();
    void keepsThePictureOnAFailedLoad();

private:
    QString caption(const char *name) const
    {
        return m_window->findChild<QLabel *>(QLatin1String(name))->text();
    }
    void drop(const QString &fileName)
    {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(fileName)});
        const QPointF where(10, 10);
        QDragEnterEvent enter(where.toPoint(), Qt::CopyAction, &data, Qt::LeftButton,
                              Qt::NoModifier);
        QApplication::sendEvent(m_window.get(), &enter);
        QDropEvent event(where, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(m_window.get(), &event);
    }
    // RGB-Tabelle, and the area's text as the table has it.
    std::string table()
    {
        QTest::mouseClick(m_window->findChild<QAbstractButton *>(QStringLiteral("Command2")),
                          Qt::LeftButton);
        return area()->toPlainText().replace(u'\n', QLatin1String("\r\n")).toStdString();
    }
    QPlainTextEdit *area() const
    {
        return m_window->findChild<QPlainTextEdit *>(QStringLiteral("RichTextBox1"));
    }

    QTemporaryDir m_dir;
    std::unique_ptr<Tavro> m_window;
    std::string m_knownTable;
    // Every message box shown, answered.
    QTimer m_boxWatch;
    QStringList m_messages;
};

void HostileWindowTest::initTestCase()
{
    QVERIFY(m_dir.isValid());
    const QString known = m_dir.filePath(QStringLiteral("known.bmp"));
    QFile file(known);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytesOf(writeBmp(indexed8Bmp())));
    file.close();
    PictureSurface surface;
    QVERIFY(surface.load(known, {}));
    m_knownTable = buildTableText(surface);

    connect(&m_boxWatch, &QTimer::timeout, this, [this] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            m_messages << box->text();
            box->reject();
        }
    });
    m_boxWatch.start(10);
    m_window = std::make_unique<Tavro>();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

void HostileWindowTest::cleanupTestCase()
{
    m_window.reset();
}

void HostileWindowTest::keepsThePictureOnAFailedLoad_data()
{
    addHostileColumns();
    // One cut per header field: the surface's own test takes every cut.
    addHostileRows(oneCutPerField());
    addHostileRows(lyingHeaderBmps());
    addHostileRows(runLengthAbuseBmps());
    addHostileRows(hugeAnnouncedBmps());
    addHostileRows(nonPictureFiles());
}

void HostileWindowTest::keepsThePictureOnAFailedLoad()
{
    QFETCH(QByteArray, file);
    drop(m_dir.filePath(QStringLiteral("known.bmp")));
    QCOMPARE(caption("Label3"), QStringLiteral("X:  3"));

    const QString name = m_dir.filePath(QStringLiteral("Bild für Grüße.bmp"));
    QFile onDisk(name);
    QVERIFY(onDisk.open(QIODevice::WriteOnly));
    onDisk.write(file);
    onDisk.close();
    area()->setPlainText(QStringLiteral("kept"));
    drop(name);
    QCOMPARE(area()->toPlainText(), QStringLiteral("kept"));

    PictureSurface expected;
    if (expected.load(name, {})) {
        QCOMPARE(caption("Label3"), QStringLiteral("X:  %1").arg(expected.width()));
        QCOMPARE(caption("Label4"), QStringLiteral("Y:  %1").arg(expected.height()));
        QCOMPARE(table(), buildTableText(expected));
    } else {
        QCOMPARE(caption("Label3"), QStringLiteral("X:  3"));
        QCOMPARE(caption("Label4"), QStringLiteral("Y:  3"));
        QCOMPARE(table(), m_knownTable);
    }
    QCOMPARE(m_messages, QStringList()); // a failed load says nothing
    QTest::qWait(0);                     // the picture is drawn, whatever it holds
}

QTEST_MAIN(HostileWindowTest)
#include "hostilewindow_test.moc"
