#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace quenzil::testsupport {

// Files and programs as the tests meet them.

// What a run of a program gave.
struct ProcessRun
{
    // -1 where the program did not start, crashed or did not end in time.
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// Where and how a program runs, beyond its arguments.
struct ProcessSetup
{
    // The working folder; the test's own when empty.
    QString folder = {};
    // Written to the program's standard input through a pipe, which is then closed: a program
    // that reads it cannot seek it, and one that does not sees its end.
    QByteArray input = {};
};

// Runs `program` to its end, waiting at most a minute, as a user runs it from a shell.
ProcessRun runProcess(const QString &program, const QStringList &arguments,
                      const ProcessSetup &setup = {});

// Runs a bash script with `program` as $0, for the names, redirections and limits a shell gives:
// runScript("\"$0\" pic.bmp >/dev/full", program).
ProcessRun runScript(const QString &script, const QString &program, const ProcessSetup &setup = {});

// A file's bytes; empty when it cannot be read.
QByteArray readFile(const QString &path);
// Writes `bytes` as the whole file; false when that fails.
bool writeFile(const QString &path, const QByteArray &bytes);

} // namespace quenzil::testsupport
