#pragma once

#include "preparation.h"

#include <QImage>
#include <QSize>

namespace quenzil {

// The picture (Format_ARGB32 or Format_RGB32), taken as opaque, scaled to `size`, as opaque
// Format_ARGB32.
//
// Smooth averages: each pixel is the area average of the source pixels it covers when shrinking,
// and interpolated between the nearest four (bilinear) when enlarging, each axis on its own;
// every average is rounded to the nearest value, so a picture's mean colour stays where it was.
// Nearest takes each pixel from the source pixel under its centre.
//
// Returns a null image for an empty size or when memory runs out; may throw std::bad_alloc.
QImage resampled(const QImage &picture, QSize size, Preparation::Resampling resampling);

} // namespace quenzil
