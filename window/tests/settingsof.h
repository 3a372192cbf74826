#pragma once

#include "tableoptions.h"

#include <QStringList>
#include <QtGlobal>

// Settings made from "name=value" lines as quenzil-table takes its options; a test row that the
// command would refuse stops the test.
inline quenzil::TableSettings settingsOf(const QString &lines)
{
    quenzil::TableSettings settings;
    for (const QString &line : lines.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        const std::string error = applySetting(settings, line.left(equals).toStdString(),
                                               line.mid(equals + 1).toStdString());
        if (!error.empty())
            qFatal("bad test row: %s", error.c_str());
    }
    return settings;
}
