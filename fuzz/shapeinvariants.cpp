#include "shapeinvariants.h"

#include "imagepixels.h"
#include "settingrows.h"
#include "tablebuilder.h"
#include "tabledecoder.h"
#include "tablereader.h"

namespace quenzil::fuzz {

TableFormat shapeRequest(const std::uint8_t *bytes)
{
    TableFormat format;
    switch (bytes[0] & 3u) {
    case 0:
        format.radix = Radix::binary;
        break;
    case 2:
        format.radix = Radix::decimal;
        break;
    default:
        format.radix = Radix::hexadecimal;
        break;
    }
    format.rowLines = bytes[0] & 4u;
    format.runLength = bytes[0] & 8u;
    format.sizeLine = bytes[0] & 16u;
    if (bytes[0] & 64u) {
        format.dialect = &classicDialect;
        format.lineStart = 1;
        format.lineStep = 1;
        if (format.radix == Radix::binary)
            format.radix = Radix::hexadecimal;
    }
    format.perLine = 1 + bytes[1] % 64u;
    if (format.runLength && format.perLine % 2 != 0)
        ++format.perLine;
    if (bytes[0] & 32u) {
        // Letters, digits and "_" from the byte's bits, after a letter.
        static constexpr char characters[] =
            "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_";
        format.label = std::string(1, characters[bytes[3] % 52u]);
        for (unsigned i = 1; i < 1 + bytes[2] % 32u; ++i)
            format.label += characters[(bytes[3] + i * 29u) % 63u];
    }
    return format;
}

std::string shapeFault(const ImagePixels &picture, const TableFormat &format)
{
    if (const std::string error = settingsError(TableSettings{{}, format}); !error.empty())
        return "the requested shape is sound: " + error;
    const std::size_t width = std::size_t(picture.width());
    const std::size_t height = std::size_t(picture.height());
    if (!tableSizeError(format, width, height).empty())
        return {};

    const testsupport::ReadTable plain =
        testsupport::readTable(buildTableText(picture), false, false);
    if (!plain.error.empty())
        return "the plain table reads back: " + plain.error;
    const std::string text = buildTableText(picture, format);
    const testsupport::ReadTable shaped = testsupport::readTable(
        text, format.sizeLine, format.runLength, format.dialect->lineNumbers);
    if (!shaped.error.empty())
        return "the shaped table reads back: " + shaped.error;
    if (shaped.label != format.label)
        return "the shaped table has its label";
    if (shaped.codes != plain.codes)
        return "the shaped table holds the plain table's codes";
    if (format.sizeLine && (shaped.width != width || shaped.height != height))
        return "the size line holds the picture's size";
    if (width * height > 0) {
        const DecodedTable decoded =
            decodeTable(text, format, format.sizeLine ? 0 : width, width * height);
        if (!decoded.error.empty() || decoded.codes != plain.codes || decoded.height != height)
            return "the decoder reads the plain table's codes back: " + decoded.error;
    }

    const std::size_t numbersPerLine = format.runLength ? format.perLine / 2 * 2 : format.perLine;
    std::size_t pixelsBefore = 0; // pixels on the lines before
    for (std::size_t line = 0; line < shaped.numbersPerLine.size(); ++line) {
        const std::size_t numbers = shaped.numbersPerLine[line];
        const bool last = line + 1 == shaped.numbersPerLine.size();
        const std::size_t pixels = shaped.pixelsPerLine[line];
        if (numbers > numbersPerLine)
            return "a line holds at most the numbers asked for";
        if (format.rowLines) {
            // A line ends within the row it starts in, and only a row's last line is short.
            const std::size_t row = pixelsBefore / width;
            const std::size_t rowEnd = (row + 1) * width;
            if (pixelsBefore + pixels > rowEnd)
                return "no line holds pixels of two rows";
            if (numbers < numbersPerLine && pixelsBefore + pixels != rowEnd)
                return "only the last line of a row is short";
        } else if (!last && numbers != numbersPerLine) {
            return "every line but the last is full";
        }
        pixelsBefore += pixels;
    }

    const std::size_t length = tableLength(format, width, height);
    const bool exact = !format.runLength && format.radix != Radix::decimal;
    if (exact ? text.size() != length : text.size() > length)
        return "the table's length is as estimated for it";
    return {};
}

} // namespace quenzil::fuzz
