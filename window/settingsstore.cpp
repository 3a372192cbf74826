#include "settingsstore.h"

#include <QSettings>

#include <algorithm>
#include <cstdio>
#include <string>

namespace quenzil {

namespace {

const QString group = QStringLiteral("table");

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

QString ignored(const std::string &reason)
{
    return QString::fromStdString(reason) + QStringLiteral("; ignored");
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
    QStringList keys = stored->childKeys();
    TableSettings settings;
    std::vector<std::string_view> given;
    // In the order of the options, as the command applies them: --dither after --nearest.
    for (const std::string_view name : settingNames()) {
        const QString key = QString::fromLatin1(name.data(), qsizetype(name.size()));
        if (!keys.removeOne(key))
            continue;
        // What the command refuses beside an earlier setting (a second size) is left out; the
        // earlier one stays.
        given.push_back(name);
        if (const std::string clash = settingsClash(given); !clash.empty()) {
            problems << ignored(clash);
            given.pop_back();
            continue;
        }
        if (const std::string error = applySetting(settings, name, storedText(stored->value(key)));
            !error.empty())
            problems << ignored(error);
    }
    for (const QString &key : std::as_const(keys))
        problems << ignored(applySetting(settings, key.toStdString(), {}));

    // A switch that needs another setting goes where the other is missing: --pad without --fit,
    // --rle with an odd count per line.
    for (const std::string_view dependent : {"pad", "rle"}) {
        const std::string error = settingsError(settings);
        if (error.empty())
            break;
        TableSettings without = settings;
        applySetting(without, dependent, "false");
        if (settingsError(without) != error) {
            problems << ignored(error);
            settings = without;
        }
    }
    return settings;
}

bool SettingsStore::save(const TableSettings &settings) const
{
    const std::unique_ptr<QSettings> stored = open();
    stored->beginGroup(group);
    stored->remove(QString());
    for (const auto &[name, value] : settingValues(settings))
        stored->setValue(QString::fromStdString(name), QString::fromStdString(value));
    stored->endGroup();
    stored->sync();
    if (stored->status() != QSettings::NoError) {
        report(QStringLiteral("'%1' cannot be written").arg(stored->fileName()));
        return false;
    }
    return true;
}

} // namespace quenzil
