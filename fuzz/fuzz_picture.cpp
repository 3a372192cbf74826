// Feeds arbitrary bytes to the picture loader through checkFuzzInput(): option bytes for the
// preparation and the table, then the picture. The tests replay the same checks on the seed
// corpus and the kept findings; the target aborts on the first that fails.
#include "pictureinvariants.h"

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
    const quenzil::fuzz::PictureCheck check = quenzil::fuzz::checkFuzzInput(bytes);
    noteOutcome(bytes.mid(quenzil::fuzz::optionBytes), check.picture, check.loadError);
    if (!check.fault.empty()) {
        std::fprintf(stderr, "invariant broken: %s\n", check.fault.c_str());
        std::abort();
    }
    return 0;
}
