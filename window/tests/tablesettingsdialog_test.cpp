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
            // The background's button asks for a colour: white is chosen.
            QTimer::singleShot(0, [] {
                if (auto *colours =
                        qobject_cast<QColorDialog *>(QApplication::activeModalWidget())) {
                    colours->setCurrentColor(Qt::white);
                    colours->accept();
                }
            });
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
    void everyRowHasAControl();
    void controlsGiveSettings_data();
    void controlsGiveSettings();
    void refusedValueDisablesOk_data();
    void refusedValueDisablesOk();
    void cancelGoesBack();
};

// Each setting the window offers has a control of the kind its row tells, its words as the
// caption and a tip for a user, so a new row shows without more work.
void TableSettingsDialogTest::everyRowHasAControl()
{
    TableSettingsDialog dialog;
    for (const SettingRow &row : settingRows()) {
        if (row.group.empty())
            continue;
        const QString name = QString::fromLatin1(row.name.data(), qsizetype(row.name.size()));
        QWidget *control = nullptr;
        for (const char *suffix : {"Box", "Edit", "Button"}) {
            QString objectName = name + suffix;
            for (qsizetype dash = objectName.indexOf('-'); dash >= 0;
                 dash = objectName.indexOf('-'))
                objectName.replace(dash, 2, objectName.at(dash + 1).toUpper());
            if (!control)
                control = dialog.findChild<QWidget *>(objectName);
        }
        QVERIFY2(control, qPrintable(name));
        QVERIFY2(!row.tip.empty() && control->toolTip() == QString::fromUtf8(row.tip.data()),
                 qPrintable(name));
        const QByteArray kind = control->metaObject()->className();
        const QByteArray expected = row.isSwitch()         ? "QCheckBox"
                                    : !row.choices.empty() ? "QComboBox"
                                    : row.most > 0         ? "QSpinBox"
                                                           : "QLineEdit";
        // The ways to the size and the background are buttons of their own.
        QVERIFY2(kind == expected ||
                     (expected == "QLineEdit" && qobject_cast<QAbstractButton *>(control)),
                 qPrintable(name));
    }
}

void TableSettingsDialogTest::controlsGiveSettings_data()
{
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QString>("settings");

    QTest::newRow("untouched") << ""
                               << "";
    QTest::newRow("preset, fit, diffuse, hex, label")
        << "sizeBox=160 x 128;fitButton;coloursBox=Diffuse dither, for photos;radixBox=hex;"
           "labelEdit=Logo"
        << "fit=160x128\ndither=diffuse\nradix=hex\nlabel=Logo";
    QTest::newRow("custom stretch, nearest levels, pairs")
        << "sizeBox=Custom;widthBox=100;heightBox=50;stretchButton;resampleBox=nearest;"
           "coloursBox=nearest;perLineBox=16;rleBox;rowLinesBox;sizeLineBox"
        << "stretch=100x50\nresample=nearest\nnearest=true\nper-line=16\nrle=true\n"
           "row-lines=true\nsize-line=true";
    QTest::newRow("pad, background, decimal")
        << "sizeBox=480 x 320;padBox;backgroundButton;coloursBox=ordered;radixBox=dec"
        << "fit=480x320\npad=true\nbackground=FFFFFF\ndither=ordered\nradix=dec";
    QTest::newRow("fill and crop") << "sizeBox=320 x 240;fillButton"
                                   << "fill=320x240";
    QTest::newRow("pad goes with fit") << "sizeBox=128 x 128;padBox;fillButton"
                                       << "fill=128x128";
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

    // A sentence that names the field, not the command's option.
    const QString notLabel = QStringLiteral("The label must start with a letter and hold only "
                                            "letters, digits and _, at most 32 characters.");
    QTest::newRow("label starts with a digit") << "labelEdit=1x" << notLabel << "labelError";
    QTest::newRow("label emptied") << "labelEdit=" << notLabel << "labelError";
    QTest::newRow("pairs, 7 a line") << "rleBox;perLineBox=7"
                                     << "Run-length pairs need an even number of numbers per line."
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
