#pragma once

#include <QImage>
#include <QSize>
#include <QString>

#include <optional>

namespace quenzil {

class PictureSurface;

// How a loaded picture is made ready for a small display before it is coded. The steps run in
// this order: blending over the background, then scaling, then padding.
struct PicturePreparation
{
    enum class Scaling {
        None,
        // The largest size inside the box with the picture's aspect kept, up or down.
        Fit,
        // Exactly the box.
        Stretch,
    };
    enum class Resampling {
        // Area-averaging when shrinking, smooth when enlarging.
        Smooth,
        // Each pixel from the nearest source pixel: pixel art stays sharp.
        Nearest,
    };

    // Transparent and partly transparent pixels are blended over this colour (qRgb), and padding
    // takes it. Without it the stored colours count as they are and padding is black.
    std::optional<QRgb> background;
    Scaling scaling = Scaling::None;
    // The size to fit into or stretch to.
    QSize box;
    // With Fit: the fitted picture centred on a canvas of the box's size.
    bool pad = false;
    Resampling resampling = Resampling::Smooth;
};

// The largest size inside `box` with the aspect of `picture`, each side rounded and at least 1.
QSize fittedSize(QSize picture, QSize box);

// The size of the prepared picture, padding included.
QSize preparedSize(QSize picture, const PicturePreparation &preparation);

// The picture blended over an opaque colour: an opaque Format_RGB32 picture.
QImage blendedOver(const QImage &picture, QRgb background);

// Prepares the surface's picture as told and puts the result into the surface. A prepared
// picture beyond the surface's pixel limit, or a lack of memory, fails before anything changes:
// returns false with the reason in *errorText (when given), the surface kept as it was.
bool preparePicture(PictureSurface &surface, const PicturePreparation &preparation,
                    QString *errorText = nullptr);

} // namespace quenzil
