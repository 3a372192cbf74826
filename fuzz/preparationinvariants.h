#pragma once

#include "preparation.h"

#include <QByteArray>

#include <cstdint>
#include <string>

namespace quenzil::fuzz {

// What quenzil-table is asked to do to a picture before coding it, as a fuzz input's option
// bytes 0 to 3 tell it:
// - byte 0: bits 0-1 the scaling (none, fit, stretch, fit and pad), bit 2 nearest resampling,
//   bit 3 a background, bits 4-5 the dither (none, ordered, diffuse, none), bit 6 the nearest
//   display levels (without a dither), bit 7 inverting first;
// - bytes 1 and 2: the box's width and height, 1 to 64 (the low six bits plus one);
// - byte 3: the background colour, spread over the three channels.
Preparation preparationRequest(const std::uint8_t *bytes);

// Reads a picture as quenzil-table does for the preparation (a JPEG perhaps at a fraction of its
// size), prepares it and builds its table and its preview's, checking:
// - the prepared picture is opaque and has the size the preparation gives the picture read
//   whole, and the table one entry a pixel;
// - the preview holds in each pixel the display colour of the table's entry for it;
// - after a reduction every pixel is a display colour that its entry codes; nearest levels lie
//   within half a level's gap of the colour prepared without the reduction, ordered dithering
//   on one of the two levels around it.
// Returns the first fault, or empty. A picture that does not load is checked elsewhere.
std::string preparationFault(const QByteArray &picture, const Preparation &preparation);

} // namespace quenzil::fuzz
