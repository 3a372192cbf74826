#include "interruption.h"

#include <csignal>
#include <iterator>

namespace quenzil {

namespace {

// SIGINT and SIGTERM are standard C; SIGHUP and SIGQUIT exist only on POSIX systems.
const int stoppingSignals[] = {
    SIGINT,
    SIGTERM,
#ifdef SIGHUP
    SIGHUP,
#endif
#ifdef SIGQUIT
    SIGQUIT,
#endif
};

// A handler may only store into a volatile sig_atomic_t; the first signal is the one reported.
volatile std::sig_atomic_t noted = 0;

extern "C" void noteSignal(int number)
{
    if (noted == 0)
        noted = number;
}

using Handler = void (*)(int);
Handler previous[std::size(stoppingSignals)];

} // namespace

InterruptionGuard::InterruptionGuard()
{
    for (std::size_t i = 0; i < std::size(stoppingSignals); ++i) {
        previous[i] = std::signal(stoppingSignals[i], noteSignal);
        if (previous[i] == SIG_IGN) // as under nohup
            std::signal(stoppingSignals[i], SIG_IGN);
    }
}

InterruptionGuard::~InterruptionGuard()
{
    for (std::size_t i = 0; i < std::size(stoppingSignals); ++i)
        if (previous[i] != SIG_ERR)
            std::signal(stoppingSignals[i], previous[i]);
}

int interruption()
{
    return noted;
}

} // namespace quenzil
