// Loads the largest picture the surface accepts, inverts it and builds its table into memory,
// printing time and peak memory after each step; then shows that one row more is refused.
// Usage: largest_picture_bench [FORMAT [WIDTH HEIGHT]]   (default: the pixel limit as 8192 x 4096)
// FORMAT is one of bmp24 (the default), bmp32, png-grey8, png-rgb16, png-rgba16, gif; `all` runs
// each in a process of its own, so that each peak is its format's alone.
//
// Every pixel has a different-looking colour, so that the load reads real pixel data. The file is
// written by a child process, so that writing it does not count towards the peak.
#include "imagepixels.h"
#include "picturereading.h"
#include "picturesource.h"
#include "tablebuilder.h"

#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

const char *const formats[] = {"bmp24", "bmp32", "png-grey8", "png-rgb16", "png-rgba16", "gif"};

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

std::uint32_t colourAt(int x, int y)
{
    return std::uint32_t(x) * 2654435761u ^ std::uint32_t(y) * 40503u;
}

void put16(QByteArray &bytes, quint32 value)
{
    bytes.append(char(value)).append(char(value >> 8));
}

void put32(QByteArray &bytes, quint32 value)
{
    put16(bytes, value);
    put16(bytes, value >> 16);
}

// Writes a bottom-up 24- or 32-bit BMP row by row, never holding more than one row.
bool writeBmp(const QString &fileName, int width, int height, int bits)
{
    const int bytesPerPixel = bits / 8;
    const qint64 stride = (qint64(width) * bytesPerPixel + 3) / 4 * 4;
    QByteArray header = "BM";
    put32(header, quint32(54 + stride * height));
    put32(header, 0);
    put32(header, 54);
    put32(header, 40);
    put32(header, quint32(width));
    put32(header, quint32(height));
    put16(header, 1);
    put16(header, quint32(bits));
    for (int i = 0; i < 6; ++i)
        put32(header, 0);
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(header) != header.size())
        return false;
    std::vector<char> row(std::size_t(stride), 0);
    for (int y = height - 1; y >= 0; --y) {
        for (int x = 0; x < width; ++x)
            for (int b = 0; b < bytesPerPixel; ++b)
                row[std::size_t(x) * bytesPerPixel + b] = char(colourAt(x, y) >> (8 * b));
        if (file.write(row.data(), qint64(row.size())) != qint64(row.size()))
            return false;
    }
    return true;
}

// Writes an 8-bit GIF of 256 greys. Qt reads GIF but does not write it: the codes go out
// uncompressed, 9 bits each, with a clear code before the code table would need 10 bits.
bool writeGif(const QString &fileName, int width, int height)
{
    QByteArray head = "GIF89a";
    put16(head, quint32(width));
    put16(head, quint32(height));
    head.append(char(0xF7)).append(char(0)).append(char(0)); // 256-entry global table
    for (int i = 0; i < 256; ++i)
        head.append(char(i)).append(char(i)).append(char(i));
    head.append(',');
    put32(head, 0);
    put16(head, quint32(width));
    put16(head, quint32(height));
    head.append(char(0)).append(char(8)); // no local table; 8-bit codes
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(head) != head.size())
        return false;

    QByteArray block;
    quint32 bitBuffer = 0;
    int bitCount = 0;
    const auto flushBlock = [&] {
        QByteArray out;
        out.append(char(block.size())).append(block);
        block.clear();
        return file.write(out) == out.size();
    };
    const auto code = [&](unsigned value) {
        bitBuffer |= value << bitCount;
        bitCount += 9;
        while (bitCount >= 8) {
            block.append(char(bitBuffer));
            bitBuffer >>= 8;
            bitCount -= 8;
            if (block.size() == 255 && !flushBlock())
                return false;
        }
        return true;
    };
    constexpr unsigned clear = 256;
    int sinceClear = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            if (sinceClear == 0 && !code(clear))
                return false;
            if (!code(colourAt(x, y) & 0xFF))
                return false;
            sinceClear = (sinceClear + 1) % 250;
        }
    }
    if (!code(257))
        return false;
    if (bitCount > 0)
        block.append(char(bitBuffer));
    if (!block.isEmpty() && !flushBlock())
        return false;
    return file.write("\0;", 2) == 2;
}

