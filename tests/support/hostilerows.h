#pragma once

#include "hostilefiles.h"

#include <QByteArray>
#include <QMetaType>

#include <string>
#include <vector>

Q_DECLARE_METATYPE(quenzil::testsupport::LoadOutcome)

namespace quenzil::testsupport {

// The bytes of a written file as a QByteArray.
QByteArray bytesOf(const std::string &bytes);

// Declares the columns addHostileRows() fills: "file" (QByteArray) and "outcome" (LoadOutcome).
void addHostileColumns();
// One row per file, named for what is wrong with it.
void addHostileRows(const std::vector<HostileFile> &files);

} // namespace quenzil::testsupport
