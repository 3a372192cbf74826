#include "settingsstore.h"

#include "pictureview.h"
#include "tablerun.h"

#include <QFileInfo>
#include <QSaveFile>
#include <QSettings>
#include <QStandardPaths>

#include <string>

namespace quenzil {

namespace {

const QString group = QStringLiteral("table");
const QString zoomKey = QStringLiteral("window/zoom");
const QString organisation = QStringLiteral("QUENZIL");
const QString application = QStringLiteral("quenzil");

// A stored value as the text the command would have been given. QSettings hands back a value
// with a comma in it as a list, which is joined again so that the message shows what was stored.
std::string storedText(const QVariant &value)
{
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(',')).toStdString();
    return value.toString().toStdString();
}

// The file QSettings keeps the settings in where it opens a file of its own: on Linux and the
// other Unix systems but macOS. Empty where the system keeps them (the registry on Windows, the
// preferences on macOS).
QString settingsFile()
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QLatin1Char('/') + organisation + QLatin1Char('/') + application +
           QStringLiteral(".conf");
#else
    return {};
#endif
}

// A file's name as messages show it, quoted as the command quotes names.
QString quoted(const QString &fileName)
{
    return QString::fromStdString(quotedText(fileName.toStdString()));
}

// Why the settings file is not to be opened, or the empty text: only a regular file is, or none
// yet. Asked before QSettings opens it, which it does as soon as it is made; a FIFO would hold it
// there until something wrote to it.
QString notRegular()
{
    const QString fileName = settingsFile();
    if (const QFileInfo info(fileName); !fileName.isEmpty() && info.exists() && !info.isFile())
        return quoted(fileName) + QStringLiteral(" is not a regular file");
    return {};
}

// QSettings tells only that the settings could not be written. The system's reason comes from
// trying the same: a file written beside the settings file the way QSettings writes it, and then
// dropped.
QString whyNotWritten()
{
    const QString fileName = settingsFile();
    if (fileName.isEmpty())
        return QStringLiteral("The settings cannot be written");
    const QString cannot = quoted(fileName) + QStringLiteral(" cannot be written");
    QSaveFile probe(fileName);
    if (!probe.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return cannot + QStringLiteral(": ") + probe.errorString();
    if (!writeWhole(probe, QByteArray(4096, '\n')))
        return cannot + QStringLiteral(": ") + probe.errorString();
    probe.cancelWriting();
    return cannot;
}

} // namespace

SettingsStore::Loaded SettingsStore::load() const
{
    if (const QString refusal = notRegular(); !refusal.isEmpty())
        return {{}, {refusal + QStringLiteral("; the defaults are used")}};
    QSettings stored(organisation, application);
    if (stored.status() != QSettings::NoError)
        return {
            {},
            {quoted(stored.fileName()) + QStringLiteral(" cannot be read; the defaults are used")}};
    stored.beginGroup(group);
    std::vector<NamedValue> values;
    for (const QString &key : stored.childKeys())
        values.push_back({key.toStdString(), storedText(stored.value(key))});
    Loaded loaded;
    Options options;
    for (const Refusal &refusal : applySettings(options, values, {Reach::Setting}))
        loaded.problems << QString::fromStdString(refusal.message) + QStringLiteral("; ignored");
    loaded.settings = options.table;
    stored.endGroup();
    const QString zoom = QString::fromStdString(
        storedText(stored.value(zoomKey, PictureView::zoomName(PictureView::fit))));
    if (const std::optional<int> named = PictureView::zoomNamed(zoom))
        loaded.zoom = *named;
    else
        loaded.problems << QStringLiteral("zoom %1 is not fit, 1, 2, 3, 4, 6 or 8; ignored")
                               .arg(QString::fromStdString(quotedText(zoom.toStdString())));
    return loaded;
}

QString SettingsStore::save(const TableSettings &settings) const
{
    if (const QString refusal = notRegular(); !refusal.isEmpty())
        return refusal;
    QSettings stored(organisation, application);
    stored.beginGroup(group);
    stored.remove(QString());
    for (const auto &[name, value] : storedValues(settings))
        stored.setValue(QString::fromStdString(name), QString::fromStdString(value));
    stored.endGroup();
    stored.sync();
    if (stored.status() != QSettings::NoError)
        return whyNotWritten();
    return {};
}

QString SettingsStore::saveZoom(int zoom) const
{
    if (const QString refusal = notRegular(); !refusal.isEmpty())
        return refusal;
    QSettings stored(organisation, application);
    stored.setValue(zoomKey, PictureView::zoomName(zoom));
    stored.sync();
    if (stored.status() != QSettings::NoError)
        return whyNotWritten();
    return {};
}

} // namespace quenzil
