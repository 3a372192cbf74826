// Builds the table of a synthetic 4096 x 4096 picture into memory and prints pixels per second.
// Usage: table_bench [SIDE] [REPEATS]
//
// The first run is buildTableText() as a caller meets it: it reserves room for the whole table
// in fresh memory and so also pays the kernel for every new page. The later runs reuse one
// buffer and show the builder's own speed, for the default table and then for the other number
// bases and run-length pairs (on this picture nearly every run is one pixel long, the most a
// run-length table can cost).
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

    // First run: the whole of buildTableText(), including the reservation of fresh memory.
    auto start = std::chrono::steady_clock::now();
    const std::string first = quenzil::buildTableText(source);
    const double firstSeconds = secondsSince(start);

    // Later runs: the builder alone, into a buffer that is already there.
    quenzil::StringTableOutput output;
    output.reserve(quenzil::tableLength({}, std::size_t(side), std::size_t(side)));
    quenzil::NoProgress progress;
    quenzil::NoEventPump pump;
    double bestLater = 1e300;
    for (int i = 1; i < repeats; ++i) {
        start = std::chrono::steady_clock::now();
        quenzil::TableBuilder(source, output, progress, pump).run();
        bestLater = std::min(bestLater, secondsSince(start));
    }
    if (output.text() != first) {
        std::fprintf(stderr, "table_bench: the runs gave different tables\n");
        return 1;
    }
    std::printf("table of %d x %d: %.0f pixels, %zu characters\n", side, side, pixels,
                output.text().size());
    std::printf("first run, fresh memory:   %.3f s, %6.1f million pixels per second\n",
                firstSeconds, pixels / firstSeconds / 1e6);
    std::printf("best of %d warm runs:      %.3f s, %6.1f million pixels per second"
                " (goal: at least 100)\n",
                repeats - 1, bestLater, pixels / bestLater / 1e6);

    struct Shape
    {
        const char *name;
        quenzil::TableFormat format;
    };
    const auto shaped = [](quenzil::Radix radix, bool runLength) {
        quenzil::TableFormat format;
        format.radix = radix;
        format.runLength = runLength;
        return format;
    };
    const Shape shapes[] = {
        {"hex", shaped(quenzil::Radix::hexadecimal, false)},
        {"dec", shaped(quenzil::Radix::decimal, false)},
        {"rle bin", shaped(quenzil::Radix::binary, true)},
        {"rle hex", shaped(quenzil::Radix::hexadecimal, true)},
    };
    for (const Shape &shape : shapes) {
        quenzil::StringTableOutput shapedOutput;
        shapedOutput.reserve(
            quenzil::tableLength(shape.format, std::size_t(side), std::size_t(side)));
        double best = 1e300;
        for (int i = 1; i < repeats; ++i) {
            start = std::chrono::steady_clock::now();
            quenzil::TableBuilder(source, shapedOutput, progress, pump, shape.format).run();
            best = std::min(best, secondsSince(start));
        }
        std::printf("%-8s best of %d warm runs: %.3f s, %6.1f million pixels per second,"
                    " %zu characters\n",
                    shape.name, repeats - 1, best, pixels / best / 1e6, shapedOutput.text().size());
    }
    return 0;
}
