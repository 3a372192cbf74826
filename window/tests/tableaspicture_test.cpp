// "Show table as picture" in the text area's menu: the area's table read back into the picture
// area, driven as a user drives the window.
#include "settingsof.h"
#include "tavro.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QImage>
#include <QInputDialog>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace quenzil;

class TableAsPictureTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void tableComesBackAsItsPicture_data();
    void tableComesBackAsItsPicture();

private:
    QPlainTextEdit *area() { return m_window->findChild<QPlainTextEdit *>("RichTextBox1"); }
    QString caption(const char *label) { return m_window->findChild<QLabel *>(label)->text(); }
    // Clicks "Show table as picture" in the area's menu, giving the width where it is asked for.
    void showTableAsPicture(int width);

    QTemporaryDir m_dir;
    std::unique_ptr<Tavro> m_window;
};

void TableAsPictureTest::init()
{
    QVERIFY(m_dir.isValid());
    m_window = std::make_unique<Tavro>();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

void TableAsPictureTest::cleanup()
{
    m_window.reset();
}

void TableAsPictureTest::showTableAsPicture(int width)
{
    QTimer::singleShot(0, this, [width] {
        if (auto *asked = qobject_cast<QInputDialog *>(QApplication::activeModalWidget());
            asked && asked->objectName() == "tableWidth") {
            asked->setIntValue(width);
            asked->accept();
        }
    });
    const QPoint where(5, 5);
    QContextMenuEvent event(QContextMenuEvent::Mouse, where,
                            area()->viewport()->mapToGlobal(where));
    QApplication::sendEvent(area()->viewport(), &event);
    auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
    QVERIFY(menu);
    for (QAction *action : menu->actions()) {
        if (action->text() == "Show table as picture") {
            menu->close();
            action->trigger();
            return;
        }
    }
    QFAIL("no menu entry Show table as picture");
}

void TableAsPictureTest::tableComesBackAsItsPicture_data()
{
    QTest::addColumn<QString>("settings");
    QTest::newRow("the default table, its width asked") << "";
    QTest::newRow("size line and pairs") << "size-line=true\nrle=true\nradix=dec";
    QTest::newRow("classic, with the key") << "dialect=classic\nradix=hex\nkey=0\nfit=30x30";
}

void TableAsPictureTest::tableComesBackAsItsPicture()
{
    QFETCH(QString, settings);
    // 13 x 5 pixels of many colours, some transparent.
    QImage picture(13, 5, QImage::Format_ARGB32);
    for (int i = 0; i < 65; ++i)
        picture.setPixel(i % 13, i / 13, QRgb(i * 0x2F4B19u) | (i % 4 == 0 ? 0 : 0xFF000000u));
    const QString file = m_dir.filePath("picture.png");
    QVERIFY(picture.save(file));
    QVERIFY(m_window->loadFile(file));
    QVERIFY(m_window->setTableSettings(settingsOf(settings)));
    auto *table = m_window->findChild<QPushButton *>("Command2");
    QTest::mouseClick(table, Qt::LeftButton);
    const QString written = area()->toPlainText();
    const QString width = caption("Label3");
    const QString height = caption("Label4");

    // Another picture, then the table shown as its picture: the table of that is the same.
    QImage other(3, 3, QImage::Format_RGB32);
    other.fill(Qt::green);
    QVERIFY(other.save(m_dir.filePath("other.png")));
    QVERIFY(m_window->loadFile(m_dir.filePath("other.png")));
    showTableAsPicture(width.mid(3).trimmed().toInt());
    QCOMPARE(caption("Label3"), width);
    QCOMPARE(caption("Label4"), height);
    QTest::mouseClick(table, Qt::LeftButton);
    QCOMPARE(area()->toPlainText(), written);
}

QTEST_MAIN(TableAsPictureTest)
#include "tableaspicture_test.moc"
