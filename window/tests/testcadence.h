#pragma once

#include "tablerun.h"

#include <functional>

namespace quenzil::testsupport {

// Table runs paced and watched by a test: fields it may change at any time, a run reads the
// interval and the limit when it starts.
struct TestCadence : RunCadence
{
    int interval = 5;
    std::size_t limit = textAreaLimit;
    std::function<void(double pixels)> atPass;

    int intervalMs() const override { return interval; }
    std::size_t textLimit() const override { return limit; }
    void beforeProcessing(double pixels) override
    {
        if (atPass)
            atPass(pixels);
    }
};

} // namespace quenzil::testsupport
