// The window over damaged and hostile picture files: a file that fails to load leaves the
// picture, the size labels and the text area as they were and shows no message; one the reader
// honestly accepts shows the size the surface gives in this process.
#include "hostilerows.h"
#include "picturesurface.h"
#include "tavro.h"

#include <QAbstractButton>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>

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
    void chooseAndLoad(const QString &fileName)
    {
        m_chosen = fileName;
        QTest::mouseClick(m_window->findChild<QAbstractButton *>(QStringLiteral("Command1")),
                          Qt::LeftButton);
    }

    QTemporaryDir m_dir;
    std::unique_ptr<Tavro> m_window;
    QString m_chosen;
    QStringList m_failures;
};

void HostileWindowTest::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QFile known(m_dir.filePath(QStringLiteral("known.bmp")));
    QVERIFY(known.open(QIODevice::WriteOnly));
    known.write(bytesOf(writeBmp(indexed8Bmp())));
    known.close();

    m_window = std::make_unique<Tavro>();
    m_window->setFileChooser([this](QWidget *) { return m_chosen; });
    m_window->setFailureReporter([this](QWidget *, const QString &text) { m_failures << text; });
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
    chooseAndLoad(m_dir.filePath(QStringLiteral("known.bmp")));
    QCOMPARE(caption("Label3"), QStringLiteral("X:  3"));
    const QImage before = m_window->surface().image();
    auto *area = m_window->findChild<QPlainTextEdit *>(QStringLiteral("RichTextBox1"));
    area->setPlainText(QStringLiteral("kept"));

    const QString name = m_dir.filePath(QStringLiteral("Bild für Grüße.bmp"));
    QFile onDisk(name);
    QVERIFY(onDisk.open(QIODevice::WriteOnly));
    onDisk.write(file);
    onDisk.close();
    chooseAndLoad(name);

    PictureSurface expected;
    if (expected.load(name, {})) {
        QCOMPARE(m_window->surface().image(), expected.image());
        QCOMPARE(caption("Label3"), QStringLiteral("X:  %1").arg(expected.width()));
        QCOMPARE(caption("Label4"), QStringLiteral("Y:  %1").arg(expected.height()));
    } else {
        QCOMPARE(m_window->surface().image(), before);
        QCOMPARE(caption("Label3"), QStringLiteral("X:  3"));
        QCOMPARE(caption("Label4"), QStringLiteral("Y:  3"));
    }
    QCOMPARE(area->toPlainText(), QStringLiteral("kept"));
    QVERIFY(m_failures.isEmpty()); // a failed load says nothing
    QTest::qWait(0);               // the picture is drawn, whatever it holds
}

QTEST_MAIN(HostileWindowTest)
#include "hostilewindow_test.moc"
