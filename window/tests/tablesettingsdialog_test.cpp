#include "settingsof.h"
#include "tablesettingsdialog.h"

#include <QAbstractButton>
#include <QApplication>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

using namespace quenzil;

namespace {

// Works the controls as a user would: "name=value" sets a box or field (a combo box's item by its
// value or caption), "name" clicks a button; steps are separated by ";".
void operate(TableSettingsDialog &dialog, const QString &steps)
{
    for (const QString &step : steps.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString name = step.section(QLatin1Char('='), 0, 0);
        const QString value = step.section(QLatin1Char('='), 1);
        QWidget *control = dialog.findChild<QWidget *>(name);
        QVERIFY2(control, qPrintable(name));
        if (auto *box = qobject_cast<QComboBox *>(control)) {
            const int index =
                box->findData(value) >= 0 ? box->findData(value) : box->findText(value);
            QVERIFY2(index >= 0, qPrintable(step));
            box->setCurrentIndex(index);
        } else if (auto *spin = qobject_cast<QSpinBox *>(control)) {
            spin->setValue(value.toInt());
        } else if (auto *edit = qobject_cast<QLineEdit *>(control)) {
            edit->setText(value);
        } else if (auto *button = qobject_cast<QAbstractButton *>(control)) {
            QVERIFY2(button->isEnabled(), qPrintable(name));
            button->click();
        } else {
            QFAIL(qPrintable(step));
        }
    }
}

QAbstractButton *button(TableSettingsDialog &dialog, QDialogButtonBox::StandardButton which)
{
    return dialog.findChild<QDialogButtonBox *>(QStringLiteral("buttons"))->button(which);
}

} // namespace

class TableSettingsDialogTest : public QObject
{
    Q_OBJECT

private slots:
    void controlsGiveSettings_data();
    void controlsGiveSettings();
    void refusedValueDisablesOk_data();
    void refusedValueDisablesOk();
    void cancelGoesBack();
};

void TableSettingsDialogTest::controlsGiveSettings_data()
{
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QString>("settings");

    QTest::newRow("untouched") << ""
                               << "";
    QTest::newRow("preset, fit, diffuse, hex, label")
        << "sizeBox=160 x 128;fitButton;coloursBox=Diffuse dither;radixBox=hex;labelEdit=Logo"
        << "fit=160x128\ndither=diffuse\nradix=hex\nlabel=Logo";
    QTest::newRow("custom stretch, nearest levels, pairs")
        << "sizeBox=Custom;widthBox=100;heightBox=50;stretchButton;resampleBox=nearest;"
           "coloursBox=Nearest levels;perLineBox=16;rleBox;rowLinesBox;sizeLineBox"
        << "stretch=100x50\nresample=nearest\nnearest=true\nper-line=16\nrle=true\n"
           "row-lines=true\nsize-line=true";
    QTest::newRow("pad, background, decimal")
        << "sizeBox=480 x 320;padBox;backgroundButton;coloursBox=Ordered dither;radixBox=dec"
        << "fit=480x320\npad=true\nbackground=FFFFFF\ndither=ordered\nradix=dec";
    QTest::newRow("pad goes with the size") << "sizeBox=128 x 128;padBox;sizeBox=Off"
                                            << "";
    QTest::newRow("background back to none") << "backgroundButton;noBackgroundButton"
                                             << "";
}

void TableSettingsDialogTest::controlsGiveSettings()
{
    QFETCH(QString, steps);
    QFETCH(QString, settings);
    TableSettingsDialog dialog;
    // The background button's colour dialog: white, chosen as a user chooses it.
    QTimer colourChoice;
    connect(&colourChoice, &QTimer::timeout, [] {
        if (auto *colours = qobject_cast<QColorDialog *>(QApplication::activeModalWidget())) {
            colours->setCurrentColor(Qt::white);
            colours->accept();
        }
    });
    colourChoice.start(10);
    QSignalSpy changed(&dialog, &TableSettingsDialog::settingsChanged);
    operate(dialog, steps);

    const TableSettings expected = settingsOf(settings);
    QCOMPARE(dialog.settings(), expected);
    QVERIFY(button(dialog, QDialogButtonBox::Ok)->isEnabled());
    if (expected != TableSettings{})
        QCOMPARE(changed.constLast().constFirst().value<TableSettings>(), expected);
    // The settings come back in the controls as they were set.
    QCOMPARE(TableSettingsDialog(expected).settings(), expected);
}

void TableSettingsDialogTest::refusedValueDisablesOk_data()
{
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("messageLabel");

    const QString notLabel =
        QStringLiteral(" is not a BASIC label (a letter, then letters, digits or _, at most 32)");
    QTest::newRow("label starts with a digit")
        << "labelEdit=1x"
        << "option '--label': '1x'" + notLabel << "labelError";
    QTest::newRow("pairs, 7 a line") << "rleBox;perLineBox=7"
                                     << "option '--rle' needs an even '--per-line', not 7"
                                     << "settingsError";
}

void TableSettingsDialogTest::refusedValueDisablesOk()
{
    QFETCH(QString, steps);
    QFETCH(QString, message);
    QFETCH(QString, messageLabel);
    const TableSettings given = settingsOf(QStringLiteral("radix=hex"));
    TableSettingsDialog dialog(given);
    operate(dialog, steps);

    const auto *label = dialog.findChild<QLabel *>(messageLabel);
    QCOMPARE(label->text(), message);
    QVERIFY(!label->isHidden());
    QVERIFY(!button(dialog, QDialogButtonBox::Ok)->isEnabled());
    QCOMPARE(dialog.settings().format.radix, Radix::hexadecimal);

    button(dialog, QDialogButtonBox::RestoreDefaults)->click();
    QCOMPARE(dialog.settings(), TableSettings{});
    QVERIFY(label->isHidden());
    QVERIFY(button(dialog, QDialogButtonBox::Ok)->isEnabled());
}

void TableSettingsDialogTest::cancelGoesBack()
{
    TableSettings given = settingsOf(QStringLiteral("fit=128x160\nradix=dec"));
    given.preparation.invert = true;
    TableSettingsDialog dialog(given);
    QSignalSpy changed(&dialog, &TableSettingsDialog::settingsChanged);
    operate(dialog, QStringLiteral("radixBox=hex;sizeBox=Off"));
    QCOMPARE(changed.size(), 2);
    QVERIFY(dialog.settings().preparation.invert);

    button(dialog, QDialogButtonBox::Cancel)->click();
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(dialog.settings(), given);
    QCOMPARE(changed.constLast().constFirst().value<TableSettings>(), given);
}

QTEST_MAIN(TableSettingsDialogTest)
#include "tablesettingsdialog_test.moc"
