#include "tablesettingsdialog.h"

#include "imagepixels.h"
#include "picturepreparation.h"
#include "tablebuilder.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>
#include <map>

namespace quenzil {

namespace {

// The rows the display's size stands for, each a way to reach it, and the background's.
constexpr std::string_view sizeRows[] = {"fit", "stretch", "fill"};
constexpr std::string_view backgroundRow = "background";
// The preview's room, in screen pixels: the largest display, 480 x 320, either way up.
constexpr QSize previewRoom(480, 480);

// The sizes the size box offers, besides none and a size of one's own.
const std::vector<QSize> &presetSizes()
{
    static const std::vector<QSize> sizes = {{128, 128}, {128, 160}, {160, 128}, {240, 320},
                                             {320, 240}, {320, 480}, {480, 320}};
    return sizes;
}

bool isSizeRow(std::string_view name)
{
    return std::find(std::begin(sizeRows), std::end(sizeRows), name) != std::end(sizeRows);
}

QString textOf(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

// A row's name as an object name: "per-line" and "Box" make "perLineBox".
QString objectNameOf(std::string_view name, const char *suffix)
{
    QString camel;
    bool upper = false;
    for (const char c : name) {
        if (c == '-') {
            upper = true;
            continue;
        }
        camel += upper ? QChar(c).toUpper() : QChar(c);
        upper = false;
    }
    return camel + QLatin1String(suffix);
}

QString sizeCaption(QSize size)
{
    return QStringLiteral("%1 x %2").arg(size.width()).arg(size.height());
}

// Messages show in a colour that sets them apart from the captions.
QLabel *messageLabel(const QString &objectName, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setObjectName(objectName);
    label->setWordWrap(true);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, QColor(0xB0, 0x00, 0x20));
    label->setPalette(palette);
    label->hide();
    return label;
}

void showMessage(QLabel *label, const std::string &message)
{
    label->setText(QString::fromStdString(message));
    label->setVisible(!message.empty());
}

// The number a value gives, or `fallback`.
int numberOf(const std::string &value, int fallback)
{
    bool ok = false;
    const int number = QString::fromStdString(value).toInt(&ok);
    return ok ? number : fallback;
}

// Whether a switch is on by default: applying "true" leaves the default as it is.
bool onByDefault(const SettingRow &row)
{
    Options on;
    row.apply(on, "true");
    return on == Options{};
}

// Takes the text and counts it: the table's length without keeping the table.
struct CountedOutput
{
    void setText(std::string_view) {}
    void append(std::string_view) {}
};

// The length of the table `format` writes for the picture, as quenzil-table writes it (CR LF
// between lines). Display colours code as the colours they show.
std::uint64_t tableCharacters(const QImage &picture, const TableFormat &format)
{
    ImagePixels pixels(picture);
    CountedOutput output;
    NoProgress progress;
    NoEventPump pump;
    TableBuilder builder(pixels, output, progress, pump, format);
    builder.run();
    return builder.characters();
}

} // namespace

TableSettingsDialog::TableSettingsDialog(const TableSettings &settings, QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Table settings"));
    // The buttons' own shortcuts.
    m_shortcuts = QStringLiteral("oc");
    m_settingsError = messageLabel(QStringLiteral("settingsError"), this);
    m_buttons = new QDialogButtonBox(
        QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::RestoreDefaults, this);
    m_buttons->setObjectName(QStringLiteral("buttons"));
    connect(m_buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &TableSettingsDialog::reject);
    connect(m_buttons->button(QDialogButtonBox::RestoreDefaults), &QPushButton::clicked, this,
            &TableSettingsDialog::restoreDefaults);
    // What was accepted is what a later Cancel comes back to.
    connect(this, &QDialog::accepted, this, [this] { m_given = m_settings; });

    createControls();
    setSettings(settings);
    showPicture({});
}

QString TableSettingsDialog::caption(std::string_view words)
{
    // The first letter no other caption has taken becomes the caption's shortcut.
    QString text = textOf(words);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar letter = text.at(i).toLower();
        if (letter.isLetter() && !m_shortcuts.contains(letter)) {
            m_shortcuts += letter;
            text.insert(i, u'&');
            break;
        }
    }
    return text;
}

