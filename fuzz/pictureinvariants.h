#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

#include <QtGlobal>

#include <array>
#include <cstdint>
#include <string>

namespace quenzil::fuzz {

// What checkPictureInvariants() found for one input.
struct PictureCheck
{
    // Whether the bytes loaded as a picture, and the reason given when they did not.
    bool loaded = false;
    QString loadError;
    // The picture as loaded, before any later step changed it; null when the load failed.
    QImage picture;
    // The first invariant that does not hold, or empty when all hold. The steps after a broken
    // invariant are not taken.
    std::string fault;
};

// A fuzz input opens with this many option bytes, the picture after them. Bytes 0 to 3 ask for
// a preparation (see preparationinvariants.h); bytes 4 to 7 are kept for the table's layout.
inline constexpr qsizetype optionBytes = 8;
using OptionBytes = std::array<std::uint8_t, optionBytes>;

// Splits a fuzz input into its options (an input shorter than the options has zeros for the
// missing bytes and no picture) and runs checkPictureInvariants() on them.
PictureCheck checkFuzzInput(const QByteArray &input);

// Reads arbitrary bytes into a picture source that already holds a picture, then prepares the
// picture inverted and builds its table, checking what must hold for any input:
// - a failed read says why and leaves the source's picture as it was;
// - a read picture has pixels, keeps within the pixel limit, is read as 32-bit with its alpha
//   and prepared opaque;
// - inverting gives each pixel's NOT, and the source keeps the picture as read;
// - the table (of pictures up to tablePixelLimit) is well formed, with one entry a pixel;
// - the preparation the options ask for (all zero: none) keeps the checks of
//   preparationFault(), for pictures up to tablePixelLimit;
// - the table in the shape bytes 4 to 7 ask for (see shapeinvariants.h) reads back as the
//   plain table's codes, for pictures up to tablePixelLimit.
// The fuzz target aborts on a fault, a test fails with it; both see the same checks.
PictureCheck checkPictureInvariants(const QByteArray &bytes, const OptionBytes &options = {});

// Pictures up to this many pixels get a table; larger ones are still loaded and inverted.
inline constexpr qint64 tablePixelLimit = 256 * 256;

} // namespace quenzil::fuzz
