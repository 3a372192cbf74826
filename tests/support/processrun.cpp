#include "processrun.h"

#include <QFile>
#include <QProcess>

namespace quenzil::testsupport {

ProcessRun runProcess(const QString &program, const QStringList &arguments,
                      const ProcessSetup &setup)
{
    QProcess process;
    if (!setup.folder.isEmpty())
        process.setWorkingDirectory(setup.folder);
    process.start(program, arguments);
    process.write(setup.input);
    process.closeWriteChannel();
    ProcessRun result;
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit) {
        // A program that hangs is ended, so the test goes on to its next case.
        process.kill();
        process.waitForFinished();
        return result;
    }
    result.exitCode = process.exitCode();
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

ProcessRun runScript(const QString &script, const QString &program, const ProcessSetup &setup)
{
    return runProcess(QStringLiteral("bash"), {QStringLiteral("-c"), script, program}, setup);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace quenzil::testsupport
