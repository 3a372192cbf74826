// quenzil-table: writes the table of a picture without the window, for build scripts.
#include "commandline.h"
#include "tablecommand.h"

#include <QCoreApplication>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#ifdef _WIN32
#define NOMINMAX
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#endif

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

// Whether standard output was closed when the program started. Asked before anything opens a
// file: a closed descriptor 1 would be given to the next file opened, and the table would go
// there. The standard library cannot tell, so each system is asked in its own way.
bool standardOutputClosed()
{
#ifdef _WIN32
    const HANDLE handle = GetStdHandle(STD_OUTPUT_HANDLE);
    return handle == nullptr || handle == INVALID_HANDLE_VALUE;
#else
    return ::fcntl(STDOUT_FILENO, F_GETFD) == -1 && errno == EBADF;
#endif
}

} // namespace

int main(int argc, char **argv)
{
    const bool outputClosed = standardOutputClosed();
#ifdef SIGPIPE
    // A closed pipe shows as a failed write, reported and ending in exit code 1. Windows has no
    // SIGPIPE.
    std::signal(SIGPIPE, SIG_IGN);
#endif
    qInstallMessageHandler(quietMessages);
    // The application object lets the picture reader find its format plugins.
    QCoreApplication application(argc, argv);

#ifdef _WIN32
    // argv holds the names in the system's code page, which cannot hold every name; Qt reads
    // them as Unicode, handed on as UTF-8.
    std::vector<std::string> arguments;
    for (const QString &argument : QCoreApplication::arguments().mid(1))
        arguments.push_back(argument.toStdString());
#else
    // The arguments' bytes as given: QCoreApplication::arguments() would decode them as UTF-8
    // and lose the bytes of a file name that is not.
    const std::vector<std::string> arguments(argv + std::min(argc, 1), argv + argc);
#endif
    const quenzil::CommandLine commandLine = quenzil::parseCommandLine(arguments);
    using Action = quenzil::CommandLine::Action;
    switch (commandLine.action) {
    case Action::Help:
        return printed(quenzil::tableCommandUsage());
    case Action::Version:
        return printed(std::string(quenzil::tableCommandVersion) + "\n");
    case Action::UsageError:
        std::fprintf(stderr, "quenzil-table: %s\nTry 'quenzil-table --help'.\n",
                     commandLine.error.c_str());
        return 2;
    case Action::Run:
        break;
    }
    const quenzil::CommandOptions &options = commandLine.options;
    if (outputClosed && (options.output.empty() || options.preview == "-")) {
        std::fprintf(stderr, "quenzil-table: cannot write the %s: standard output is closed\n",
                     options.output.empty() ? "table" : "preview");
        return 1;
    }
    return quenzil::runTableCommand(options);
}
