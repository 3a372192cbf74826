#include "picturepreparation.h"

#include "picturesurface.h"

#include <QPainter>

#include <algorithm>
#include <new>

namespace quenzil {

namespace {

bool fail(QString *errorText, const QString &text)
{
    if (errorText)
        *errorText = text;
    return false;
}

// An opaque canvas of one colour.
QImage canvas(QSize size, QRgb colour)
{
    QImage image(size, QImage::Format_RGB32);
    if (!image.isNull())
        image.fill(colour | 0xFF000000u);
    return image;
}

// The picture with its alpha dropped, so that scaling and padding take the stored colours.
QImage opaque(QImage picture)
{
    picture = std::move(picture).convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < picture.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(picture.scanLine(y));
        for (int x = 0; x < picture.width(); ++x)
            line[x] |= 0xFF000000u;
    }
    picture.reinterpretAsFormat(QImage::Format_RGB32);
    return picture;
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

QSize preparedSize(QSize picture, const PicturePreparation &preparation)
{
    switch (preparation.scaling) {
    case PicturePreparation::Scaling::None:
        return picture;
    case PicturePreparation::Scaling::Fit:
        return preparation.pad ? preparation.box : fittedSize(picture, preparation.box);
    case PicturePreparation::Scaling::Stretch:
        return preparation.box;
    }
    return picture;
}

QImage blendedOver(const QImage &picture, QRgb background)
{
    QImage result = canvas(picture.size(), background);
    if (result.isNull())
        return result;
    QPainter painter(&result);
    painter.drawImage(0, 0, picture);
    return result;
}

bool preparePicture(PictureSurface &surface, const PicturePreparation &preparation,
                    QString *errorText)
{
    const QImage &picture = surface.image();
    if (picture.isNull())
        return fail(errorText, QStringLiteral("There is no picture"));
    const bool blends = preparation.background && picture.hasAlphaChannel();
    if (!blends && preparation.scaling == PicturePreparation::Scaling::None)
        return true;

    // Held to the limit before anything is made, so a large box costs nothing.
    const QSize size = preparedSize(picture.size(), preparation);
    if (size.isEmpty())
        return fail(errorText, QStringLiteral("The size to scale to is empty"));
    if (qint64(size.width()) * size.height() > PictureSurface::pixelLimit()) {
        return fail(errorText,
                    QStringLiteral("The prepared picture's %1 x %2 pixels exceed the limit of %3 "
                                   "pixels")
                        .arg(size.width())
                        .arg(size.height())
                        .arg(PictureSurface::pixelLimit()));
    }

    const QString noMemory = QStringLiteral("Not enough memory for the prepared picture");
    try {
        QImage image = blends                      ? blendedOver(picture, *preparation.background)
                       : picture.hasAlphaChannel() ? opaque(picture)
                                                   : picture;
        if (image.isNull())
            return fail(errorText, noMemory);

        if (preparation.scaling != PicturePreparation::Scaling::None) {
            const QSize scaled = preparation.scaling == PicturePreparation::Scaling::Fit
                                     ? fittedSize(image.size(), preparation.box)
                                     : preparation.box;
            const Qt::TransformationMode mode =
                preparation.resampling == PicturePreparation::Resampling::Smooth
                    ? Qt::SmoothTransformation
                    : Qt::FastTransformation;
            if (scaled != image.size())
                image = image.scaled(scaled, Qt::IgnoreAspectRatio, mode);
            if (image.isNull())
                return fail(errorText, noMemory);
        }

        if (image.size() != size) {
            QImage padded = canvas(size, preparation.background.value_or(qRgb(0, 0, 0)));
            if (padded.isNull())
                return fail(errorText, noMemory);
            QPainter painter(&padded);
            painter.drawImage((size.width() - image.width()) / 2,
                              (size.height() - image.height()) / 2, image);
            painter.end();
            image = std::move(padded);
        }
        return surface.loadImage(image, errorText);
    } catch (const std::bad_alloc &) {
        return fail(errorText, noMemory);
    }
}

} // namespace quenzil
