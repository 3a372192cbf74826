// Times the preparation's scaling of the largest pictures the surface accepts into extreme sizes:
// a column and a row of the pixel limit, and pictures of the pixel limit, each stretched to sizes
// from 1 x 1 to the pixel limit, smooth and nearest. Prints the time of each. The goal: any of
// them in a few seconds at most.
// Usage: scaling_bench [SOURCE_PIXELS]   (default: the pixel limit, 33554432)
#include "picturepreparation.h"
#include "picturereading.h"

#include <QCoreApplication>
#include <QImage>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

using namespace quenzil;

namespace {

// Every pixel a different-looking colour, so that the sums see real data.
QImage pattern(QSize size)
{
    QImage image(size, QImage::Format_ARGB32);
    for (int y = 0; y < size.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x)
            line[x] = (std::uint32_t(x) * 2654435761u ^ std::uint32_t(y) * 40503u) | 0xFF000000u;
    }
    return image;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    const qint64 pixels = argc > 1 ? std::atoll(argv[1]) : pixelLimit();
    const int side = 8192;
    const QSize column(1, int(pixels));
    const QSize row(int(pixels), 1);
    const QSize wide(side, int(pixels / side));
    const QSize tall(int(pixels / side), side);
    const std::vector<std::pair<QSize, std::vector<QSize>>> cases = {
        {column, {QSize(side, 1), QSize(1, side), wide, QSize(1, 1)}},
        {row, {QSize(1, side), QSize(side, 1), tall, QSize(1, 1)}},
        {wide, {tall, QSize(side, 1), QSize(1, side), QSize(320, 240), QSize(1, 1)}},
        {QSize(1, 1), {wide}},
    };
    std::printf("source pixels: %lld\n", pixels);
    for (const auto &[from, targets] : cases) {
        const QImage picture = pattern(from);
        for (const QSize to : targets) {
            for (const auto resampling :
                 {Preparation::Resampling::Smooth, Preparation::Resampling::Nearest}) {
                Preparation preparation;
                preparation.scaling = Preparation::Scaling::Stretch;
                preparation.box = to;
                preparation.resampling = resampling;
                const auto start = std::chrono::steady_clock::now();
                QString error;
                const QImage scaled = prepare(picture, preparation, &error);
                const double seconds =
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
                std::printf("%9d x %-9d -> %5d x %-5d %-7s %7.3f s%s%s\n", from.width(),
                            from.height(), to.width(), to.height(),
                            resampling == Preparation::Resampling::Smooth ? "smooth" : "nearest",
                            seconds, scaled.isNull() ? "  failed: " : "", qPrintable(error));
                std::fflush(stdout);
            }
        }
    }
    return 0;
}
