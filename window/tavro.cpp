#include "tavro.h"

#include "numbertext.h"
#include "pictureintake.h"
#include "picturepreparation.h"
#include "picturereading.h"
#include "pictureview.h"
#include "settingsstore.h"
#include "tabledecoder.h"
#include "tablefiles.h"
#include "tablesettingsdialog.h"

#include <QAction>
#include <QActionGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>

#include <algorithm>
#include <cstdio>
#include <limits>

namespace quenzil {

namespace {

// The window opens with a client area of 564 x 251. The picture and the text area grow with the
// window, sharing the width it gains, and the column of controls on the right keeps its distance
// from the right edge.
constexpr QSize clientSize(564, 251);
constexpr int columnLeft = 456;
constexpr int columnMargin = clientSize.width() - columnLeft;
constexpr QRect picturePlace(4, 12, 81, 73);
constexpr QRect areaPlace(100, 8, 349, 233);

QString captionFor(const char *prefix, double value)
{
    return QString::fromLatin1(prefix) + QString::fromStdString(numberText(value));
}

} // namespace

Tavro::Tavro(QWidget *parent, const SettingsStore *store) : QWidget(parent), m_store(store)
{
    setWindowTitle(QStringLiteral("Tavro"));
    setAcceptDrops(true);
    // The layout was made for a font of 8.25 points; larger ones would not fit the note.
    QFont smaller = font();
    smaller.setPointSizeF(8.25);
    setFont(smaller);
    createControls();
    resize(clientSize);
    placeControls();
    // The controls never move left of or above their first places, and the text area never
    // shrinks below its first size: smaller, the window would cut them off.
    const QRect used = childrenRect();
    setMinimumSize(clientSize.expandedTo(QSize(used.right() + 1, used.bottom() + 1)));
}

void Tavro::createControls()
{
    m_loadButton = new QPushButton(QStringLiteral("Load Bitmap"), this);
    m_loadButton->setObjectName(QStringLiteral("Command1"));
    m_tableButton = new QPushButton(QStringLiteral("RGB-Tabelle"), this);
    m_tableButton->setObjectName(QStringLiteral("Command2"));
    m_noteLabel = new QLabel(QStringLiteral("Gespeichert wird als 8bit RGB 3x3x2"), this);
    m_noteLabel->setObjectName(QStringLiteral("Label1"));
    m_noteLabel->setWordWrap(true);
    m_noteLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_picture = new PictureView(this);
    m_picture->setObjectName(QStringLiteral("Picture1"));
    m_progressLabel = new QLabel(this);
    m_progressLabel->setObjectName(QStringLiteral("Label2"));
    m_widthLabel = new QLabel(this);
    m_widthLabel->setObjectName(QStringLiteral("Label3"));
    m_heightLabel = new QLabel(this);
    m_heightLabel->setObjectName(QStringLiteral("Label4"));
    m_invertBox = new QCheckBox(QStringLiteral("Invers"), this);
    m_invertBox->setObjectName(QStringLiteral("Check1"));
    m_area = new QPlainTextEdit(QStringLiteral("RichTextBox1"), this);
    m_area->setObjectName(QStringLiteral("RichTextBox1"));
    // A file dropped on the text area loads the picture instead of pasting its name.
    m_area->viewport()->installEventFilter(this);
    // Tab types a tab into the area; Ctrl+Tab leaves it. Ctrl+V pastes a picture from there too.
    m_area->installEventFilter(this);
    m_area->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_area, &QWidget::customContextMenuRequested, this, &Tavro::showAreaMenu);

