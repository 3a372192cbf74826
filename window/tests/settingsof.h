#pragma once

#include "settingrows.h"

#include <QStringList>
#include <QtGlobal>

// Settings made from "name=value" lines as quenzil-table takes its options; a test row that the
// command would refuse stops the test.
inline quenzil::TableSettings settingsOf(const QString &lines)
{
    std::vector<quenzil::NamedValue> values;
    for (const QString &line : lines.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        values.push_back({line.left(equals).toStdString(), line.mid(equals + 1).toStdString()});
    }
    quenzil::Options options;
    const auto refusals = applySettings(options, values, {quenzil::Reach::Setting});
    if (!refusals.empty())
        qFatal("bad test row: %s", refusals.front().message.c_str());
    return options.table;
}
