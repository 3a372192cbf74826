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
    // Settings accepted in the Table settings dialog, and the picture's zoom, are kept in
    // `store` when one is given; where the settings cannot be, a message says so and why.
    explicit Tavro(QWidget *parent = nullptr, const SettingsStore *store = nullptr);

    // Loads a picture as "Load Bitmap" does after its dialog; a failure changes nothing and
    // says nothing, but sets *errorText (when given) to the reason. Returns whether the picture
    // was loaded.
    bool loadFile(const QString &fileName, QString *errorText = nullptr);
    // The same for the file of that name as the system has it (see openPictureFile()), as the
    // program's command line gives it.
    bool loadFileNamed(const QByteArray &name, QString *errorText = nullptr);

    // Prepares the picture as `settings` tell (inverted by Invers only, whatever their
    // preparation says) and writes later tables in their shape. The view and the size labels
    // follow at once; a run under way keeps its shape. A preparation that fails changes nothing:
    // returns false with the reason.
    bool setTableSettings(const TableSettings &settings, QString *errorText = nullptr);

    // Shows the picture at `zoom`: PictureView::fit or one of PictureView::steps().
    void setZoom(int zoom);

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // A file dialog's choice (chooseSaveFile(), choosePreviewFile()), or the empty text when it
    // was cancelled or could not be shown.
    QString chosenFile(QString (*chooser)(QWidget *parent));
    // Loads the picture on the clipboard (image data, or a copied picture file) as "Load Bitmap"
    // does; a failure changes nothing and says nothing. Ctrl+V and "Paste picture" in the text
    // area's menu call it.
    void pastePicture();
    // Whether the clipboard holds image data or a local file that holds a picture.
    static bool clipboardHasPicture();
    // Writes the text area's text to a file, line breaks as CR LF and in UTF-8, whole or not at
    // all; a failure is reported with its reason. During a run the file gets the text as it
    // stands, which is the whole text made so far. The file holds the text exactly as it was
    // when the save began: text dropped onto the area meanwhile goes in once the file is
    // complete.
    void saveTable(const QString &fileName);
    // Writes the picture as a 3-3-2 display shows it, as a PNG file: what the view shows with a
    // display setting on, and the picture's codes in their display colours without one. Whole
    // or not at all; a failure is reported with its reason.
    void savePreview(const QString &fileName);
    // Loads a picture as `read` reads it for a preparation, as "Load Bitmap" does.
    bool loadPicture(const std::function<bool(const Preparation &)> &read, QString *errorText);
    void loadBitmap();
    void invertPicture();
    void buildTable();
    void saveTableAs();
    void savePreviewAs();
    void openTableSettings();
    // Keeps the settings for the next starts, where the window has a store.
    void keepSettings();
    // Keeps the zoom for the next starts, where the window has a store.
    void keepZoom(int zoom);
    void showPicture();
    void showAreaMenu(const QPoint &position);
    void showTableAsPicture();
    // Takes a decoded picture (pasted, or a table's) as a loaded one; false when it fails.
    bool takePicture(const QImage &picture, QString *errorText = nullptr);
    void createControls();
    void createZoomActions();
    void placeControls();
    // Hands the settings dialog the picture its settings make, or why they make none.
    void showSettingsPicture(const QString &problem = {});
    // A message box with the failure's text.
    void reportFailure(const QString &text);
    // Keeps a text dropped onto the area while a save is writing it, and puts it in afterwards.
    void holdDrop(const QDropEvent &drop);
    void putHeldDrops();

    PictureSurface m_surface;
    TableSettings m_settings;
    const SettingsStore *m_store;
    RunControl m_runControl;

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
    QAction *m_showTableAction = nullptr;
    TableSettingsDialog *m_settingsDialog = nullptr; // made when first opened
    // The picture the settings dialog was last handed, as the view showed it.
    qint64 m_settingsPicture = 0;

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