    // The window's commands beyond its buttons: keys anywhere in the window, entries in the
    // text area's menu. Where the area has the focus, it claims Ctrl+V (see eventFilter()).
    m_pasteAction = new QAction(tr("Paste picture"), this);
    m_pasteAction->setShortcut(QKeySequence::Paste);
    connect(m_pasteAction, &QAction::triggered, this, &Tavro::pastePicture);
    m_saveAction = new QAction(tr("Save table..."), this);
    m_saveAction->setShortcut(QKeySequence::Save);
    connect(m_saveAction, &QAction::triggered, this, &Tavro::saveTableAs);
    m_settingsAction = new QAction(tr("Table settings..."), this);
    m_settingsAction->setShortcut(QKeySequence(tr("Ctrl+T")));
    connect(m_settingsAction, &QAction::triggered, this, &Tavro::openTableSettings);
    addActions({m_pasteAction, m_saveAction, m_settingsAction});
    m_showTableAction = new QAction(tr("Show table as picture"), this);
    connect(m_showTableAction, &QAction::triggered, this, &Tavro::showTableAsPicture);
    // The picture's menu. Nothing to save before a picture is loaded.
    m_previewAction = new QAction(tr("Save preview..."), this);
    m_previewAction->setEnabled(false);
    connect(m_previewAction, &QAction::triggered, this, &Tavro::savePreviewAs);
    m_picture->setContextMenuPolicy(Qt::ActionsContextMenu);
    m_picture->addActions({m_previewAction, m_settingsAction});
    createZoomActions();

    for (QLabel *label : {m_noteLabel, m_progressLabel, m_widthLabel, m_heightLabel})
        label->setAlignment(label->alignment() | Qt::AlignTop);

    QWidget::setTabOrder(m_loadButton, m_tableButton);
    QWidget::setTabOrder(m_tableButton, m_noteLabel);
    QWidget::setTabOrder(m_noteLabel, m_picture);
    QWidget::setTabOrder(m_picture, m_progressLabel);
    QWidget::setTabOrder(m_progressLabel, m_widthLabel);
    QWidget::setTabOrder(m_widthLabel, m_heightLabel);
    QWidget::setTabOrder(m_heightLabel, m_invertBox);
    QWidget::setTabOrder(m_invertBox, m_area);

    connect(m_loadButton, &QPushButton::clicked, this, &Tavro::loadBitmap);
    connect(m_invertBox, &QCheckBox::clicked, this, &Tavro::invertPicture);
    connect(m_tableButton, &QPushButton::clicked, this, &Tavro::buildTable);
}

void Tavro::createZoomActions()
{
    auto *separator = new QAction(this);
    separator->setSeparator(true);
    // Keys anywhere in the window: the actions sit in the picture's menu.
    auto *zoomIn = new QAction(tr("Zoom in"), this);
    zoomIn->setShortcuts({QKeySequence::ZoomIn, QKeySequence(tr("Ctrl+="))});
    connect(zoomIn, &QAction::triggered, m_picture, &PictureView::zoomIn);
    auto *zoomOut = new QAction(tr("Zoom out"), this);
    zoomOut->setShortcuts(QKeySequence::ZoomOut);
    connect(zoomOut, &QAction::triggered, m_picture, &PictureView::zoomOut);
    // Fit and the steps, one of them checked: the zoom shown.
    auto *zooms = new QActionGroup(this);
    auto *steps = new QMenu(tr("Zoom"), this);
    QList<QAction *> fit;
    for (int zoom : QList<int>{PictureView::fit} +
                        QList<int>(PictureView::steps().begin(), PictureView::steps().end())) {
        auto *action =
            new QAction(zoom == PictureView::fit ? tr("Fit") : tr("%1x").arg(zoom), zooms);
        action->setCheckable(true);
        action->setChecked(zoom == m_picture->zoom());
        action->setData(zoom);
        connect(action, &QAction::triggered, m_picture, [this, zoom] { m_picture->setZoom(zoom); });
        if (zoom == PictureView::fit) {
            action->setShortcut(QKeySequence(tr("Ctrl+0")));
            fit << action;
        } else {
            steps->addAction(action);
        }
    }
    connect(m_picture, &PictureView::zoomChanged, this, [zooms](int zoom) {
        for (QAction *action : zooms->actions())
            action->setChecked(action->data().toInt() == zoom);
    });
    connect(m_picture, &PictureView::zoomChanged, this, &Tavro::keepZoom);
    m_picture->addActions(QList<QAction *>{separator, zoomIn, zoomOut} + fit +
                          QList<QAction *>{steps->menuAction()});
}

