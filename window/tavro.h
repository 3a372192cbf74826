#pragma once

#include "pictureintake.h"
#include "picturesurface.h"
#include "settingrows.h"
#include "tablefiles.h"
#include "tablerun.h"

#include <QMimeData>
#include <QPointF>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

class QAction;
class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace quenzil {

class PictureView;
class SettingsStore;
class TableSettingsDialog;

// The program's one window: load a picture, invert it, write its table into the text area.
class Tavro : public QWidget
{
    Q_OBJECT

public:
    // Asks the user for a picture file to open, or for the file to save the table to; the empty
    // text means cancelled.
    using FileChooser = std::function<QString(QWidget *parent)>;
    // Tells the user about a failure the invert or table command did not expect.
    using FailureReporter = std::function<void(QWidget *parent, const QString &text)>;

    // Table runs keep `cadence` when one is given (tests and benchmarks), the window's own
    // otherwise. Settings accepted in the Table settings dialog are kept in `store` when one is
    // given; where they cannot be, a message says so and why.
    explicit Tavro(QWidget *parent = nullptr, RunCadence *cadence = nullptr,
                   const SettingsStore *store = nullptr);

    // Loads a picture as "Load Bitmap" does after its dialog; a failure changes nothing and
    // says nothing, but sets *errorText (when given) to the reason. Returns whether the picture
    // was loaded.
    bool loadFile(const QString &fileName, QString *errorText = nullptr);
    // The same for the file of that name as the system has it (see openPictureFile()), as the
    // program's command line gives it.
    bool loadFileNamed(const QByteArray &name, QString *errorText = nullptr);

    // Loads the picture on the clipboard (image data, or a copied picture file) as "Load Bitmap"
    // does; a failure changes nothing and says nothing. Returns whether a picture was loaded.
    // Ctrl+V and "Paste picture" in the text area's menu call it.
    bool pastePicture();
    // Whether the clipboard holds image data or a local file that holds a picture.
    static bool clipboardHasPicture();

    // Writes the text area's text to a file, line breaks as CR LF and in UTF-8, whole or not at
    // all; a failure is reported with its reason. During a run the file gets the text as it
    // stands, which is the whole text made so far. The file holds the text exactly as it was
    // when the save began: text dropped onto the area meanwhile goes in once the file is
    // complete. Returns whether the file was written.
    bool saveTable(const QString &fileName);

    // Writes the picture as a 3-3-2 display shows it, as a PNG file: what the view shows with a
    // display setting on, and the picture's codes in their display colours without one. Whole
    // or not at all; a failure is reported with its reason. Returns whether the file was written.
    bool savePreview(const QString &fileName);

    // The settings that prepare the picture and shape its table; the default changes nothing.
    const TableSettings &tableSettings() const { return m_settings; }
    // Prepares the picture as `settings` tell (inverted by Invers only, whatever their
    // preparation says) and writes later tables in their shape. The view and the size labels
    // follow at once; a run under way keeps its shape. A preparation that fails changes nothing:
    // returns false with the reason.
    bool setTableSettings(const TableSettings &settings, QString *errorText = nullptr);

    void setFileChooser(FileChooser chooser) { m_chooseFile = std::move(chooser); }
    void setSaveChooser(FileChooser chooser) { m_chooseSaveFile = std::move(chooser); }
    void setPreviewChooser(FileChooser chooser) { m_choosePreviewFile = std::move(chooser); }
    void setFailureReporter(FailureReporter reporter) { m_reportFailure = std::move(reporter); }
    // What the window's table runs share: how many are under way.
    const RunControl &runControl() const { return m_runControl; }
    const PictureSurface &surface() const { return m_surface; }

    // A message box with the failure's text.
    static void showFailure(QWidget *parent, const QString &text);

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Loads a picture as `read` reads it for a preparation, as "Load Bitmap" does.
    bool loadPicture(const std::function<bool(const Preparation &)> &read, QString *errorText);
    // The file a chooser names, or the empty text when it was cancelled or failed.
    QString chosenFile(const FileChooser &chooser);
    void loadBitmap();
    void invertPicture();
    void buildTable();
    void saveTableAs();
    void savePreviewAs();
    void openTableSettings();
    // Keeps the settings for the next starts, where the window has a store.
    void keepSettings();
    void showPicture();
    void showAreaMenu(const QPoint &position);
    void createControls();
    void placeControls();
    void reportFailure(const QString &text);
    // Keeps a text dropped onto the area while a save is writing it, and puts it in afterwards.
    void holdDrop(const QDropEvent &drop);
    void putHeldDrops();

    PictureSurface m_surface;
    TableSettings m_settings;
    const SettingsStore *m_store;
    RunControl m_runControl;
    FileChooser m_chooseFile = &chooseBitmap;
    FileChooser m_chooseSaveFile = &chooseSaveFile;
    FileChooser m_choosePreviewFile = &choosePreviewFile;
    FailureReporter m_reportFailure = &Tavro::showFailure;

    QPushButton *m_loadButton = nullptr;
    QPushButton *m_tableButton = nullptr;
    QLabel *m_noteLabel = nullptr;
    PictureView *m_picture = nullptr;
    QLabel *m_progressLabel = nullptr;
    QLabel *m_widthLabel = nullptr;
    QLabel *m_heightLabel = nullptr;
    QCheckBox *m_invertBox = nullptr;
    QPlainTextEdit *m_area = nullptr;
    QAction *m_pasteAction = nullptr;
    QAction *m_saveAction = nullptr;
    QAction *m_previewAction = nullptr;
    QAction *m_settingsAction = nullptr;
    TableSettingsDialog *m_settingsDialog = nullptr; // made when first opened

    // A text dropped onto the area during a save, as it came.
    struct HeldDrop
    {
        std::unique_ptr<QMimeData> data;
        QPointF position;
        Qt::DropActions actions;
        Qt::MouseButtons buttons;
        Qt::KeyboardModifiers modifiers;
    };
    bool m_saving = false;
    std::vector<HeldDrop> m_heldDrops;
};

} // namespace quenzil
