#pragma once

#include "settingrows.h"

#include <QColor>
#include <QDialog>

#include <optional>

class QCheckBox;
class QComboBox;
class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace quenzil {

// "Table settings": how the window prepares the picture for the display and shapes its table,
// with the choices, limits and messages of quenzil-table's options. The controls only ever give
// settings the command would take: a label it would refuse or a combination it would refuse
// (an odd count per line with run-length pairs) is shown below the controls and keeps OK
// disabled.
//
// Modal use: exec(), then settings(). Live use: show() it and follow settingsChanged(); Cancel
// brings the controls back to the settings given and emits them again, so a live view goes back
// too.
class TableSettingsDialog : public QDialog
{
    Q_OBJECT

public:
    explicit TableSettingsDialog(const TableSettings &settings = {}, QWidget *parent = nullptr);

    // The settings the controls give: the last sound ones while they show something the command
    // would refuse.
    TableSettings settings() const { return m_settings; }
    // Shows `settings` in the controls; Cancel comes back to them. Their inverting is no control
    // here and passes through to settings() as it is.
    void setSettings(const TableSettings &settings);

    // The colour dialog the background button shows, starting from `initial`; an invalid colour
    // means cancelled.
    static QColor chooseColour(QWidget *parent, const QColor &initial);

    // The sizes the size box offers, besides none and a size of one's own.
    static const std::vector<QSize> &presetSizes();

public slots:
    void reject() override;

signals:
    // The controls give a new combination the command would take.
    void settingsChanged(const quenzil::TableSettings &settings);

private:
    QWidget *createDisplayGroup();
    QWidget *createTableGroup();
    void showSettings(const TableSettings &settings);
    void showBackground();
    void chooseBackground();
    void clearBackground();
    void restoreDefaults();
    void controlsChanged();
    void enableControls();

    TableSettings m_given;
    TableSettings m_settings;
    std::optional<QRgb> m_background;
    // While the controls are set from settings, their signals change nothing.
    bool m_showing = false;

    QComboBox *m_sizeBox = nullptr;
    QSpinBox *m_widthBox = nullptr;
    QSpinBox *m_heightBox = nullptr;
    QRadioButton *m_fitButton = nullptr;
    QRadioButton *m_stretchButton = nullptr;
    QCheckBox *m_padBox = nullptr;
    QComboBox *m_resampleBox = nullptr;
    QPushButton *m_backgroundButton = nullptr;
    QPushButton *m_noBackgroundButton = nullptr;
    QComboBox *m_coloursBox = nullptr;
    QComboBox *m_radixBox = nullptr;
    QLineEdit *m_labelEdit = nullptr;
    QLabel *m_labelError = nullptr;
    QSpinBox *m_perLineBox = nullptr;
    QCheckBox *m_sizeLineBox = nullptr;
    QCheckBox *m_rowLinesBox = nullptr;
    QCheckBox *m_rleBox = nullptr;
    QLabel *m_settingsError = nullptr;
    QDialogButtonBox *m_buttons = nullptr;
};

} // namespace quenzil
