#pragma once

#include "preparation.h"

#include <QRgb>
#include <QSize>
#include <QStringView>

#include <optional>
#include <string>
#include <string_view>

class QCommandLineParser;

namespace quenzil {

// What quenzil-table does to a picture between loading and coding: blending, scaling and
// padding, then the reduction to display colours (--invert is the command's own option).
struct PrepareOptions
{
    Preparation preparation;
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

} // namespace quenzil
