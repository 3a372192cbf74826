#include "picturepreparation.h"

#include "colourreduction.h"
#include "displaycolour.h"
#include "picturereading.h"
#include "resampling.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <limits>
#include <new>

namespace quenzil {

namespace {

QImage fail(QString *error, const QString &text)
{
    if (error)
        *error = text;
    return {};
}

bool isOpaque(const QImage &picture)
{
    const int width = picture.width();
    for (int y = 0; y < picture.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(picture.constScanLine(y));
        // A row at a time, without a branch per pixel, so that the loop runs on whole vectors.
        QRgb all = 0xFFFFFFFFu;
        for (int x = 0; x < width; ++x)
            all &= line[x];
        if (qAlpha(all) != 255)
            return false;
    }
    return true;
}

int mixed(int colour, int background, int alpha)
{
    return (colour * alpha + background * (255 - alpha) + 127) / 255;
}

// With a key: a pixel at most half opaque is transparent.
constexpr int mostTransparentAlpha = 127;

// The picture's alpha as a grey picture, to be scaled as the picture is: with a key, a scaled
// pixel is transparent where the average opacity of what it covers is at most half.
QImage alphaPicture(const QImage &picture)
{
    QImage alpha(picture.size(), QImage::Format_RGB32);
    if (alpha.isNull())
        return alpha;
    for (int y = 0; y < picture.height(); ++y) {
        const auto *from = reinterpret_cast<const QRgb *>(picture.constScanLine(y));
        auto *to = reinterpret_cast<QRgb *>(alpha.scanLine(y));
        for (int x = 0; x < picture.width(); ++x)
            to[x] = qAlpha(from[x]) * 0x010101u | 0xFF000000u;
    }
    return alpha;
}

// Marks the transparent pixels of a scaled picture from its scaled alpha: alpha 0 where a key
// makes them transparent, 0xFF elsewhere.
void markTransparent(QImage &picture, const QImage &alpha)
{
    for (int y = 0; y < picture.height(); ++y) {
        const auto *from = reinterpret_cast<const QRgb *>(alpha.constScanLine(y));
        auto *to = reinterpret_cast<QRgb *>(picture.scanLine(y));
        for (int x = 0; x < picture.width(); ++x)
            to[x] =
                (to[x] & 0x00FFFFFFu) | (qRed(from[x]) <= mostTransparentAlpha ? 0 : 0xFF000000u);
    }
}

// Inverts the colours (alpha kept) and then blends them over the background, or drops the alpha
// without one. With a key the pixels at most half opaque keep alpha 0 instead, to be coded as
// the key. False when the picture could not be made its own copy.
bool invertAndBlend(QImage &picture, bool invert, std::optional<QRgb> background, bool keyed)
{
    const QRgb flip = invert ? 0x00FFFFFFu : 0;
    const int width = picture.width();
    for (int y = 0; y < picture.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(picture.scanLine(y));
        if (!line)
            return false;
        for (int x = 0; x < width; ++x) {
            QRgb pixel = line[x] ^ flip;
            const int alpha = qAlpha(pixel);
            if (keyed && alpha <= mostTransparentAlpha) {
                line[x] = pixel & 0x00FFFFFFu;
                continue;
            }
            if (background && alpha != 255)
                pixel = qRgb(mixed(qRed(pixel), qRed(*background), alpha),
                             mixed(qGreen(pixel), qGreen(*background), alpha),
                             mixed(qBlue(pixel), qBlue(*background), alpha));
            line[x] = pixel | 0xFF000000u;
        }
    }
    return true;
}

// The picture centred on a canvas of `size` in `colour` (0xAARRGGBB).
QImage padded(const QImage &picture, QSize size, QRgb colour)
{
    QImage canvas(size, QImage::Format_ARGB32);
    if (canvas.isNull())
        return canvas;
    canvas.fill(colour);
    const int left = (size.width() - picture.width()) / 2;
    const int top = (size.height() - picture.height()) / 2;
    for (int y = 0; y < picture.height(); ++y)
        std::memcpy(canvas.scanLine(top + y) + std::size_t(left) * sizeof(QRgb),
                    picture.constScanLine(y), std::size_t(picture.width()) * sizeof(QRgb));
    return canvas;
}

// The middle `size` of the picture: what overflows is cut evenly from both sides, the odd pixel
// from the right or the bottom.
QImage cropped(const QImage &picture, QSize size)
{
    return picture.copy((picture.width() - size.width()) / 2,
                        (picture.height() - size.height()) / 2, size.width(), size.height());
}

// Replaces every pixel's colour by a display colour, in place (0xAARRGGBB pixels). With a key,
// the pixels of alpha 0 are transparent (see reduceToDisplayColours()); the alpha stays.
bool reduce(QImage &picture, ColourReduction reduction, std::optional<std::uint8_t> key = {})
{
    auto *pixels = reinterpret_cast<std::uint32_t *>(picture.bits());
    if (!pixels)
        return false;
    reduceToDisplayColours({pixels, picture.width(), picture.height(), picture.bytesPerLine() / 4},
                           reduction, ChannelLayout{16, 8, 0}, key);
    return true;
}

void makeOpaque(QImage &picture)
{
    for (int y = 0; y < picture.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(picture.scanLine(y));
        for (int x = 0; x < picture.width(); ++x)
            line[x] |= 0xFF000000u;
    }
}

// The code of a 0xAARRGGBB pixel, as PixelCode makes it.
unsigned codeOf(QRgb pixel)
{
    return unsigned(qRed(pixel) >> 5 << 5 | qGreen(pixel) >> 5 << 2 | qBlue(pixel) >> 6);
}

} // namespace

QSize fittedSize(QSize picture, QSize box)
{
    if (picture.isEmpty() || box.isEmpty())
        return {};
    const qint64 width = picture.width();
    const qint64 height = picture.height();
    // Compared as products: the side that fills its box first decides the scale.
    if (width * box.height() <= height * box.width()) {
        const qint64 fitted = (2 * width * box.height() + height) / (2 * height);
        return QSize(int(std::clamp<qint64>(fitted, 1, box.width())), box.height());
    }
    const qint64 fitted = (2 * height * box.width() + width) / (2 * width);
    return QSize(box.width(), int(std::clamp<qint64>(fitted, 1, box.height())));
}

QSize coveringSize(QSize picture, QSize box)
{
    if (picture.isEmpty() || box.isEmpty())
        return {};
    const qint64 width = picture.width();
    const qint64 height = picture.height();
    // The side that fills its box last decides the scale; the other overflows. Beyond the
    // largest int, no picture could be made anyway.
    const auto side = [](qint64 scaled) {
        return int(std::min<qint64>(scaled, std::numeric_limits<int>::max()));
    };
    if (width * box.height() <= height * box.width()) {
        const qint64 covering = (2 * height * box.width() + width) / (2 * width);
        return QSize(box.width(), side(std::max<qint64>(covering, box.height())));
    }
    const qint64 covering = (2 * width * box.height() + height) / (2 * height);
    return QSize(side(std::max<qint64>(covering, box.width())), box.height());
}

QSize scaledSize(QSize picture, const Preparation &preparation)
{
    switch (preparation.scaling) {
    case Preparation::Scaling::None:
        return picture;
    case Preparation::Scaling::Fit:
        return fittedSize(picture, preparation.box);
    case Preparation::Scaling::Stretch:
        return preparation.box;
    case Preparation::Scaling::Fill:
        return coveringSize(picture, preparation.box);
    }
    return picture;
}

QSize preparedSize(QSize picture, const Preparation &preparation)
{
    if ((preparation.scaling == Preparation::Scaling::Fit && preparation.pad) ||
        preparation.scaling == Preparation::Scaling::Fill)
        return preparation.box;
    return scaledSize(picture, preparation);
}

QImage prepare(QImage picture, const Preparation &preparation, QString *error)
{
    if (picture.isNull())
        return fail(error, QStringLiteral("There is no picture"));
    // Held to the limit before anything is made, so a large box costs nothing.
    const QSize size = preparedSize(picture.size(), preparation);
    if (size.isEmpty())
        return fail(error, QStringLiteral("The size to scale to is empty"));
    if (!fitsPixelLimit(size))
        return fail(error, pixelLimitText(size));
    // Filling scales first and crops afterwards: a picture far wider or taller than the box
    // would be scaled to many times the box.
    const QSize scaled = scaledSize(picture.size(), preparation);
    if (!fitsPixelLimit(scaled))
        return fail(error, pixelLimitText(scaled));

    try {
        if (picture.format() != QImage::Format_ARGB32) {
            picture = takePicture(std::move(picture), error);
            if (picture.isNull())
                return picture;
        }
        // Inverting and blending come before scaling, so that the scaled picture is the scaled
        // inverted or blended one to the last rounding. Without a background the alpha means
        // nothing and is dropped; the resampler drops it anyway, so a picture it scales without
        // a background or a key is not looked at for transparency (on a large picture that look
        // costs as much as a tenth of the rest). An opaque picture left as it is keeps sharing
        // its pixels with the caller's.
        //
        // With a key, which pixels are transparent is decided from the alpha as read, before it
        // is blended or dropped: unscaled, a pixel at most half opaque; scaled, a pixel whose
        // alpha scaled along with the picture is at most half. They are carried to the
        // reduction as alpha 0, padding included, and the reduction codes them as the key.
        const bool keyed = preparation.key.has_value();
        const QSize scaled = scaledSize(picture.size(), preparation);
        const bool alphaCounts = preparation.background || keyed || scaled == picture.size();
        // Inverting goes over every pixel anyway; only a key needs to know more then.
        const bool opaque = !alphaCounts                   ? true
                            : preparation.invert && !keyed ? false
                                                           : isOpaque(picture);
        QImage alpha;
        if (keyed && !opaque && scaled != picture.size()) {
            alpha = alphaPicture(picture);
            if (alpha.isNull())
                return fail(error, noMemoryText());
        }
        if ((preparation.invert || !opaque) &&
            !invertAndBlend(picture, preparation.invert, preparation.background, keyed))
            return fail(error, noMemoryText());
        if (scaled != picture.size()) {
            picture = resampled(picture, scaled, preparation.resampling);
            if (!alpha.isNull() && !picture.isNull()) {
                alpha = resampled(alpha, scaled, preparation.resampling);
                if (alpha.isNull())
                    return fail(error, noMemoryText());
                markTransparent(picture, alpha);
            }
        }
        if (picture.isNull())
            return fail(error, noMemoryText());
        if (picture.size() != size && preparation.scaling == Preparation::Scaling::Fill) {
            picture = cropped(picture, size);
        } else if (picture.size() != size) {
            const QRgb colour = preparation.background.value_or(qRgb(0, 0, 0));
            picture = padded(picture, size, keyed ? colour & 0x00FFFFFFu : colour | 0xFF000000u);
        }
        if (picture.isNull())
            return fail(error, noMemoryText());
        // Bands is what the coding does anyway, where no key asks for more.
        if ((preparation.reduction != ColourReduction::Bands || keyed) &&
            !reduce(picture, preparation.reduction, preparation.key))
            return fail(error, noMemoryText());
        if (keyed)
            makeOpaque(picture);
        return picture;
    } catch (const std::bad_alloc &) {
        return fail(error, noMemoryText());
    }
}

QImage displayPreview(const QImage &prepared, std::optional<std::uint8_t> key)
{
    try {
        QImage preview =
            prepared.format() == QImage::Format_ARGB32 || prepared.format() == QImage::Format_RGB32
                ? prepared.copy()
                : prepared.convertToFormat(QImage::Format_RGB32);
        // Each band's display colour codes back to the band's code.
        if (preview.isNull() || !reduce(preview, ColourReduction::Bands))
            return {};
        preview.reinterpretAsFormat(QImage::Format_RGB32);
        if (key) {
            // Neither grey is a display colour: 204 and 153 are no level of any channel.
            for (int y = 0; y < preview.height(); ++y) {
                auto *line = reinterpret_cast<QRgb *>(preview.scanLine(y));
                for (int x = 0; x < preview.width(); ++x) {
                    if (codeOf(line[x]) == *key)
                        line[x] = (x / 4 + y / 4) % 2 == 0 ? 0xFFCCCCCCu : 0xFF999999u;
                }
            }
        }
        return preview;
    } catch (const std::bad_alloc &) {
        return {};
    }
}

namespace {

// An 8-bit picture whose palette is the display colours, the pixels still to be set.
QImage paletteImage(int width, int height, std::optional<std::uint8_t> transparent)
{
    QImage picture(width, height, QImage::Format_Indexed8);
    if (picture.isNull())
        return picture;
    QList<QRgb> colours(256);
    for (unsigned code = 0; code < 256; ++code) {
        const ColourValue colour = displayColour(std::uint8_t(code));
        colours[code] = qRgb(int(colour & 0xFFu), int(colour >> 8 & 0xFFu), int(colour >> 16));
    }
    if (transparent)
        colours[*transparent] &= 0x00FFFFFFu;
    picture.setColorTable(colours);
    return picture;
}

} // namespace

QImage previewPicture(const QImage &prepared, std::optional<std::uint8_t> key)
{
    if (key)
        return displayPreview(prepared, key);
    return prepared.format() == QImage::Format_Indexed8 ? prepared : palettePreview(prepared);
}

QImage palettePreview(const QImage &prepared)
{
    try {
        const QImage picture =
            prepared.format() == QImage::Format_ARGB32 || prepared.format() == QImage::Format_RGB32
                ? prepared
                : prepared.convertToFormat(QImage::Format_RGB32);
        QImage preview = paletteImage(picture.width(), picture.height(), std::nullopt);
        if (picture.isNull() || preview.isNull())
            return {};
        for (int y = 0; y < picture.height(); ++y) {
            const auto *from = reinterpret_cast<const QRgb *>(picture.constScanLine(y));
            uchar *to = preview.scanLine(y);
            for (int x = 0; x < picture.width(); ++x)
                to[x] = uchar(codeOf(from[x]));
        }
        return preview;
    } catch (const std::bad_alloc &) {
        return {};
    }
}

QImage codedPicture(int width, int height, std::span<const std::uint8_t> codes,
                    std::optional<std::uint8_t> transparent)
{
    if (width <= 0 || height <= 0 || codes.size() != std::size_t(width) * std::size_t(height))
        return {};
    QImage picture = paletteImage(width, height, transparent);
    if (picture.isNull())
        return picture;
    for (int y = 0; y < height; ++y)
        std::memcpy(picture.scanLine(y), codes.data() + std::size_t(y) * std::size_t(width),
                    std::size_t(width));
    return picture;
}

} // namespace quenzil
