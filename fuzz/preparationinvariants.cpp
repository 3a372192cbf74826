#include "preparationinvariants.h"

#include "displaycolour.h"
#include "hostilefiles.h"
#include "imagepixels.h"
#include "picturepreparation.h"
#include "picturereading.h"
#include "picturesource.h"
#include "pixelcode.h"
#include "tablebuilder.h"

#include <QBuffer>

#include <cstdlib>
#include <vector>

namespace quenzil::fuzz {

namespace {

using Scaling = Preparation::Scaling;

// The codes of a table's entries, in order.
std::vector<std::uint8_t> tableCodes(const std::string &table)
{
    std::vector<std::uint8_t> codes;
    for (std::size_t at = table.find("&B"); at != std::string::npos;
         at = table.find("&B", at + 2)) {
        unsigned code = 0;
        for (std::size_t bit = 0; bit < 8 && at + 2 + bit < table.size(); ++bit)
            code = code << 1 | unsigned(table[at + 2 + bit] == '1');
        codes.push_back(std::uint8_t(code));
    }
    return codes;
}

unsigned channel(ColourValue colour, int index)
{
    return colour >> (8 * index) & 0xFFu;
}

// Whether a display value is one of the two display levels around `value` (of `bits` bits).
bool isLevelAround(unsigned shown, unsigned value, unsigned bits)
{
    unsigned lower = 0;
    while (lower < (1u << bits) - 1 && widenChannel(lower + 1, bits) <= value)
        ++lower;
    return shown == widenChannel(lower, bits) ||
           (lower < (1u << bits) - 1 && shown == widenChannel(lower + 1, bits));
}

// What is wrong with one reduced pixel, given the colour it was reduced from.
const char *reducedPixelFault(ColourValue prepared, ColourValue reduced, ColourReduction reduction)
{
    if (displayColour(PixelCode::code(reduced)) != reduced)
        return "a reduced pixel is a display colour";
    for (int index = 0; index < 3; ++index) {
        const unsigned bits = index == 2 ? 2 : 3;
        const unsigned value = channel(prepared, index);
        const unsigned shown = channel(reduced, index);
        // Half the widest gap between levels: 37 / 2 for red and green, 85 / 2 for blue.
        const int halfGap = index == 2 ? 42 : 18;
        if (reduction == ColourReduction::Nearest && std::abs(int(shown) - int(value)) > halfGap)
            return "the nearest level lies within half a gap of the colour";
        if (reduction == ColourReduction::Ordered && !isLevelAround(shown, value, bits))
            return "ordered dithering shows one of the two levels around the colour";
    }
    return nullptr;
}

bool isOpaque(const QImage &picture)
{
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            if (qAlpha(picture.pixel(x, y)) != 255)
                return false;
    return true;
}

} // namespace

Preparation preparationRequest(const std::uint8_t *bytes)
{
    Preparation preparation;
    switch (bytes[0] & 3u) {
    case 1:
        preparation.scaling = Scaling::Fit;
        break;
    case 2:
        preparation.scaling = Scaling::Stretch;
        break;
    case 3:
        preparation.scaling = Scaling::Fit;
        preparation.pad = true;
        break;
    default:
        break;
    }
    preparation.box = QSize(int(bytes[1] & 63u) + 1, int(bytes[2] & 63u) + 1);
    if (bytes[0] & 4u)
        preparation.resampling = Preparation::Resampling::Nearest;
    if (bytes[0] & 8u)
        preparation.background = qRgb(bytes[3], (bytes[3] * 37) & 0xFF, (bytes[3] * 101) & 0xFF);
    switch (bytes[0] >> 4 & 3u) {
    case 1:
        preparation.reduction = ColourReduction::Ordered;
        break;
    case 2:
        preparation.reduction = ColourReduction::Diffuse;
        break;
    default:
        preparation.reduction = bytes[0] & 64u ? ColourReduction::Nearest : ColourReduction::Bands;
        break;
    }
    preparation.invert = bytes[0] & 128u;
    return preparation;
}

std::string preparationFault(const QByteArray &bytes, const Preparation &preparation)
{
    QString error;
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    const QImage whole = readPicture(&buffer, &error);
    if (whole.isNull())
        return "a picture that loads reads again: " + error.toStdString();
    buffer.seek(0);
    PictureSource source;
    if (!source.read(&buffer, preparation, &error))
        return "a picture that reads whole reads for its preparation: " + error.toStdString();

    // The colours before the reduction, to hold the reduced ones against.
    Preparation unreduced = preparation;
    unreduced.reduction = ColourReduction::Bands;
    const QImage plain = source.prepared(unreduced, &error);
    const QImage reduced = source.prepared(preparation, &error);
    if (plain.isNull() || reduced.isNull())
        return "a picture within the limit prepares: " + error.toStdString();
    const QSize expected = preparedSize(whole.size(), preparation);
    if (plain.size() != expected || reduced.size() != expected)
        return "the prepared picture has the size the preparation gives";
    if (!isOpaque(plain) || !isOpaque(reduced))
        return "a prepared picture is opaque";
    const int width = expected.width();
    const int height = expected.height();
    const std::uint64_t pixels = std::uint64_t(width) * std::uint64_t(height);

    ImagePixels reducedPixels(reduced);
    const std::string table = buildTableText(reducedPixels);
    if (const std::string fault = testsupport::tableFault(table, pixels); !fault.empty())
        return "the prepared picture's table is well formed: " + fault;
    const QImage preview = displayPreview(reduced);
    if (preview.size() != expected)
        return "the preview has the prepared picture's size";

    const std::vector<std::uint8_t> codes = tableCodes(table);
    const ImagePixels plainPixels(plain);
    const ImagePixels previewPixels(preview);
    for (std::size_t i = 0; i < codes.size(); ++i) {
        const int x = int(i % std::size_t(width));
        const int y = int(i / std::size_t(width));
        if (displayColour(codes[i]) != previewPixels.colourAt(x, y))
            return "each preview pixel is its entry's display colour";
        if (preparation.reduction == ColourReduction::Bands)
            continue;
        const ColourValue colour = reducedPixels.colourAt(x, y);
        if (displayColour(codes[i]) != colour)
            return "each entry's display colour is the reduced pixel";
        if (const char *fault =
                reducedPixelFault(plainPixels.colourAt(x, y), colour, preparation.reduction))
            return fault;
    }
    return {};
}

} // namespace quenzil::fuzz
