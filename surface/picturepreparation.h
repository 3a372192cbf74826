#pragma once

#include "preparation.h"

#include <QImage>
#include <QSize>
#include <QString>

#include <cstdint>
#include <optional>
#include <span>

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
// preview. With a `key`, the pixels of that code show a grey checkerboard of 4 x 4 cells
// instead, colours no code has. Null when memory runs out.
QImage displayPreview(const QImage &prepared, std::optional<std::uint8_t> key = std::nullopt);

// displayPreview() without a key, as an 8-bit picture whose palette is the 256 display colours,
// each pixel its code: a quarter of the memory, and a PNG of it a third of the work and of the
// size. Null when memory runs out.
QImage palettePreview(const QImage &prepared);

// The picture --preview writes and the window's Save preview saves, as a 3-3-2 display shows the
// prepared picture: palettePreview(), or with a key displayPreview() and its checkerboard, whose
// greys are colours no palette of the 256 display colours holds. A picture of codes already
// (codedPicture()) is its own preview without a key. Null when memory runs out.
QImage previewPicture(const QImage &prepared, std::optional<std::uint8_t> key = std::nullopt);

// The picture a table's codes stand for, `width` pixels a row: each pixel its code, in
// Format_Indexed8 with the 256 display colours as the palette (as palettePreview() makes it). The
// code `transparent` (when given) has alpha 0 in the palette: a preparation with that key takes
// its pixels as transparent again. Null when the codes do not fill `height` rows of `width` or
// memory runs out.
QImage codedPicture(int width, int height, std::span<const std::uint8_t> codes,
                    std::optional<std::uint8_t> transparent = std::nullopt);

} // namespace quenzil
