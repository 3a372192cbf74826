#include "tablesettingsdialog.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>

namespace quenzil {

namespace {

const SettingRow &rowOf(std::string_view name)
{
    const SettingRow *row = findSettingRow(name);
    Q_ASSERT(row);
    return *row;
}

QString textOf(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

QString helpOf(std::string_view name)
{
    return textOf(rowOf(name).help);
}

// The row's words, with a shortcut letter marked where the dialog has one.
QString wordsOf(std::string_view name, int shortcut = -1)
{
    QString words = textOf(rowOf(name).words);
    if (shortcut >= 0)
        words.insert(shortcut, u'&');
    return words;
}

// A box offering the choices of a row, each item's data its value as the row takes it.
QComboBox *choiceBox(std::string_view name, const char *objectName, QWidget *parent)
{
    auto *box = new QComboBox(parent);
    box->setObjectName(QString::fromLatin1(objectName));
    for (const Choice &choice : rowOf(name).choices)
        box->addItem(textOf(choice.words), textOf(choice.name));
    box->setToolTip(helpOf(name));
    return box;
}

// Shows a row's value in its box: the default, the first choice, where it has none.
void showChoice(QComboBox *box, std::string_view name, const Options &options)
{
    const std::optional<std::string> value = rowOf(name).value(options);
    box->setCurrentIndex(value ? std::max(0, box->findData(QString::fromStdString(*value))) : 0);
}

QString switchValue(const QCheckBox *box)
{
    return box->isEnabled() && box->isChecked() ? QStringLiteral("true") : QStringLiteral("false");
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

// A caption for a row of several controls: its shortcut goes to the first.
QLabel *buddyLabel(const QString &text, QWidget *buddy)
{
    auto *label = new QLabel(text, buddy->parentWidget());
    label->setBuddy(buddy);
    return label;
}

void showMessage(QLabel *label, const std::string &message)
{
    label->setText(QString::fromStdString(message));
    label->setVisible(!message.empty());
}

} // namespace

TableSettingsDialog::TableSettingsDialog(const TableSettings &settings, QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Table settings"));
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

    auto *groups = new QHBoxLayout;
    groups->addWidget(createDisplayGroup());
    groups->addWidget(createTableGroup());
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(groups);
    layout->addWidget(m_settingsError);
    layout->addWidget(m_buttons);

    setSettings(settings);
}

QWidget *TableSettingsDialog::createDisplayGroup()
{
    auto *group = new QGroupBox(QStringLiteral("Display"), this);
    auto *form = new QFormLayout(group);

    m_sizeBox = new QComboBox(group);
    m_sizeBox->setObjectName(QStringLiteral("sizeBox"));
    m_sizeBox->addItem(QStringLiteral("Off"));
    for (const QSize size : presetSizes())
        m_sizeBox->addItem(sizeCaption(size));
    m_sizeBox->addItem(QStringLiteral("Custom"));
    m_sizeBox->setToolTip(QStringLiteral("The display's size in pixels; Off keeps the picture's."));
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
    form->addRow(buddyLabel(QStringLiteral("&Size:"), m_sizeBox), sizeRow);

    m_fitButton = new QRadioButton(wordsOf("fit", 0), group);
    m_fitButton->setObjectName(QStringLiteral("fitButton"));
    m_fitButton->setToolTip(helpOf("fit"));
    m_stretchButton = new QRadioButton(wordsOf("stretch", 1), group);
    m_stretchButton->setObjectName(QStringLiteral("stretchButton"));
    m_stretchButton->setToolTip(helpOf("stretch"));
    auto *scalingRow = new QHBoxLayout;
    scalingRow->addWidget(m_fitButton);
    scalingRow->addWidget(m_stretchButton);
    scalingRow->addStretch();
    form->addRow(QStringLiteral("Scaling:"), scalingRow);

    m_padBox = new QCheckBox(wordsOf("pad", 0), group);
    m_padBox->setObjectName(QStringLiteral("padBox"));
    m_padBox->setToolTip(helpOf("pad"));
    form->addRow(QString(), m_padBox);

    m_resampleBox = choiceBox("resample", "resampleBox", group);
    form->addRow(wordsOf("resample", 0) + u':', m_resampleBox);

    m_backgroundButton = new QPushButton(group);
    m_backgroundButton->setObjectName(QStringLiteral("backgroundButton"));
    m_backgroundButton->setToolTip(helpOf("background"));
    m_noBackgroundButton = new QPushButton(QStringLiteral("None"), group);
    m_noBackgroundButton->setObjectName(QStringLiteral("noBackgroundButton"));
    auto *backgroundRow = new QHBoxLayout;
    backgroundRow->addWidget(m_backgroundButton);
    backgroundRow->addWidget(m_noBackgroundButton);
    backgroundRow->addStretch();
    form->addRow(buddyLabel(wordsOf("background", 0) + u':', m_backgroundButton), backgroundRow);

    m_coloursBox = choiceBox("colours", "coloursBox", group);
    m_coloursBox->setToolTip(helpOf("nearest") + QLatin1Char('\n') + helpOf("dither"));
    form->addRow(wordsOf("colours", 0) + u':', m_coloursBox);

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
    for (QAbstractButton *button : {static_cast<QAbstractButton *>(m_fitButton),
                                    static_cast<QAbstractButton *>(m_stretchButton),
                                    static_cast<QAbstractButton *>(m_padBox)})
        connect(button, &QAbstractButton::toggled, this, &TableSettingsDialog::controlsChanged);
    for (QComboBox *box : {m_resampleBox, m_coloursBox})
        connect(box, &QComboBox::currentIndexChanged, this, &TableSettingsDialog::controlsChanged);
    connect(m_backgroundButton, &QPushButton::clicked, this,
            &TableSettingsDialog::chooseBackground);
    connect(m_noBackgroundButton, &QPushButton::clicked, this,
            &TableSettingsDialog::clearBackground);
    return group;
}

QWidget *TableSettingsDialog::createTableGroup()
{
    auto *group = new QGroupBox(QStringLiteral("Table"), this);
    auto *form = new QFormLayout(group);

    m_radixBox = choiceBox("radix", "radixBox", group);
    form->addRow(wordsOf("radix", 0) + u':', m_radixBox);

    m_labelEdit = new QLineEdit(group);
    m_labelEdit->setObjectName(QStringLiteral("labelEdit"));
    m_labelEdit->setToolTip(helpOf("label"));
    form->addRow(wordsOf("label", 0) + u':', m_labelEdit);
    m_labelError = messageLabel(QStringLiteral("labelError"), group);
    form->addRow(QString(), m_labelError);

    m_perLineBox = new QSpinBox(group);
    m_perLineBox->setObjectName(QStringLiteral("perLineBox"));
    m_perLineBox->setRange(1, int(TableFormat::maxPerLine));
    m_perLineBox->setToolTip(helpOf("per-line"));
    form->addRow(wordsOf("per-line", 12) + u':', m_perLineBox);

    const auto switchBox = [group](std::string_view option, int shortcut, const char *name) {
        auto *box = new QCheckBox(wordsOf(option, shortcut), group);
        box->setObjectName(QString::fromLatin1(name));
        box->setToolTip(helpOf(option));
        return box;
    };
    m_sizeLineBox = switchBox("size-line", 2, "sizeLineBox");
    m_rowLinesBox = switchBox("row-lines", 22, "rowLinesBox");
    m_rleBox = switchBox("rle", 1, "rleBox");
    for (QCheckBox *box : {m_sizeLineBox, m_rowLinesBox, m_rleBox}) {
        form->addRow(QString(), box);
        connect(box, &QCheckBox::toggled, this, &TableSettingsDialog::controlsChanged);
    }

    connect(m_radixBox, &QComboBox::currentIndexChanged, this,
            &TableSettingsDialog::controlsChanged);
    connect(m_labelEdit, &QLineEdit::textChanged, this, &TableSettingsDialog::controlsChanged);
    connect(m_perLineBox, &QSpinBox::valueChanged, this, &TableSettingsDialog::controlsChanged);
    return group;
}

const std::vector<QSize> &TableSettingsDialog::presetSizes()
{
    static const std::vector<QSize> sizes = {{128, 128}, {128, 160}, {160, 128}, {240, 320},
                                             {320, 240}, {320, 480}, {480, 320}};
    return sizes;
}

void TableSettingsDialog::setSettings(const TableSettings &settings)
{
    m_given = settings;
    showSettings(settings);
}

void TableSettingsDialog::showSettings(const TableSettings &settings)
{
    const Preparation &preparation = settings.preparation;
    const TableFormat &format = settings.format;
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
    m_stretchButton->setChecked(rowOf("stretch").value(options).has_value());
    m_fitButton->setChecked(!m_stretchButton->isChecked());
    m_padBox->setChecked(rowOf("pad").value(options).has_value());
    showChoice(m_resampleBox, "resample", options);
    m_background = preparation.background;
    showBackground();
    showChoice(m_coloursBox, "colours", options);

    showChoice(m_radixBox, "radix", options);
    m_labelEdit->setText(QString::fromStdString(format.label));
    m_perLineBox->setValue(int(format.perLine));
    m_sizeLineBox->setChecked(rowOf("size-line").value(options).has_value());
    m_rowLinesBox->setChecked(rowOf("row-lines").value(options).has_value());
    m_rleBox->setChecked(rowOf("rle").value(options).has_value());

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

QColor TableSettingsDialog::chooseColour(QWidget *parent, const QColor &initial)
{
    return QColorDialog::getColor(initial, parent, QStringLiteral("Background colour"));
}

void TableSettingsDialog::chooseBackground()
{
    const QColor chosen = chooseColour(this, m_background ? QColor(*m_background) : Qt::white);
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
    m_fitButton->setEnabled(sized);
    m_stretchButton->setEnabled(sized);
    m_padBox->setEnabled(sized && m_fitButton->isChecked());
    m_resampleBox->setEnabled(sized);
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
    if (m_sizeBox->currentIndex() > 0)
        give(m_fitButton->isChecked() ? "fit" : "stretch",
             QStringLiteral("%1x%2").arg(m_widthBox->value()).arg(m_heightBox->value()));
    give("pad", switchValue(m_padBox));
    give("resample", m_resampleBox->currentData().toString());
    if (m_background)
        give("background", QColor(*m_background).name().mid(1));
    give("colours", m_coloursBox->currentData().toString());
    give("radix", m_radixBox->currentData().toString());
    give("label", m_labelEdit->text());
    give("per-line", QString::number(m_perLineBox->value()));
    give("size-line", switchValue(m_sizeLineBox));
    give("row-lines", switchValue(m_rowLinesBox));
    give("rle", switchValue(m_rleBox));
    Options options;
    // Inverting is the window's own box, not a setting here: it passes through.
    options.table.preparation.invert = m_given.preparation.invert;
    std::string labelError;
    std::string otherError;
    for (Refusal &refusal : applySettings(options, values, {Reach::Setting, Reach::Dialog})) {
        std::string &target = refusal.name == "label" ? labelError : otherError;
        if (target.empty())
            target = std::move(refusal.message);
    }
    const TableSettings &settings = options.table;

    showMessage(m_labelError, labelError);
    showMessage(m_settingsError, otherError);
    // A wrapped message may need more lines than the dialog's minimum height holds.
    if (isVisible() && hasHeightForWidth()) {
        layout()->activate();
        resize(width(), std::max(height(), heightForWidth(width())));
    }
    const bool sound = labelError.empty() && otherError.empty();
    m_buttons->button(QDialogButtonBox::Ok)->setEnabled(sound);
    if (sound && settings != m_settings) {
        m_settings = settings;
        emit settingsChanged(m_settings);
    }
}

} // namespace quenzil
