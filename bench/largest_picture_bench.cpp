// Loads the largest picture the surface accepts, inverts it and builds its table into memory,
// printing time and peak memory after each step; then shows that one row more is refused.
// Usage: largest_picture_bench [WIDTH HEIGHT]   (default: the pixel limit as 8192 x 4096)
//
// The picture is a 24-bit BMP written to a temporary file, every pixel a different-looking
// colour, so that the load reads real pixel data.
#include "picturesurface.h"
#include "tablebuilder.h"

#include <QFile>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

double peakMiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0; // kilobytes on Linux
}

// Resident memory now, from /proc (Linux).
double residentMiB()
{
    long pages = 0;
    long resident = 0;
    if (std::FILE *statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(statm);
    }
    return double(resident) * 4096.0 / (1024.0 * 1024.0);
}

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void put32(QByteArray &bytes, quint32 value)
{
    for (int i = 0; i < 4; ++i)
        bytes.append(char(value >> (8 * i)));
}

// Writes a bottom-up 24-bit BMP row by row, never holding more than one row.
bool writeBmp(const QString &fileName, int width, int height)
{
    const qint64 stride = (qint64(width) * 3 + 3) / 4 * 4;
    QByteArray header = "BM";
    put32(header, quint32(54 + stride * height));
    put32(header, 0);
    put32(header, 54);
    put32(header, 40);
    put32(header, quint32(width));
    put32(header, quint32(height));
    header.append(char(1)).append(char(0)).append(char(24)).append(char(0));
    for (int i = 0; i < 6; ++i)
        put32(header, 0);
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(header) != header.size())
        return false;
    std::vector<char> row(std::size_t(stride), 0);
    for (int y = height - 1; y >= 0; --y) {
        for (int x = 0; x < width; ++x) {
            const std::uint32_t colour =
                (std::uint32_t(x) * 2654435761u ^ std::uint32_t(y) * 40503u);
            row[std::size_t(x) * 3] = char(colour);
            row[std::size_t(x) * 3 + 1] = char(colour >> 8);
            row[std::size_t(x) * 3 + 2] = char(colour >> 16);
        }
        if (file.write(row.data(), qint64(row.size())) != qint64(row.size()))
            return false;
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    const int width = argc > 2 ? std::atoi(argv[1]) : 8192;
    const int height = argc > 2 ? std::atoi(argv[2]) : 4096;
    std::printf("pixel limit: %lld pixels\n",
                static_cast<long long>(quenzil::PictureSurface::pixelLimit()));

    QTemporaryDir dir;
    const QString fileName = dir.filePath(QStringLiteral("largest.bmp"));
    if (!dir.isValid() || !writeBmp(fileName, width, height)) {
        std::fprintf(stderr, "cannot write the picture\n");
        return 1;
    }
    std::printf("picture: %d x %d, 24-bit BMP of %lld bytes; peak memory before loading %.0f MiB\n",
                width, height, static_cast<long long>(QFile(fileName).size()), peakMiB());

    quenzil::PictureSurface surface;
    QString error;
    auto start = std::chrono::steady_clock::now();
    if (!surface.load(fileName, &error)) {
        std::printf("load refused after %.3f s: %s\n", secondsSince(start), qPrintable(error));
        return 1;
    }
    std::printf("load:   %.3f s, peak memory %.0f MiB, resident after %.0f MiB\n",
                secondsSince(start), peakMiB(), residentMiB());

    start = std::chrono::steady_clock::now();
    surface.invert();
    std::printf("invert: %.3f s, peak memory %.0f MiB\n", secondsSince(start), peakMiB());

    start = std::chrono::steady_clock::now();
    const std::string table = quenzil::buildTableText(surface);
    const std::size_t pixels = std::size_t(width) * std::size_t(height);
    std::printf("table:  %.3f s, %zu characters (%s), peak memory %.0f MiB\n", secondsSince(start),
                table.size(),
                table.size() == quenzil::tableLength(pixels) ? "complete" : "INCOMPLETE",
                peakMiB());

    // One row more than the limit: refused from the header, before any pixel is decoded.
    const QString tooLarge = dir.filePath(QStringLiteral("too-large.bmp"));
    if (writeBmp(tooLarge, width, height + 1)) {
        start = std::chrono::steady_clock::now();
        const bool loaded = surface.load(tooLarge, &error);
        std::printf("%d x %d: %s after %.3f s (%s); peak memory %.0f MiB\n", width, height + 1,
                    loaded ? "LOADED" : "refused", secondsSince(start),
                    loaded ? "" : qPrintable(error), peakMiB());
    }
    return 0;
}
