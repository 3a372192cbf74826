#pragma once

#include <functional>
#include <map>

namespace quenzil::testsupport {

// An event pump for the table builder that runs the action registered for its n-th call (the
// n-th pixel), as a window runs what the user does between two pixels. An action may throw to
// stop the run there, or run another builder inside it.
struct ScriptedPump
{
    int calls = 0;
    std::map<int, std::function<void()>> actions;

    void processPending()
    {
        ++calls;
        if (auto it = actions.find(calls); it != actions.end())
            it->second();
    }
};

} // namespace quenzil::testsupport
