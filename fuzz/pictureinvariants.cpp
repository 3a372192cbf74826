#include "pictureinvariants.h"

#include "hostilefiles.h"
#include "imagepixels.h"
#include "picturereading.h"
#include "picturesource.h"
#include "preparationinvariants.h"
#include "shapeinvariants.h"
#include "tablebuilder.h"

#include <QBuffer>

#include <cstdint>

namespace quenzil::fuzz {

namespace {

// The picture the surface holds before each input: a failed load must keep it.
QImage heldPicture()
{
    QImage picture(2, 2, QImage::Format_ARGB32);
    picture.setPixel(0, 0, 0xFF123456u);
    picture.setPixel(1, 0, 0xFFFFFFFFu);
    picture.setPixel(0, 1, 0xFF000000u);
    picture.setPixel(1, 1, 0xFF80C0E0u);
    return picture;
}

// Records the first invariant that does not hold; the caller stops at it.
bool holds(PictureCheck &check, bool condition, const char *what)
{
    if (!condition && check.fault.empty())
        check.fault = what;
    return condition;
}

bool isOpaque32Bit(const QImage &picture)
{
    if (picture.format() != QImage::Format_ARGB32)
        return false;
    for (int y = 0; y < picture.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(picture.constScanLine(y));
        for (int x = 0; x < picture.width(); ++x)
            if (qAlpha(line[x]) != 255)
                return false;
    }
    return true;
}

void checkInversion(PictureSource &source, PictureCheck &check)
{
    const QImage &before = check.picture;
    const int width = before.width();
    const int height = before.height();
    Preparation inverting;
    inverting.invert = true;
    const QImage inverted = source.prepared(inverting);
    if (!holds(check, !inverted.isNull(), "an inverted picture prepares"))
        return;
    const ImagePixels pixels(inverted);
    // Corners and centre, so that large pictures stay cheap.
    const int xs[] = {0, width / 2, width - 1};
    const int ys[] = {0, height / 2, height - 1};
    for (int y : ys) {
        for (int x : xs) {
            const QRgb pixel = before.pixel(x, y);
            const ColourValue expected = ColourValue(255 - qRed(pixel)) |
                                         ColourValue(255 - qGreen(pixel)) << 8 |
                                         ColourValue(255 - qBlue(pixel)) << 16;
            if (!holds(check, pixels.colourAt(x, y) == expected,
                       "inverting gives each pixel's NOT"))
                return;
        }
    }
    holds(check, source.prepared({}) == before, "the picture prepared without inverting is kept");
}

} // namespace

PictureCheck checkFuzzInput(const QByteArray &input)
{
    OptionBytes options{};
    for (qsizetype i = 0; i < optionBytes && i < input.size(); ++i)
        options[std::size_t(i)] = std::uint8_t(input[i]);
    return checkPictureInvariants(input.mid(optionBytes), options);
}

PictureCheck checkPictureInvariants(const QByteArray &bytes, const OptionBytes &options)
{
    PictureCheck check;
    PictureSource source;
    const QImage held = heldPicture();
    if (!source.take(held)) {
        check.fault = "the held picture loads";
        return check;
    }

    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    check.loaded = source.read(&buffer, {}, &check.loadError);
    if (!check.loaded) {
        if (holds(check, !check.loadError.isEmpty(), "a failed load gives a reason"))
            holds(check, source.prepared({}) == held,
                  "a failed load keeps the picture held before");
        return check;
    }
    buffer.seek(0);
    const QImage read = readPicture(&buffer);
    check.picture = source.prepared({});

    const int width = check.picture.width();
    const int height = check.picture.height();
    const qint64 pixels = qint64(width) * height;
    if (!holds(check, width > 0 && height > 0, "a loaded picture has pixels") ||
        !holds(check, read.size() == check.picture.size(),
               "the prepared picture has the read picture's size") ||
        !holds(check, pixels <= pixelLimit(), "a loaded picture keeps within the pixel limit") ||
        !holds(check, isOpaque32Bit(check.picture), "the prepared picture is opaque 32-bit") ||
        !holds(check, read.format() == QImage::Format_ARGB32,
               "a read picture is 32-bit with its alpha"))
        return check;

    checkInversion(source, check);
    if (!check.fault.empty())
        return check;

    if (pixels <= tablePixelLimit) {
        const ImagePixels picture(check.picture);
        const std::string fault =
            testsupport::tableFault(buildTableText(picture), std::uint64_t(pixels));
        if (!fault.empty()) {
            check.fault = "the table is well formed: " + fault;
            return check;
        }
        check.fault = preparationFault(bytes, preparationRequest(options.data()));
        if (check.fault.empty())
            check.fault = shapeFault(picture, shapeRequest(options.data() + 4));
    }
    return check;
}

} // namespace quenzil::fuzz
