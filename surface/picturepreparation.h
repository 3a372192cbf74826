#pragma once

#include "preparation.h"

#include <QImage>
#include <QSize>
#include <QString>

namespace quenzil {

// The largest size inside `box` with the aspect of `picture`, each side rounded and at least 1;
// invalid for an empty picture or box.
QSize fittedSize(QSize picture, QSize box);

// The smallest size that covers `box` with the aspect of `picture`: one side the box's, the
// other rounded and at least the box's; invalid for an empty picture or box.
QSize coveringSize(QSize picture, QSize box);

// The size `preparation` scales a picture of size `picture` to, before padding or cropping.
QSize scaledSize(QSize picture, const Preparation &preparation);

// The size of the picture that `preparation` makes of one of size `picture`, padding and
// cropping included.
QSize preparedSize(QSize picture, const Preparation &preparation);

// Makes a read picture ready to be coded as `preparation` tells (see Preparation for the order of
// the steps). The result is opaque Format_ARGB32, alpha 0xFF everywhere: with the default
// preparation the picture with its alpha dropped, and an opaque picture as it is, sharing its
// pixels. A prepared picture beyond the pixel limit, or one filled from a scaled picture beyond
// it, fails before anything is made; on a failure (that, or too little memory) returns a null
// image and sets *error (when given). Nothing is thrown.
QImage prepare(QImage picture, const Preparation &preparation, QString *error = nullptr);

// A prepared picture as a 3-3-2 display shows it: each pixel's code in its display colour
// (displaycolour.h), Format_RGB32. A picture whose colours were reduced already is its own
// preview. Null when memory runs out.
QImage displayPreview(const QImage &prepared);

} // namespace quenzil