void Tavro::setZoom(int zoom)
{
    m_picture->setZoom(zoom);
}

void Tavro::placeControls()
{
    const int left = std::max(columnLeft, width() - columnMargin);
    // A label or box grows downwards when the font needs more room than its place has.
    const auto place = [left](QWidget *control, int top, int width, int height) {
        const int needed = control->hasHeightForWidth() ? control->heightForWidth(width)
                                                        : control->sizeHint().height();
        control->setGeometry(left, top, width, std::max(height, needed));
    };
    place(m_loadButton, 8, 105, 21);
    place(m_tableButton, 36, 105, 21);
    place(m_noteLabel, 64, 105, 33);
    place(m_invertBox, 104, 97, 13);
    place(m_widthLabel, 128, 105, 13);
    place(m_heightLabel, 148, 105, 17);
    place(m_progressLabel, 172, 105, 17);
    // What the window has grown by; the picture takes half the width, the area the rest.
    const QSize grown = (size() - clientSize).expandedTo(QSize(0, 0));
    const int pictureGrown = (left - columnLeft) / 2;
    m_picture->setGeometry(picturePlace.adjusted(0, 0, pictureGrown, grown.height()));
    m_area->setGeometry(areaPlace.adjusted(pictureGrown, 0, left - columnLeft, grown.height()));
}

bool Tavro::loadFile(const QString &fileName, QString *errorText)
{
    return loadPicture(
        [&](const Preparation &preparation) {
            return m_surface.load(fileName, preparation, errorText);
        },
        errorText);
}

bool Tavro::loadFileNamed(const QByteArray &name, QString *errorText)
{
    return loadPicture(
        [&](const Preparation &preparation) {
            QFile file;
            const QString reason = openPictureFile(file, name, PictureFiles::RegularOnly);
            if (reason.isEmpty())
                return m_surface.read(&file, preparation, errorText);
            if (errorText)
                *errorText = reason;
            return false;
        },
        errorText);
}

bool Tavro::loadPicture(const std::function<bool(const Preparation &)> &read, QString *errorText)
{
    // A new picture comes in as it is, not inverted, whatever the Invers box shows.
    Preparation preparation = m_settings.preparation;
    preparation.invert = false;
    try {
        if (!read(preparation))
            return false;
    } catch (...) {
        // Whatever goes wrong while loading ends the command without a word.
        if (errorText)
            *errorText = tr("It cannot be read");
        return false;
    }
    m_settings.preparation.invert = false;
    showPicture();
    return true;
}

void Tavro::pastePicture()
{
    const CopiedPicture copied = copiedPicture();
    if (!copied.fileName.isEmpty()) {
        loadFile(copied.fileName);
        return;
    }
    if (!copied.image.isNull())
        takePicture(copied.image);
}

bool Tavro::takePicture(const QImage &picture, QString *errorText)
{
    return loadPicture(
        [&](const Preparation &preparation) {
            return m_surface.take(picture, preparation, errorText);
        },
        errorText);
}

bool Tavro::clipboardHasPicture()
{
    return !copiedPicture().isEmpty();
}

bool Tavro::setTableSettings(const TableSettings &settings, QString *errorText)
{
    // Inverting is the Invers box's alone.
    TableSettings next = settings;
    next.preparation.invert = m_settings.preparation.invert;
    // A change of the table's shape alone leaves the picture as it is prepared.
    if (next.preparation != m_settings.preparation &&
        !m_surface.prepare(next.preparation, errorText))
        return false;
    m_settings = next;
    if (!m_surface.image().isNull())
        showPicture();
    return true;
}

