#include "settingsstore.h"

#include "pictureview.h"

#include <QSettings>

#include <cstdio>
#include <string>

namespace quenzil {

namespace {

const QString group = QStringLiteral("table");
const QString zoomKey = QStringLiteral("window/zoom");

// A stored value as the text the command would have been given. QSettings hands back a value
// with a comma in it as a list, which is joined again so that the message shows what was stored.
std::string storedText(const QVariant &value)
{
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(',')).toStdString();
    return value.toString().toStdString();
}

void report(const QString &line)
{
    std::fprintf(stderr, "quenzil: settings: %s\n", line.toLocal8Bit().constData());
}

} // namespace

SettingsStore::SettingsStore() = default;

SettingsStore::SettingsStore(const QString &fileName) : m_fileName(fileName) {}

std::unique_ptr<QSettings> SettingsStore::open() const
{
    if (m_fileName)
        return std::make_unique<QSettings>(*m_fileName, QSettings::IniFormat);
    return std::make_unique<QSettings>(QStringLiteral("QUENZIL"), QStringLiteral("quenzil"));
}

TableSettings SettingsStore::load() const
{
    QStringList problems;
    TableSettings settings = load(problems);
    for (const QString &problem : problems)
        report(problem);
    return settings;
}

TableSettings SettingsStore::load(QStringList &problems) const
{
    const std::unique_ptr<QSettings> stored = open();
    if (stored->status() != QSettings::NoError) {
        problems
            << QStringLiteral("'%1' cannot be read; the defaults are used").arg(stored->fileName());
        return {};
    }
    stored->beginGroup(group);
    std::vector<NamedValue> values;
    for (const QString &key : stored->childKeys())
        values.push_back({key.toStdString(), storedText(stored->value(key))});
    Options options;
    for (const Refusal &refusal : applySettings(options, values, {Reach::Setting}))
        problems << QString::fromStdString(refusal.message) + QStringLiteral("; ignored");
    return options.table;
}

bool SettingsStore::save(const TableSettings &settings) const
{
    const std::unique_ptr<QSettings> stored = open();
    stored->beginGroup(group);
    stored->remove(QString());
    for (const auto &[name, value] : storedValues(settings))
        stored->setValue(QString::fromStdString(name), QString::fromStdString(value));
    stored->endGroup();
    stored->sync();
    if (stored->status() != QSettings::NoError) {
        report(QStringLiteral("'%1' cannot be written").arg(stored->fileName()));
        return false;
    }
    return true;
}

int SettingsStore::loadZoom() const
{
    const std::unique_ptr<QSettings> stored = open();
    const QString name = QString::fromStdString(
        storedText(stored->value(zoomKey, PictureView::zoomName(PictureView::fit))));
    if (const std::optional<int> zoom = PictureView::zoomNamed(name))
        return *zoom;
    report(QStringLiteral("zoom %1 is not fit, 1, 2, 3, 4, 6 or 8; ignored")
               .arg(QString::fromStdString(quotedText(name.toStdString()))));
    return PictureView::fit;
}

bool SettingsStore::saveZoom(int zoom) const
{
    const std::unique_ptr<QSettings> stored = open();
    stored->setValue(zoomKey, PictureView::zoomName(zoom));
    stored->sync();
    if (stored->status() != QSettings::NoError) {
        report(QStringLiteral("'%1' cannot be written").arg(stored->fileName()));
        return false;
    }
    return true;
}

} // namespace quenzil