// A PNG through Qt's writer, of grey8, rgb16 (no alpha) or rgba16.
bool writePng(const QString &fileName, int width, int height, const QString &kind)
{
    const QImage::Format format = kind == QLatin1String("png-grey8")   ? QImage::Format_Grayscale8
                                  : kind == QLatin1String("png-rgb16") ? QImage::Format_RGBX64
                                                                       : QImage::Format_RGBA64;
    QImage image(width, height, format);
    if (image.isNull())
        return false;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const std::uint32_t c = colourAt(x, y);
            if (format == QImage::Format_Grayscale8)
                image.scanLine(y)[x] = uchar(c);
            else
                reinterpret_cast<QRgba64 *>(image.scanLine(y))[x] = QRgba64::fromRgba64(
                    quint16(c * 3), quint16(c >> 8), quint16(c >> 16),
                    format == QImage::Format_RGBA64 ? quint16(0x8000 | c) : 0xFFFF);
        }
    }
    return image.save(fileName, "PNG", 0); // fast rather than small
}

bool writePicture(const QString &kind, const QString &fileName, int width, int height)
{
    if (kind == QLatin1String("bmp24") || kind == QLatin1String("bmp32"))
        return writeBmp(fileName, width, height, kind == QLatin1String("bmp24") ? 24 : 32);
    if (kind == QLatin1String("gif"))
        return writeGif(fileName, width, height);
    return writePng(fileName, width, height, kind);
}

// Writes the picture in a child process: this one's peak stays the load's own.
bool writeInChild(const QString &kind, const QString &fileName, int width, int height)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--write"), kind, fileName, QString::number(width),
                 QString::number(height)});
    return child.waitForFinished(-1) && child.exitStatus() == QProcess::NormalExit &&
           child.exitCode() == 0;
}

int runAll()
{
    int failures = 0;
    for (const char *kind : formats) {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        child.start(QCoreApplication::applicationFilePath(), {QLatin1String(kind)});
        if (!child.waitForFinished(-1) || child.exitCode() != 0)
            ++failures;
        std::printf("\n");
    }
    return failures == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    if (argc == 6 && std::strcmp(argv[1], "--write") == 0)
        return writePicture(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]),
                            std::atoi(argv[4]), std::atoi(argv[5]))
                   ? 0
                   : 1;
    const QString kind = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("bmp24");
    if (kind == QLatin1String("all"))
        return runAll();
    if (std::find(std::begin(formats), std::end(formats), kind.toStdString()) ==
        std::end(formats)) {
        std::fprintf(stderr, "usage: largest_picture_bench [all|FORMAT [WIDTH HEIGHT]]\n");
        return 2;
    }
    const int width = argc > 3 ? std::atoi(argv[2]) : 8192;
    const int height = argc > 3 ? std::atoi(argv[3]) : 4096;
    std::printf("pixel limit: %lld pixels\n", static_cast<long long>(quenzil::pixelLimit()));

    QTemporaryDir dir;
    const QString fileName = dir.filePath(QStringLiteral("largest"));
    if (!dir.isValid() || !writeInChild(kind, fileName, width, height)) {
        std::fprintf(stderr, "cannot write the picture\n");
        return 1;
    }
    std::printf("picture: %d x %d, %s of %lld bytes; peak memory before loading %.0f MiB\n", width,
                height, qPrintable(kind), static_cast<long long>(QFile(fileName).size()),
                peakMiB());

    quenzil::PictureSource source;
    QString error;
    auto start = std::chrono::steady_clock::now();
    if (!source.readFile(fileName, {}, &error)) {
        std::printf("load refused after %.3f s: %s\n", secondsSince(start), qPrintable(error));
        return 1;
    }
    std::printf("load:   %.3f s, peak memory %.0f MiB, resident after %.0f MiB\n",
                secondsSince(start), peakMiB(), residentMiB());
    QFile::remove(fileName);

    start = std::chrono::steady_clock::now();
    quenzil::Preparation inverting;
    inverting.invert = true;
    const QImage inverted = source.takePrepared(inverting);
    std::printf("invert: %.3f s, peak memory %.0f MiB\n", secondsSince(start), peakMiB());

    start = std::chrono::steady_clock::now();
    const quenzil::ImagePixels pixels(inverted);
    const std::string table = quenzil::buildTableText(pixels);
    const std::size_t length = quenzil::tableLength({}, std::size_t(width), std::size_t(height));
    std::printf("table:  %.3f s, %zu characters (%s), peak memory %.0f MiB\n", secondsSince(start),
                table.size(), table.size() == length ? "complete" : "INCOMPLETE", peakMiB());

    // One row more than the limit: refused from the header, before any pixel is decoded.
    const QString tooLarge = dir.filePath(QStringLiteral("too-large"));
    if (kind == QLatin1String("bmp24") && writeInChild(kind, tooLarge, width, height + 1)) {
        start = std::chrono::steady_clock::now();
        const bool loaded = source.readFile(tooLarge, {}, &error);
        std::printf("%d x %d: %s after %.3f s (%s); peak memory %.0f MiB\n", width, height + 1,
                    loaded ? "LOADED" : "refused", secondsSince(start),
                    loaded ? "" : qPrintable(error), peakMiB());
    }
    return 0;
}
