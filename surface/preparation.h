#pragma once

#include "colourreduction.h"

#include <QRgb>
#include <QSize>

#include <cstdint>
#include <optional>

namespace quenzil {

// Everything that makes a read picture ready to be coded for a small display. The steps run in
// this order, whatever order they were asked for in: invert, blend over the background, scale,
// pad or crop, reduce the colours. The default changes nothing: the picture is coded as it was
// read, its transparency dropped. With a key, which pixels are transparent is decided from the
// picture's own alpha before it is blended or dropped, and carried through scaling, padding and
// cropping to the reduction (see prepare()).
struct Preparation
{
    enum class Scaling {
        None,
        // The largest size inside the box with the picture's aspect kept, up or down.
        Fit,
        // Exactly the box.
        Stretch,
        // The box covered with the picture's aspect kept, the overflow cut evenly from both
        // sides: exactly the box, with nothing of it left empty.
        Fill,
    };
    enum class Resampling {
        // Averaging: area-averaging when shrinking, interpolating when enlarging.
        Smooth,
        // Each pixel from the nearest source pixel: pixel art stays sharp.
        Nearest,
    };

    // Every colour becomes the bitwise NOT of itself.
    bool invert = false;
    // Transparent and partly transparent pixels are blended over this colour (0xFFRRGGBB), and
    // padding takes it. Without it the stored colours count as they are and padding is black.
    std::optional<QRgb> background;
    Scaling scaling = Scaling::None;
    // The size to fit into, stretch to or fill; each side 1 to 8192.
    QSize box;
    // With Fit: the fitted picture centred on a canvas of the box's size.
    bool pad = false;
    Resampling resampling = Resampling::Smooth;
    // Bands leaves the colours to the plain coding.
    ColourReduction reduction = ColourReduction::Bands;
    // The code kept for "transparent": every pixel at most half opaque codes as this, and no
    // other pixel does (one that would becomes the nearest other display colour). Padding is
    // transparent too.
    std::optional<std::uint8_t> key;

    // The largest side a box may have.
    static constexpr int largestSide = 8192;

    // Whether anything beyond inverting is asked for: what a display setting changes.
    bool changesPicture() const
    {
        return background || scaling != Scaling::None || reduction != ColourReduction::Bands || key;
    }

    friend bool operator==(const Preparation &, const Preparation &) = default;
};

} // namespace quenzil