void TableSettingsDialog::createControls()
{
    // One group for each group the rows name, in the order they first name it, one below the
    // other, so that the preview has room beside them.
    auto *groups = new QVBoxLayout;
    std::vector<std::pair<std::string_view, QFormLayout *>> forms;
    const auto formOf = [&](std::string_view group) {
        for (const auto &[name, form] : forms) {
            if (name == group)
                return form;
        }
        auto *box = new QGroupBox(textOf(group), this);
        auto *form = new QFormLayout(box);
        groups->addWidget(box);
        forms.emplace_back(group, form);
        return form;
    };
    for (const SettingRow &row : settingRows()) {
        if (row.group.empty() || (row.reach != Reach::Setting && row.reach != Reach::Dialog))
            continue;
        QFormLayout *form = formOf(row.group);
        if (isSizeRow(row.name)) {
            if (!m_scalings)
                addSizeControls(form);
        } else if (row.name == backgroundRow) {
            addBackgroundControls(form);
        } else {
            addRowControl(row, form);
        }
    }
    // Each control's tip where its row has one.
    for (const RowControl &made : m_rowControls)
        made.control->setToolTip(textOf(made.row->tip));

    auto *controls = new QVBoxLayout;
    controls->addLayout(groups);
    controls->addWidget(m_settingsError);
    controls->addStretch();
    auto *beside = new QHBoxLayout;
    beside->addLayout(controls);
    beside->addWidget(createPreview(), 0, Qt::AlignTop);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(beside);
    layout->addWidget(m_buttons);
}

void TableSettingsDialog::addRowControl(const SettingRow &row, QFormLayout *form)
{
    QWidget *parent = form->parentWidget();
    RowControl made{&row, nullptr, nullptr};
    if (row.isSwitch()) {
        auto *box = new QCheckBox(caption(row.words), parent);
        connect(box, &QCheckBox::toggled, this, &TableSettingsDialog::controlsChanged);
        form->addRow(QString(), box);
        made.control = box;
    } else {
        const QString label = caption(row.words) + u':';
        if (!row.choices.empty()) {
            auto *box = new QComboBox(parent);
            for (const Choice &choice : row.choices)
                box->addItem(textOf(choice.words), textOf(choice.name));
            connect(box, &QComboBox::currentIndexChanged, this,
                    &TableSettingsDialog::controlsChanged);
            made.control = box;
        } else if (row.most > 0) {
            auto *box = new QSpinBox(parent);
            // A number that is off where none is given has a place below its least for that.
            const int least = int(row.least) - (row.defaultValue.empty() ? 1 : 0);
            box->setRange(least, int(row.most));
            if (row.defaultValue.empty())
                box->setSpecialValueText(QStringLiteral("None"));
            connect(box, &QSpinBox::valueChanged, this, &TableSettingsDialog::controlsChanged);
            made.control = box;
        } else {
            auto *edit = new QLineEdit(parent);
            connect(edit, &QLineEdit::textChanged, this, &TableSettingsDialog::controlsChanged);
            made.control = edit;
            made.message = messageLabel(objectNameOf(row.name, "Error"), parent);
        }
        form->addRow(label, made.control);
        if (auto *caption = qobject_cast<QLabel *>(form->labelForField(made.control)))
            caption->setBuddy(made.control);
        if (made.message)
            form->addRow(QString(), made.message);
    }
    made.control->setObjectName(
        objectNameOf(row.name, qobject_cast<QLineEdit *>(made.control) ? "Edit" : "Box"));
    m_rowControls.push_back(made);
}

