#include "picturepreparation.h"

#include "colourreduction.h"
#include "picturereading.h"
#include "resampling.h"

#include <algorithm>
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

// Inverts the colours (alpha kept) and then blends them over the background, or drops the alpha
// without one. False when the picture could not be made its own copy.
bool invertAndBlend(QImage &picture, bool invert, std::optional<QRgb> background)
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
            if (background && alpha != 255)
                pixel = qRgb(mixed(qRed(pixel), qRed(*background), alpha),
                             mixed(qGreen(pixel), qGreen(*background), alpha),
                             mixed(qBlue(pixel), qBlue(*background), alpha));
            line[x] = pixel | 0xFF000000u;
        }
    }
    return true;
}

// The picture centred on a canvas of `size` in `colour`.
QImage padded(const QImage &picture, QSize size, QRgb colour)
{
    QImage canvas(size, QImage::Format_ARGB32);
    if (canvas.isNull())
        return canvas;
    canvas.fill(colour | 0xFF000000u);
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

// Replaces every pixel's colour by a display colour, in place (0xAARRGGBB pixels).
bool reduce(QImage &picture, ColourReduction reduction)
{
    auto *pixels = reinterpret_cast<std::uint32_t *>(picture.bits());
    if (!pixels)
        return false;
    reduceToDisplayColours({pixels, picture.width(), picture.height(), picture.bytesPerLine() / 4},
                           reduction, ChannelLayout{16, 8, 0});
    return true;
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
        // nothing and is dropped; the resampler drops it anyway, so a picture it scales is not
        // looked at for transparency (on a large picture that look costs as much as a tenth of
        // the rest). An opaque picture left as it is keeps sharing its pixels with the caller's.
        const QSize scaled = scaledSize(picture.size(), preparation);
        const bool alphaCounts = preparation.background || scaled == picture.size();
        if ((preparation.invert || (alphaCounts && !isOpaque(picture))) &&
            !invertAndBlend(picture, preparation.invert, preparation.background))
            return fail(error, noMemoryText());
        if (scaled != picture.size())
            picture = resampled(picture, scaled, preparation.resampling);
        if (picture.isNull())
            return fail(error, noMemoryText());
        if (picture.size() != size && preparation.scaling == Preparation::Scaling::Fill)
            picture = cropped(picture, size);
        else if (picture.size() != size)
            picture = padded(picture, size, preparation.background.value_or(qRgb(0, 0, 0)));
        if (picture.isNull())
            return fail(error, noMemoryText());
        // Bands is what the coding does anyway.
        if (preparation.reduction != ColourReduction::Bands &&
            !reduce(picture, preparation.reduction))
            return fail(error, noMemoryText());
        return picture;
    } catch (const std::bad_alloc &) {
        return fail(error, noMemoryText());
    }
}

QImage displayPreview(const QImage &prepared)
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
        return preview;
    } catch (const std::bad_alloc &) {
        return {};
    }
}

} // namespace quenzil