void Tavro::showPicture()
{
    m_picture->setPicture(m_surface.image());
    m_previewAction->setEnabled(true);
    m_widthLabel->setText(captionFor("X: ", m_surface.width()));
    m_heightLabel->setText(captionFor("Y: ", m_surface.height()));
}

void Tavro::saveTable(const QString &fileName)
{
    // The writing lets the window process events between its slices: a text dropped meanwhile is
    // held until the file is complete, so that the file has the text as it was when the save
    // began rather than pieces of both.
    m_saving = true;
    QString failure;
    {
        const auto saved = qScopeGuard([this] {
            m_saving = false;
            putHeldDrops();
        });
        failure = saveTableFile(*m_area, fileName);
    }
    if (!failure.isEmpty())
        reportFailure(
            tr("Cannot save the table to %1: %2").arg(QDir::toNativeSeparators(fileName), failure));
}

void Tavro::savePreview(const QString &fileName)
{
    // The same picture as quenzil-table's --preview, written the same way.
    const QString failure =
        savePngFile(previewPicture(m_surface.prepared(), m_settings.preparation.key), fileName);
    if (!failure.isEmpty())
        reportFailure(tr("Cannot save the preview to %1: %2")
                          .arg(QDir::toNativeSeparators(fileName), failure));
}

QString Tavro::chosenFile(QString (*chooser)(QWidget *parent))
{
    // A dialog that cannot be shown counts as cancelled: nothing changes.
    try {
        return chooser(this);
    } catch (...) {
        return {};
    }
}

void Tavro::savePreviewAs()
{
    if (const QString fileName = chosenFile(&choosePreviewFile); !fileName.isEmpty())
        savePreview(fileName);
}

void Tavro::saveTableAs()
{
    if (const QString fileName = chosenFile(&chooseSaveFile); !fileName.isEmpty())
        saveTable(fileName);
}

void Tavro::showAreaMenu(const QPoint &position)
{
    // The area's own menu with the window's commands added. It does not hold up a run.
    QMenu *menu = m_area->createStandardContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addSeparator();
    // Offered only with a picture to paste; Ctrl+V stays on for whatever is copied next.
    m_pasteAction->setEnabled(clipboardHasPicture());
    connect(menu, &QMenu::aboutToHide, m_pasteAction, [this] { m_pasteAction->setEnabled(true); });
    menu->addActions({m_pasteAction, m_saveAction, m_showTableAction, m_settingsAction});
    menu->popup(m_area->viewport()->mapToGlobal(position));
}

void Tavro::showTableAsPicture()
{
    // The table is read as the settings write it: with a size line or run-length pairs where
    // they say so. Without a size line the width is asked for.
    const TableFormat &format = m_settings.format;
    std::uint64_t width = 0;
    if (!format.sizeLine) {
        QInputDialog dialog(this);
        dialog.setObjectName(QStringLiteral("tableWidth"));
        dialog.setWindowTitle(tr("Show table as picture"));
        dialog.setInputMode(QInputDialog::IntInput);
        dialog.setLabelText(tr("The table has no size line. The picture's width in pixels:"));
        dialog.setIntRange(1, std::numeric_limits<int>::max());
        dialog.setIntValue(std::max(1, int(m_surface.width())));
        if (dialog.exec() != QDialog::Accepted)
            return;
        width = std::uint64_t(dialog.intValue());
    }
    // Line breaks come as '\n', which the decoder reads as CR LF.
    const QByteArray text = m_area->toPlainText().toUtf8();
    DecodedTable table = decodeTable({text.constData(), std::size_t(text.size())}, format, width,
                                     std::uint64_t(pixelLimit()));
    QString error = QString::fromStdString(table.error);
    if (error.isEmpty()) {
        // Its key's pixels come in transparent, so that the key finds them again.
        const QImage picture = codedPicture(int(table.width), int(table.height), table.codes,
                                            m_settings.preparation.key);
        table.codes = {};
        if (picture.isNull())
            error = noMemoryText();
        else if (!takePicture(picture, &error) && error.isEmpty())
            error = tr("It cannot be shown");
    }
    if (!error.isEmpty())
        reportFailure(tr("Cannot show the table as a picture: %1").arg(error));
}

