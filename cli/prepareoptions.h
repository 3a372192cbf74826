#pragma once

#include "colourreduction.h"
#include "picturepreparation.h"

#include <QRgb>
#include <QSize>
#include <QString>
#include <QStringView>

#include <optional>

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

// The options' lines for the command's help text.
extern const QString prepareOptionsHelp;

// Declares --fit, --stretch, --pad, --resample, --background, --nearest and --dither.
void addPrepareOptions(QCommandLineParser &parser);

// Reads those options from a parser that has parsed the arguments. A malformed value or a
// combination that makes no sense is a usage error: returns false with a one-line reason.
bool readPrepareOptions(const QCommandLineParser &parser, PrepareOptions &options, QString &error);

// A display size "WxH", each side 1 to 8192.
std::optional<QSize> parseDisplaySize(QStringView text);
// A colour "RRGGBB" or "#RRGGBB" in hexadecimal digits.
std::optional<QRgb> parseBackgroundColour(QStringView text);

// Before loading: a background to blend over needs the picture's alpha kept.
void prepareSurfaceForLoad(PictureSurface &surface, const PrepareOptions &options);

// After loading and --invert: blends, scales and pads, then reduces the colours. On failure (the
// prepared picture beyond the pixel limit, no memory) returns false with the reason.
bool prepareLoadedPicture(PictureSurface &surface, const PrepareOptions &options,
                          QString *errorText);

} // namespace quenzil