void TableSettingsDialog::addSizeControls(QFormLayout *form)
{
    QWidget *group = form->parentWidget();
    m_sizeBox = new QComboBox(group);
    m_sizeBox->setObjectName(QStringLiteral("sizeBox"));
    m_sizeBox->addItem(QStringLiteral("Off"));
    for (const QSize size : presetSizes())
        m_sizeBox->addItem(sizeCaption(size));
    m_sizeBox->addItem(QStringLiteral("Custom"));
    m_sizeBox->setToolTip(
        QStringLiteral("The display's size in pixels. Off codes the picture at the size it has."));
    const auto sideBox = [group](const char *name) {
        auto *box = new QSpinBox(group);
        box->setObjectName(QString::fromLatin1(name));
        box->setRange(1, Preparation::largestSide);
        return box;
    };
    m_widthBox = sideBox("widthBox");
    m_heightBox = sideBox("heightBox");
    auto *sizeRow = new QHBoxLayout;
    sizeRow->addWidget(m_sizeBox);
    sizeRow->addWidget(m_widthBox);
    sizeRow->addWidget(new QLabel(QStringLiteral("x"), group));
    sizeRow->addWidget(m_heightBox);
    auto *sizeLabel = new QLabel(caption("Size") + u':', group);
    sizeLabel->setBuddy(m_sizeBox);
    form->addRow(sizeLabel, sizeRow);

    // Fit, stretch and fill: one choice of the way to the size, each button its row's.
    m_scalings = new QButtonGroup(this);
    auto *scalingRow = new QHBoxLayout;
    for (const std::string_view name : sizeRows) {
        const SettingRow *row = findSettingRow(name);
        if (!row)
            continue;
        auto *button = new QRadioButton(caption(row->words), group);
        button->setObjectName(objectNameOf(name, "Button"));
        button->setToolTip(textOf(row->tip));
        m_scalings->addButton(button);
        scalingRow->addWidget(button);
        m_scalingButtons.emplace_back(row, button);
    }
    scalingRow->addStretch();
    form->addRow(QStringLiteral("Scaling:"), scalingRow);

    connect(m_sizeBox, &QComboBox::currentIndexChanged, this, [this](int index) {
        // A preset fills in the sides, so that Custom starts from it.
        if (index > 0 && index <= int(presetSizes().size())) {
            const QSize size = presetSizes()[std::size_t(index - 1)];
            const QSignalBlocker blockWidth(m_widthBox);
            const QSignalBlocker blockHeight(m_heightBox);
            m_widthBox->setValue(size.width());
            m_heightBox->setValue(size.height());
        }
        controlsChanged();
    });
    for (QSpinBox *box : {m_widthBox, m_heightBox})
        connect(box, &QSpinBox::valueChanged, this, &TableSettingsDialog::controlsChanged);
    connect(m_scalings, &QButtonGroup::buttonToggled, this, [this](QAbstractButton *, bool on) {
        if (on)
            controlsChanged();
    });
}

void TableSettingsDialog::addBackgroundControls(QFormLayout *form)
{
    QWidget *group = form->parentWidget();
    const SettingRow *row = findSettingRow(backgroundRow);
    m_backgroundButton = new QPushButton(group);
    m_backgroundButton->setObjectName(QStringLiteral("backgroundButton"));
    m_backgroundButton->setToolTip(textOf(row->tip));
    m_noBackgroundButton = new QPushButton(QStringLiteral("None"), group);
    m_noBackgroundButton->setObjectName(QStringLiteral("noBackgroundButton"));
    auto *backgroundRow = new QHBoxLayout;
    backgroundRow->addWidget(m_backgroundButton);
    backgroundRow->addWidget(m_noBackgroundButton);
    backgroundRow->addStretch();
    auto *label = new QLabel(caption(row->words) + u':', group);
    label->setBuddy(m_backgroundButton);
    form->addRow(label, backgroundRow);
    connect(m_backgroundButton, &QPushButton::clicked, this,
            &TableSettingsDialog::chooseBackground);
    connect(m_noBackgroundButton, &QPushButton::clicked, this,
            &TableSettingsDialog::clearBackground);
}

QWidget *TableSettingsDialog::createPreview()
{
    auto *group = new QGroupBox(QStringLiteral("Preview"), this);
    m_previewPicture = new QLabel(group);
    m_previewPicture->setObjectName(QStringLiteral("previewPicture"));
    m_previewPicture->setAlignment(Qt::AlignCenter);
    m_previewPicture->setFixedSize(previewRoom);
    m_previewPicture->setWordWrap(true);
    m_previewPicture->setBackgroundRole(QPalette::Base);
    m_previewPicture->setAutoFillBackground(true);
    m_previewPicture->setToolTip(
        QStringLiteral("The display's pixels as the settings make them, at 2x where they fit."));
    m_previewFigures = new QLabel(group);
    m_previewFigures->setObjectName(QStringLiteral("previewFigures"));
    auto *layout = new QVBoxLayout(group);
    layout->addWidget(m_previewPicture);
    layout->addWidget(m_previewFigures);
    return group;
}

const TableSettingsDialog::RowControl *TableSettingsDialog::controlOf(std::string_view name) const
{
    for (const RowControl &made : m_rowControls) {
        if (made.row->name == name)
            return &made;
    }
    return nullptr;
}

void TableSettingsDialog::setSettings(const TableSettings &settings)
{
    m_given = settings;
    showSettings(settings);
}

