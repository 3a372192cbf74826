#pragma once

#include "picturesurface.h"
#include "tablerun.h"

#include <QString>
#include <QWidget>

#include <functional>

class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace quenzil {

class PictureView;

// The program's one window: load a picture, invert it, write its table into the text area.
class Tavro : public QWidget
{
    Q_OBJECT

public:
    // Asks the user for a picture file; the empty text means cancelled.
    using FileChooser = std::function<QString(QWidget *parent)>;
    // Tells the user about a failure the invert or table command did not expect.
    using FailureReporter = std::function<void(QWidget *parent, const QString &text)>;

    explicit Tavro(QWidget *parent = nullptr);

    // Loads a picture as "Load Bitmap" does after its dialog; a failure changes nothing and
    // says nothing. Returns whether the picture was loaded.
    bool loadFile(const QString &fileName);

    void setFileChooser(FileChooser chooser) { m_chooseFile = std::move(chooser); }
    void setFailureReporter(FailureReporter reporter) { m_reportFailure = std::move(reporter); }
    RunControl &runControl() { return m_runControl; }
    const PictureSurface &surface() const { return m_surface; }

    // The dialog "Load Bitmap" shows: files "*.bmp", though any name typed reaches the loader.
    static QString chooseBitmap(QWidget *parent);
    // A message box with the failure's text.
    static void showFailure(QWidget *parent, const QString &text);

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void loadBitmap();
    void invertPicture();
    void buildTable();
    void createControls();
    void placeControls();
    void reportFailure(const QString &text);

    PictureSurface m_surface;
    RunControl m_runControl;
    FileChooser m_chooseFile = &Tavro::chooseBitmap;
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
};

} // namespace quenzil
