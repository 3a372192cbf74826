// Feeds arbitrary bytes to the picture loader, then inverts the picture and builds its table,
// checking what must hold for any picture that loads:
// - a failed load leaves the surface as it was (here: empty) and says why;
// - inverting twice gives back every pixel, and once gives each pixel's NOT;
// - the table opens with the header and has exactly the length its pixel count gives.
#include "picturesurface.h"
#include "tablebuilder.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>
#include <QString>
#include <QtGlobal>

#include <bit>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

// Pictures up to this many pixels get a table; larger ones are still loaded and inverted.
constexpr std::int64_t tablePixelLimit = 256 * 256;

void check(bool condition, const char *what)
{
    if (!condition) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

// Qt is not instrumented, so libFuzzer sees no edge inside the decoders. These branches turn a
// decoder's outcome (which decoder, which image format, what size, which error) into edges of
// our own, so that an input reaching a new outcome is kept in the corpus.
volatile int outcomeSink = 0;

template <int N> void outcomeEdge(unsigned value)
{
    if (value == N)
        outcomeSink = N;
    else if constexpr (N > 0)
        outcomeEdge<N - 1>(value);
}

void noteOutcome(const QByteArray &bytes, const QImage &image, const QString &error)
{
    QBuffer device;
    device.setData(bytes);
    device.open(QIODevice::ReadOnly);
    outcomeEdge<31>(unsigned(qHash(QImageReader::imageFormat(&device))) % 32);
    outcomeEdge<47>(unsigned(image.format()) % 48);
    outcomeEdge<31>(unsigned(std::bit_width(unsigned(image.width()))));
    outcomeEdge<31>(unsigned(std::bit_width(unsigned(image.height()))));
    outcomeEdge<63>(unsigned(qHash(error)) % 64);
}

void quietMessages(QtMsgType, const QMessageLogContext &, const QString &) {}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // The decoders' warnings about damaged files would only flood the log.
    qInstallMessageHandler(quietMessages);
    // Keeps each input cheap: with 16 MiB the surface takes at most 4 Mi pixels. The checks
    // against the limit are the same as with the default 128 MiB.
    QImageReader::setAllocationLimit(16);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));

    quenzil::PictureSurface surface;
    QString error;
    const bool loaded = surface.loadFromData(bytes, &error);
    noteOutcome(bytes, surface.image(), error);
    if (!loaded) {
        check(!error.isEmpty(), "a failed load gives a reason");
        check(surface.image().isNull() && surface.width() == 0 && surface.height() == 0,
              "a failed load keeps the empty surface");
        return 0;
    }

    const int width = surface.image().width();
    const int height = surface.image().height();
    check(width > 0 && height > 0, "a loaded picture has pixels");
    check(std::int64_t(width) * height <= quenzil::PictureSurface::pixelLimit(),
          "a loaded picture keeps within the pixel limit");
    check(surface.image().format() == QImage::Format_RGB32, "the buffer is opaque 32-bit");

    const QImage before = surface.image();
    surface.invert();
    // Corners and centre, so that large pictures stay cheap.
    const int xs[] = {0, width / 2, width - 1};
    const int ys[] = {0, height / 2, height - 1};
    for (int y : ys) {
        for (int x : xs) {
            const QRgb pixel = before.pixel(x, y);
            const quenzil::ColourValue expected = quenzil::ColourValue(255 - qRed(pixel)) |
                                                  quenzil::ColourValue(255 - qGreen(pixel)) << 8 |
                                                  quenzil::ColourValue(255 - qBlue(pixel)) << 16;
            check(surface.colourAt(x, y) == expected, "inverting gives each pixel's NOT");
        }
    }
    surface.invert();
    check(surface.image() == before, "inverting twice gives back the picture");

    const std::int64_t pixels = std::int64_t(width) * height;
    if (pixels <= tablePixelLimit) {
        const std::string table = quenzil::buildTableText(surface);
        check(table.starts_with(quenzil::tableHeader), "the table opens with its header");
        check(table.size() == quenzil::tableLength(std::size_t(pixels)),
              "the table has the length of its pixel count");
    }
    return 0;
}