void TableSettingsDialog::showSettings(const TableSettings &settings)
{
    const Preparation &preparation = settings.preparation;
    const Options options{settings, {}, {}, false};
    m_showing = true;

    const bool sized = preparation.scaling != Preparation::Scaling::None;
    const std::vector<QSize> &presets = presetSizes();
    const auto preset = std::find(presets.begin(), presets.end(), preparation.box);
    m_sizeBox->setCurrentIndex(!sized                    ? 0
                               : preset != presets.end() ? int(preset - presets.begin()) + 1
                                                         : m_sizeBox->count() - 1);
    const QSize box = sized ? preparation.box : presets[2];
    m_widthBox->setValue(box.width());
    m_heightBox->setValue(box.height());
    // The way to the size its row gives; Fit where none does.
    m_scalingButtons.front().second->setChecked(true);
    for (const auto &[row, button] : m_scalingButtons) {
        if (row->value(options))
            button->setChecked(true);
    }
    m_background = preparation.background;
    showBackground();

    for (const RowControl &made : m_rowControls) {
        const SettingRow &row = *made.row;
        const std::optional<std::string> value = row.value(options);
        if (auto *box = qobject_cast<QCheckBox *>(made.control)) {
            box->setChecked(value ? *value == "true" : onByDefault(row));
        } else if (auto *choices = qobject_cast<QComboBox *>(made.control)) {
            // The default, the first choice, where the row gives none.
            choices->setCurrentIndex(
                value ? std::max(0, choices->findData(QString::fromStdString(*value))) : 0);
        } else if (auto *number = qobject_cast<QSpinBox *>(made.control)) {
            number->setValue(
                numberOf(value ? *value : std::string(row.defaultValue), number->minimum()));
        } else if (auto *edit = qobject_cast<QLineEdit *>(made.control)) {
            edit->setText(value ? QString::fromStdString(*value) : textOf(row.defaultValue));
        }
    }

    m_showing = false;
    controlsChanged();
}

void TableSettingsDialog::showBackground()
{
    if (m_background) {
        QPixmap swatch(16, 16);
        swatch.fill(QColor(*m_background));
        m_backgroundButton->setIcon(swatch);
        m_backgroundButton->setText(QColor(*m_background).name().toUpper());
    } else {
        m_backgroundButton->setIcon(QIcon());
        m_backgroundButton->setText(QStringLiteral("Choose..."));
    }
}

void TableSettingsDialog::chooseBackground()
{
    const QColor chosen = QColorDialog::getColor(m_background ? QColor(*m_background) : Qt::white,
                                                 this, QStringLiteral("Background colour"));
    if (!chosen.isValid())
        return;
    m_background = chosen.rgb();
    showBackground();
    controlsChanged();
}

void TableSettingsDialog::clearBackground()
{
    m_background.reset();
    showBackground();
    controlsChanged();
}

void TableSettingsDialog::restoreDefaults()
{
    showSettings(TableSettings{});
}

void TableSettingsDialog::reject()
{
    showSettings(m_given);
    QDialog::reject();
}

void TableSettingsDialog::enableControls()
{
    const int sizeIndex = m_sizeBox->currentIndex();
    const bool sized = sizeIndex > 0;
    const bool custom = sizeIndex == m_sizeBox->count() - 1;
    m_widthBox->setEnabled(custom);
    m_heightBox->setEnabled(custom);
    for (const auto &[row, button] : m_scalingButtons)
        button->setEnabled(sized);
    // Padding fills the rest of a fitted picture's box; resampling is a scaling's.
    if (const RowControl *pad = controlOf("pad"))
        pad->control->setEnabled(sized && m_scalingButtons.front().second->isChecked());
    if (const RowControl *resample = controlOf("resample"))
        resample->control->setEnabled(sized);
    m_noBackgroundButton->setEnabled(m_background.has_value());
}

