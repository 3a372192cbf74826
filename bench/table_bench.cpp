// Builds the table of a synthetic 4096 x 4096 picture into memory and prints pixels per second.
// Usage: table_bench [SIDE] [REPEATS]
//
// The first run writes into fresh memory and so also pays the kernel for every new page; the
// later runs reuse the same output buffer and show the builder's own speed.
#include "tablebuilder.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {

// Every pixel a different-looking colour, cheap to compute, so the figure is the builder's.
struct SyntheticSource
{
    int side;
    double width() const { return side; }
    double height() const { return side; }
    quenzil::ColourValue colourAt(int x, int y) const
    {
        return (std::uint32_t(x) * 2654435761u ^ std::uint32_t(y) * 40503u) & 0xFFFFFFu;
    }
};

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main(int argc, char **argv)
{
    const int side = argc > 1 ? std::atoi(argv[1]) : 4096;
    const int repeats = std::max(2, argc > 2 ? std::atoi(argv[2]) : 5);
    SyntheticSource source{side};
    const double pixels = double(side) * side;

    quenzil::StringTableOutput output;
    quenzil::ProgressCounter progress;
    quenzil::NoEventPump pump;
    double first = 0;
    double bestLater = 1e300;
    for (int i = 0; i < repeats; ++i) {
        const auto start = std::chrono::steady_clock::now();
        quenzil::TableBuilder(source, output, progress, pump).run();
        const double took = secondsSince(start);
        if (i == 0)
            first = took;
        else
            bestLater = std::min(bestLater, took);
    }
    std::printf("table of %d x %d: %.0f pixels, %zu characters\n", side, side, pixels,
                output.text().size());
    std::printf("first run (fresh memory):   %.3f s, %6.1f million pixels per second\n", first,
                pixels / first / 1e6);
    std::printf("best later run (warm, %d):  %.3f s, %6.1f million pixels per second"
                " (goal: at least 100)\n",
                repeats - 1, bestLater, pixels / bestLater / 1e6);
    return 0;
}
