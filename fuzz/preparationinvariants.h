#pragma once

#include "colourreduction.h"
#include "picturepreparation.h"

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
struct PreparationRequest
{
    bool invert = false;
    PicturePreparation preparation;
    ColourReduction reduction = ColourReduction::Bands;
};

// Reads the request from four option bytes.
PreparationRequest preparationRequest(const std::uint8_t *bytes);

// Loads a picture as quenzil-table does for the request (keeping its alpha when there is a
// background), inverts, prepares and reduces it and builds its table, checking:
// - the prepared picture has the size the preparation gives, and the table one entry a pixel;
// - after a reduction every pixel is a display colour and each table entry codes exactly the
//   display colour the preview shows for it; nearest levels lie within half a level's gap of the
//   prepared colour, ordered dithering on one of the two levels around it;
// - the Bands reduction (--dither none) gives exactly the table of plain coding.
// Returns the first fault, or empty. A picture that does not load is checked elsewhere.
std::string preparationFault(const QByteArray &picture, const PreparationRequest &request);

} // namespace quenzil::fuzz