void TableSettingsDialog::controlsChanged()
{
    if (m_showing)
        return;
    enableControls();

    // The controls become settings through the rows, as the command's options would, so that
    // nothing the command would refuse gets through.
    std::vector<NamedValue> values;
    const auto give = [&values](std::string_view name, const QString &value) {
        values.push_back({std::string(name), value.toStdString()});
    };
    if (m_sizeBox->currentIndex() > 0) {
        for (const auto &[row, button] : m_scalingButtons) {
            if (button->isChecked())
                give(row->name,
                     QStringLiteral("%1x%2").arg(m_widthBox->value()).arg(m_heightBox->value()));
        }
    }
    if (m_background)
        give(backgroundRow, QColor(*m_background).name().mid(1));
    for (const RowControl &made : m_rowControls) {
        const std::string_view name = made.row->name;
        if (auto *box = qobject_cast<QCheckBox *>(made.control)) {
            // Given only where it differs from its default, so that a switch left as it is
            // clashes with nothing ("pad" with "fill").
            if (box->isEnabled() && box->isChecked() != onByDefault(*made.row))
                give(name, box->isChecked() ? QStringLiteral("true") : QStringLiteral("false"));
        } else if (auto *choices = qobject_cast<QComboBox *>(made.control)) {
            give(name, choices->currentData().toString());
        } else if (auto *number = qobject_cast<QSpinBox *>(made.control)) {
            // "None" gives nothing: the setting stays off.
            if (number->value() != number->minimum() || number->specialValueText().isEmpty())
                give(name, QString::number(number->value()));
        } else if (auto *edit = qobject_cast<QLineEdit *>(made.control)) {
            // An empty field of a setting that is off by default leaves it off.
            if (!edit->text().isEmpty() || !made.row->defaultValue.empty())
                give(name, edit->text());
        }
    }
    Options options;
    // Inverting is the window's own box, not a setting here: it passes through.
    options.table.preparation.invert = m_given.preparation.invert;
    // A message shows below the field it names where the field has a place for one, else below
    // the groups; the first for each place.
    std::map<QLabel *, std::string> messages{{m_settingsError, {}}};
    for (const RowControl &made : m_rowControls) {
        if (made.message)
            messages[made.message];
    }
    bool sound = true;
    for (Refusal &refusal :
         applySettings(options, values, {Reach::Setting, Reach::Dialog}, Voice::Window)) {
        sound = false;
        const RowControl *made = controlOf(refusal.name);
        std::string &message = messages[made && made->message ? made->message : m_settingsError];
        if (message.empty())
            message = std::move(refusal.message);
    }
    for (const auto &[label, message] : messages)
        showMessage(label, message);
    // A wrapped message may need more lines than the dialog's minimum height holds.
    if (isVisible() && hasHeightForWidth()) {
        layout()->activate();
        resize(width(), std::max(height(), heightForWidth(width())));
    }
    m_buttons->button(QDialogButtonBox::Ok)->setEnabled(sound);
    if (sound && options.table != m_settings) {
        m_settings = options.table;
        emit settingsChanged(m_settings);
    }
    showFigures();
}

void TableSettingsDialog::showPicture(const QImage &displayed)
{
    m_picture = displayed;
    if (displayed.isNull()) {
        m_previewPicture->setPixmap(QPixmap());
        m_previewPicture->setText(QStringLiteral("No picture loaded"));
        m_countedPicture = -1;
        showFigures();
        return;
    }
    // The display's pixels as whole squares of screen pixels: 2x where that fits, else 1x, and
    // scaled down where even 1x does not fit.
    const qreal ratio = devicePixelRatioF();
    const QSize room = previewRoom * ratio;
    const QSize size = displayed.size();
    QImage shown;
    if (size.width() * 2 <= room.width() && size.height() * 2 <= room.height())
        shown = displayed.scaled(size * 2);
    else if (size.width() <= room.width() && size.height() <= room.height())
        shown = displayed;
    else
        shown = displayed.scaled(fittedSize(size, room), Qt::IgnoreAspectRatio,
                                 Qt::SmoothTransformation);
    QPixmap pixmap = QPixmap::fromImage(shown);
    pixmap.setDevicePixelRatio(ratio);
    m_previewPicture->setPixmap(pixmap);
    showFigures();
}

void TableSettingsDialog::showPictureProblem(const QString &text)
{
    m_picture = QImage();
    m_previewPicture->setPixmap(QPixmap());
    m_previewPicture->setText(text);
    m_countedPicture = -1;
    m_previewFigures->clear();
}

void TableSettingsDialog::showFigures()
{
    if (m_picture.isNull()) {
        m_previewFigures->clear();
        return;
    }
    // Counted again only for another picture or another format: other controls leave both.
    if (m_countedPicture == m_picture.cacheKey() && m_countedFormat == m_settings.format)
        return;
    m_countedPicture = m_picture.cacheKey();
    m_countedFormat = m_settings.format;
    const QLocale english(QLocale::English);
    m_previewFigures->setText(
        QStringLiteral("%1 x %2 pixels, %3 characters")
            .arg(m_picture.width())
            .arg(m_picture.height())
            .arg(english.toString(qulonglong(tableCharacters(m_picture, m_settings.format)))));
}

} // namespace quenzil