void Tavro::openTableSettings()
{
    if (m_settingsDialog) {
        m_settingsDialog->setSettings(m_settings);
    } else {
        m_settingsDialog = new TableSettingsDialog(m_settings, this);
        // The view and the dialog's preview follow every change at once (a change the picture
        // cannot take leaves the view as it was, and the preview says why); Cancel brings back
        // the settings the dialog opened with the same way.
        connect(m_settingsDialog, &TableSettingsDialog::settingsChanged, this,
                [this](const TableSettings &settings) {
                    QString problem;
                    if (!setTableSettings(settings, &problem) && problem.isEmpty())
                        problem = tr("The picture cannot be prepared");
                    showSettingsPicture(problem);
                });
        connect(m_settingsDialog, &QDialog::accepted, this, [this] {
            QString error;
            if (!setTableSettings(m_settingsDialog->settings(), &error)) {
                reportFailure(error);
                return;
            }
            keepSettings();
        });
    }
    m_settingsPicture = 0;
    showSettingsPicture();
    // Window-modal: runs go on while it is open.
    m_settingsDialog->open();
}

void Tavro::showSettingsPicture(const QString &problem)
{
    if (!problem.isEmpty()) {
        m_settingsDialog->showPictureProblem(problem);
        m_settingsPicture = 0;
        return;
    }
    // The display's picture is made again only where the window's picture changed: a change of
    // the table's shape alone leaves it.
    if (m_surface.image().isNull() || m_surface.image().cacheKey() != m_settingsPicture) {
        m_settingsPicture = m_surface.image().cacheKey();
        m_settingsDialog->showPicture(m_surface.displayed());
    }
}

void Tavro::keepSettings()
{
    if (!m_store)
        return;
    // The settings apply all the same; only the next start goes without them.
    if (const QString failure = m_store->save(m_settings); !failure.isEmpty())
        QMessageBox::warning(this, QStringLiteral("QUENZIL"),
                             tr("The table settings apply now but will not be kept for the next "
                                "start. %1.")
                                 .arg(failure));
}

void Tavro::keepZoom(int zoom)
{
    // A zoom that cannot be kept is no reason to hold up the user: one line says so.
    if (m_store) {
        if (const QString failure = m_store->saveZoom(zoom); !failure.isEmpty())
            std::fprintf(stderr, "quenzil: settings: %s\n", failure.toLocal8Bit().constData());
    }
}

void Tavro::loadBitmap()
{
    // The dialog goes only once the picture is shown: as it goes, Qt writes its state to the
    // user's settings and waits for the disk (some 20 ms), which the picture need not wait for.
    QFileDialog dialog(this);
    QString fileName;
    try {
        fileName = chooseBitmap(dialog);
    } catch (...) {
        return; // a dialog that cannot be shown counts as cancelled: nothing changes
    }
    if (!fileName.isEmpty() && loadFile(fileName))
        m_picture->repaint();
}

void Tavro::invertPicture()
{
    try {
        Preparation preparation = m_settings.preparation;
        preparation.invert = !preparation.invert;
        QString error;
        if (m_surface.prepare(preparation, &error))
            m_settings.preparation = preparation;
        else
            reportFailure(error);
        m_picture->setPicture(m_surface.image());
    } catch (const std::exception &error) {
        reportFailure(QString::fromLocal8Bit(error.what()));
    } catch (...) {
        reportFailure(tr("Unknown error"));
    }
}

