#pragma once

namespace quenzil {

// While an InterruptionGuard lives, the signals that ask a program to stop (SIGINT, SIGTERM, and
// SIGHUP and SIGQUIT where the system has them) no longer end the program at once: they are only
// noted, and whoever writes a file checks interruption() and stops, so its temporary file can be
// removed. A signal the program ignored before stays ignored. The guard restores the previous
// handling when it goes.
class InterruptionGuard
{
public:
    InterruptionGuard();
    ~InterruptionGuard();
    InterruptionGuard(const InterruptionGuard &) = delete;
    InterruptionGuard &operator=(const InterruptionGuard &) = delete;
};

// The number of the first stopping signal noted so far, or 0.
int interruption();

} // namespace quenzil
