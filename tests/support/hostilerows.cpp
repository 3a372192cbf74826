#include "hostilerows.h"

#include <QTest>

namespace quenzil::testsupport {

QByteArray bytesOf(const std::string &bytes)
{
    return QByteArray(bytes.data(), qsizetype(bytes.size()));
}

void addHostileColumns()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<LoadOutcome>("outcome");
}

void addHostileRows(const std::vector<HostileFile> &files)
{
    for (const HostileFile &file : files)
        QTest::newRow(file.name.c_str()) << bytesOf(file.bytes) << file.outcome;
}

} // namespace quenzil::testsupport