void Tavro::buildTable()
{
    // A picture too large for the table's line numbers is told of before anything is written.
    if (const std::string error = tableSizeError(
            m_settings.format, std::uint64_t(m_surface.width()), std::uint64_t(m_surface.height()));
        !error.empty()) {
        reportFailure(tr("Cannot write the table: %1").arg(QString::fromStdString(error)));
        return;
    }
    try {
        TableRun(m_surface, *m_area, *m_progressLabel, m_runControl, m_settings.format).run();
    } catch (const RunCancelled &) {
        // The window is closing; the run just stops.
    } catch (const std::exception &error) {
        reportFailure(QString::fromLocal8Bit(error.what()));
    } catch (...) {
        reportFailure(tr("Unknown error"));
    }
}

void Tavro::reportFailure(const QString &text)
{
    QMessageBox::critical(this, QStringLiteral("QUENZIL"), text);
}

void Tavro::closeEvent(QCloseEvent *event)
{
    // Every table run stops at its next pass; the program then ends as the window has gone.
    m_runControl.cancelAll();
    QWidget::closeEvent(event);
}

void Tavro::holdDrop(const QDropEvent &drop)
{
    // The drag's data lives only as long as the drag: a copy is kept.
    auto data = std::make_unique<QMimeData>();
    for (const QString &format : drop.mimeData()->formats())
        data->setData(format, drop.mimeData()->data(format));
    m_heldDrops.push_back({std::move(data), drop.position(), drop.possibleActions(), drop.buttons(),
                           drop.modifiers()});
}

void Tavro::putHeldDrops()
{
    // Each goes to the area as it came, now that nothing else is reading the text; a drop goes
    // where a drag last entered, so it enters first.
    std::vector<HeldDrop> held = std::move(m_heldDrops);
    m_heldDrops.clear();
    for (const HeldDrop &drop : held) {
        QDragEnterEvent enter(drop.position.toPoint(), drop.actions, drop.data.get(), drop.buttons,
                              drop.modifiers);
        QCoreApplication::sendEvent(m_area->viewport(), &enter);
        QDropEvent event(drop.position, drop.actions, drop.data.get(), drop.buttons,
                         drop.modifiers);
        QCoreApplication::sendEvent(m_area->viewport(), &event);
    }
}

void Tavro::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    placeControls();
}

void Tavro::dragEnterEvent(QDragEnterEvent *event)
{
    if (!droppedFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void Tavro::dropEvent(QDropEvent *event)
{
    const QString fileName = droppedFile(event->mimeData());
    if (fileName.isEmpty())
        return;
    event->acceptProposedAction();
    loadFile(fileName);
}

bool Tavro::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_area && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        const bool tab = key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab;
        if (tab && key->modifiers().testFlag(Qt::ControlModifier)) {
            focusNextPrevChild(key->key() == Qt::Key_Tab &&
                               !key->modifiers().testFlag(Qt::ShiftModifier));
            return true;
        }
    }
    // The area claims Ctrl+V for its own paste; with a picture on the clipboard it leaves the
    // key to the window's Paste picture, and text stays the area's to paste.
    if (watched == m_area && event->type() == QEvent::ShortcutOverride &&
        static_cast<QKeyEvent *>(event)->matches(QKeySequence::Paste) && clipboardHasPicture())
        return true;
    if (watched == m_area->viewport()) {
        switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto *drag = static_cast<QDragMoveEvent *>(event);
            if (!droppedFile(drag->mimeData()).isEmpty() ||
                (m_saving && drag->mimeData()->hasText())) {
                drag->acceptProposedAction();
                return true;
            }
            break;
        }
        case QEvent::Drop: {
            auto *drop = static_cast<QDropEvent *>(event);
            if (!droppedFile(drop->mimeData()).isEmpty()) {
                dropEvent(drop);
                return true;
            }
            if (m_saving && drop->mimeData()->hasText()) {
                holdDrop(*drop);
                drop->acceptProposedAction();
                return true;
            }
            break;
        }
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace quenzil
