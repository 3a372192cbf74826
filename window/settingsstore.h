#pragma once

#include "settingrows.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class QSettings;

namespace quenzil {

// The table settings the window keeps between starts, in the group [table] of the user's
// settings: one key per setting, named as quenzil-table's long option without its dashes and
// holding the value as the command takes it ("fit=160x128", "radix=hex", "pad=true"). A missing
// key is the default, so the file holds only what differs from it.
class SettingsStore
{
public:
    // The user's settings: on Linux $XDG_CONFIG_HOME/QUENZIL/quenzil.conf.
    SettingsStore();
    // The settings in the INI file `fileName` instead.
    explicit SettingsStore(const QString &fileName);

    // The stored settings. A value the command would refuse, an unknown key or a combination it
    // would refuse (--pad without --fit) leaves the setting at its default and is reported in
    // one line on standard error, "quenzil: settings: option '--per-line': '0' is not a number
    // from 1 to 64; ignored"; the other settings stay.
    TableSettings load() const;
    // As load(), the reports (without "quenzil: settings: ") added to `problems` instead.
    TableSettings load(QStringList &problems) const;

    // Writes the settings that differ from the default and removes every other key of the group.
    // Returns whether the file was written; a failure is reported on standard error.
    bool save(const TableSettings &settings) const;

    // The picture's zoom, kept in the group [window] beside the table's: "zoom=fit", "zoom=2"
    // (see PictureView::zoomName()). Fit where none is kept; a name that is no zoom is reported
    // as a setting is and leaves Fit.
    int loadZoom() const;
    // Keeps the zoom; returns whether the file was written (a failure is reported).
    bool saveZoom(int zoom) const;

private:
    std::unique_ptr<QSettings> open() const;

    std::optional<QString> m_fileName;
};

} // namespace quenzil
