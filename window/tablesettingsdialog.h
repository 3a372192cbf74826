#pragma once

#include "settingrows.h"

#include <QDialog>
#include <QImage>
#include <QString>

#include <optional>
#include <vector>

class QAbstractButton;
class QButtonGroup;
class QComboBox;
class QDialogButtonBox;
class QFormLayout;
class QLabel;
class QPushButton;
class QSpinBox;

namespace quenzil {

// "Table settings": how the window prepares the picture for the display and shapes its table,
// with the choices and limits of quenzil-table's options, beside a preview of the display's
// pixels. Its controls are made from the setting rows: a switch is a check box, a choice a
// combo box, a number a spin box and a text a line edit, each in the group its row names, with
// the row's words and tip; the display's size and the background are controls of their own. A
// value the command would refuse (a label, an odd count per line with run-length pairs) is told
// in a sentence below the controls and keeps OK disabled.
//
// Live use: show() it and follow settingsChanged(), and hand it the picture the settings make
// with showPicture(); Cancel brings the controls back to the settings given and emits them
// again, so a live view goes back too.
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

    // Shows the picture the settings make as the display shows it, at 2x or 1x, whichever fits
    // (scaled down where neither does), with its size and the length of its table; a null
    // picture: none is loaded.
    void showPicture(const QImage &displayed);
    // Shows why the settings' picture cannot be made, in place of the picture.
    void showPictureProblem(const QString &text);

public slots:
    void reject() override;

signals:
    // The controls give a new combination the command would take.
    void settingsChanged(const quenzil::TableSettings &settings);

private:
    // A control made from a setting row, and where its message shows.
    struct RowControl
    {
        const SettingRow *row = nullptr;
        QWidget *control = nullptr;
        QLabel *message = nullptr;
    };

    void createControls();
    QString caption(std::string_view words);
    void addRowControl(const SettingRow &row, QFormLayout *form);
    void addSizeControls(QFormLayout *form);
    void addBackgroundControls(QFormLayout *form);
    QWidget *createPreview();
    const RowControl *controlOf(std::string_view name) const;
    void showSettings(const TableSettings &settings);
    void showBackground();
    void chooseBackground();
    void clearBackground();
    void restoreDefaults();
    void controlsChanged();
    void enableControls();
    void showFigures();

    TableSettings m_given;
    TableSettings m_settings;
    std::optional<QRgb> m_background;
    // While the controls are set from settings, their signals change nothing.
    bool m_showing = false;
    // Letters taken as shortcuts in the dialog.
    QString m_shortcuts;

    std::vector<RowControl> m_rowControls;
    QComboBox *m_sizeBox = nullptr;
    QSpinBox *m_widthBox = nullptr;
    QSpinBox *m_heightBox = nullptr;
    // The ways to the size, each button standing for its row.
    QButtonGroup *m_scalings = nullptr;
    std::vector<std::pair<const SettingRow *, QAbstractButton *>> m_scalingButtons;
    QPushButton *m_backgroundButton = nullptr;
    QPushButton *m_noBackgroundButton = nullptr;
    QLabel *m_settingsError = nullptr;
    QDialogButtonBox *m_buttons = nullptr;

    QLabel *m_previewPicture = nullptr;
    QLabel *m_previewFigures = nullptr;
    QImage m_picture;
    // What the figures were counted for: the picture and the table's format.
    qint64 m_countedPicture = -1;
    std::optional<TableFormat> m_countedFormat;
};

} // namespace quenzil
