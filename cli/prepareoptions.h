#pragma once

#include "colourreduction.h"
#include "picturepreparation.h"

#include <QRgb>
#include <QSize>
#include <QStringView>

#include <optional>
#include <string>
#include <string_view>

class QCommandLineParser;

namespace quenzil {

class PictureSurface;

// What quenzil-table does to a picture between loading (and --invert) and coding: blending,
// scaling and padding, then the reduction to display colours.
struct PrepareOptions
{
    PicturePreparation preparation;
    // Bands leaves the picture to the plain coding.
    ColourReduction reduction = ColourReduction::Bands;
};

// Declares --fit, --stretch, --pad, --resample, --background, --nearest and --dither.
void addPrepareOptions(QCommandLineParser &parser);

// Reads those options from a parser that has parsed the arguments. A malformed value or a
// combination that makes no sense is a usage error: returns false with a one-line reason.
bool readPrepareOptions(const QCommandLineParser &parser, PrepareOptions &options,
                        std::string &error);

// What a preparation option typed as `argument` ("--fit") takes as its value ("a size WxH"), for
// the message about a missing one; empty for any other argument.
std::string preparationValueKind(std::string_view argument);

// A display size "WxH", each side 1 to 8192.
std::optional<QSize> parseDisplaySize(QStringView text);
// A colour "RRGGBB" or "#RRGGBB" in hexadecimal digits.
std::optional<QRgb> parseBackgroundColour(QStringView text);

// Before loading: a background to blend over needs the picture's alpha kept.
void prepareSurfaceForLoad(PictureSurface &surface, const PrepareOptions &options);

// After loading and --invert: blends, scales and pads, then reduces the colours. On failure (the
// prepared picture beyond the pixel limit, no memory) returns false with the reason.
bool prepareLoadedPicture(PictureSurface &surface, const PrepareOptions &options,
                          std::string &error);

} // namespace quenzil
