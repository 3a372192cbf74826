// quenzil-table: writes the table of a picture without the window, for build scripts.
#include "commandline.h"
#include "tablecommand.h"

#include <QCoreApplication>

#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

// The command speaks for itself on stderr: the picture reader's own chatter stays out of it.
void quietMessages(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "quenzil-table: %s\n", qPrintable(message));
}

// Help and version go to stdout; a failed write there is an error too.
int printed(std::string_view text)
{
    std::fwrite(text.data(), 1, text.size(), stdout);
    return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    // A closed pipe shows as a failed write, reported and ending in exit code 1.
    std::signal(SIGPIPE, SIG_IGN);

    const std::vector<std::string> arguments(argv + std::min(argc, 1), argv + argc);
    const quenzil::CommandLine commandLine = quenzil::parseCommandLine(arguments);
    using Action = quenzil::CommandLine::Action;
    switch (commandLine.action) {
    case Action::Help:
        return printed(quenzil::tableCommandUsage);
    case Action::Version:
        return printed(std::string(quenzil::tableCommandVersion) + "\n");
    case Action::UsageError:
        std::fprintf(stderr, "quenzil-table: %s\n%s", commandLine.error.c_str(),
                     quenzil::tableCommandUsage.data());
        return 2;
    case Action::Run:
        break;
    }

    qInstallMessageHandler(quietMessages);
    // The application object lets the picture reader find its format plugins.
    QCoreApplication application(argc, argv);
    return quenzil::runTableCommand(commandLine.options, STDOUT_FILENO, stderr);
}
