#pragma once

#include "settingrows.h"

#include <QString>
#include <QStringList>

namespace quenzil {

// The table settings the window keeps between starts, in the group [table] of the user's
// settings: one key per setting, named as quenzil-table's long option without its dashes and
// holding the value as the command takes it ("fit=160x128", "radix=hex", "pad=true"). A missing
// key is the default, so the file holds only what differs from it. On Linux the file is
// $XDG_CONFIG_HOME/QUENZIL/quenzil.conf; only a regular file (or none yet) is read or written
// there: a FIFO would hold the window up until something wrote to it.
class SettingsStore
{
public:
    // What load() found.
    struct Loaded
    {
        TableSettings settings;
        // What was ignored, a line each: "option '--per-line': '0' is not a number from 1 to
        // 64; ignored", "'FILE' is not a regular file; the defaults are used".
        QStringList problems;
        // The picture's zoom (see saveZoom()): Fit (0) where none is kept or the one kept is no
        // zoom.
        int zoom = 0;
    };

    // The stored settings. A value the command would refuse, an unknown key or a combination it
    // would refuse (--pad without --fit) leaves the setting at its default and is a problem; the
    // other settings stay. A file that cannot be read gives the defaults.
    Loaded load() const;

    // Writes the settings that differ from the default and removes every other key of the group.
    // Returns why they could not be written ("'FILE' cannot be written: Not a directory"), or
    // the empty text.
    QString save(const TableSettings &settings) const;

    // Keeps the picture's zoom in the group [window] beside the table's: "zoom=fit", "zoom=2"
    // (see PictureView::zoomName()). Returns why it could not be written, or the empty text.
    QString saveZoom(int zoom) const;
};

} // namespace quenzil
