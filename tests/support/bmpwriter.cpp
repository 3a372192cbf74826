#include "bmpwriter.h"

#include <algorithm>
#include <fstream>
#include <stdexcept>

namespace quenzil::testsupport {

namespace {

class ByteSink
{
public:
    void u8(std::uint8_t value) { m_bytes.push_back(char(value)); }
    void u16(std::uint16_t value)
    {
        u8(std::uint8_t(value));
        u8(std::uint8_t(value >> 8));
    }
    void u32(std::uint32_t value)
    {
        u16(std::uint16_t(value));
        u16(std::uint16_t(value >> 16));
    }
    void zeros(std::size_t count) { m_bytes.append(count, '\0'); }
    void bytes(const std::vector<std::uint8_t> &data) { m_bytes.append(data.begin(), data.end()); }
    std::size_t size() const { return m_bytes.size(); }
    std::string &text() { return m_bytes; }

private:
    std::string m_bytes;
};

constexpr std::size_t fileHeaderSize = 14;

std::uint8_t red(ColourValue colour)
{
    return std::uint8_t(colour);
}
std::uint8_t green(ColourValue colour)
{
    return std::uint8_t(colour >> 8);
}
std::uint8_t blue(ColourValue colour)
{
    return std::uint8_t(colour >> 16);
}

int masksAfter(const BmpHeader &header)
{
    if (header.masksAfterHeader)
        return std::clamp(*header.masksAfterHeader, 0, 4);
    return header.headerSize == bmpInfoHeaderSize && header.compression == BmpBitfields ? 3 : 0;
}

std::size_t rowBytes(int width, int bitCount)
{
    return (std::size_t(width) * bitCount + 31) / 32 * 4;
}

// Palette indices of every pixel, rows top first, and the palette that goes with them.
std::vector<std::vector<std::uint8_t>> indexPicture(const TestPicture &picture, std::size_t limit,
                                                    std::vector<ColourValue> &palette)
{
    std::vector<std::vector<std::uint8_t>> rows(std::size_t(picture.height));
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            const ColourValue colour = picture.at(x, y) & 0xFFFFFFu;
            auto it = std::find(palette.begin(), palette.end(), colour);
            if (it == palette.end()) {
                if (palette.size() == limit)
                    throw std::invalid_argument("more colours than the palette holds");
                palette.push_back(colour);
                it = palette.end() - 1;
            }
            rows[std::size_t(y)].push_back(std::uint8_t(it - palette.begin()));
        }
    }
    return rows;
}

std::uint32_t packPixel(ColourValue colour, BmpLayout layout, std::uint8_t alpha)
{
    switch (layout) {
    case BmpLayout::Rgb555:
        return std::uint32_t(red(colour) >> 3) << 10 | std::uint32_t(green(colour) >> 3) << 5 |
               std::uint32_t(blue(colour) >> 3);
    case BmpLayout::Rgb565:
        return std::uint32_t(red(colour) >> 3) << 11 | std::uint32_t(green(colour) >> 2) << 5 |
               std::uint32_t(blue(colour) >> 3);
    case BmpLayout::Argb32:
        return std::uint32_t(alpha) << 24 | std::uint32_t(red(colour)) << 16 |
               std::uint32_t(green(colour)) << 8 | blue(colour);
    default:
        return std::uint32_t(red(colour)) << 16 | std::uint32_t(green(colour)) << 8 | blue(colour);
    }
}

} // namespace

std::string writeBmp(const BmpFile &file)
{
    const BmpHeader &h = file.header;
    const std::size_t infoSize = std::max<std::uint32_t>(h.headerSize, bmpCoreHeaderSize);
    const int trailingMasks = masksAfter(h);
    const std::size_t paletteEntrySize = h.headerSize == bmpCoreHeaderSize ? 3 : 4;
    const std::size_t pixelStart = fileHeaderSize + infoSize + 4 * std::size_t(trailingMasks) +
                                   paletteEntrySize * file.palette.size() + file.gapBeforePixels;
    const std::size_t total = pixelStart + file.pixelData.size();

    ByteSink out;
    out.u8(std::uint8_t(h.signature[0]));
    out.u8(std::uint8_t(h.signature[1]));
    out.u32(h.fileSize.value_or(std::uint32_t(total)));
    out.u16(h.reserved1);
    out.u16(h.reserved2);
    out.u32(h.dataOffset.value_or(std::uint32_t(pixelStart)));

    out.u32(h.headerSize);
    if (h.headerSize == bmpCoreHeaderSize) {
        out.u16(std::uint16_t(h.width));
        out.u16(std::uint16_t(h.height));
        out.u16(h.planes);
        out.u16(h.bitCount);
    } else {
        // The fields of the 40-byte header, as far as the declared size reaches; a V4/V5 header
        // goes on with the four masks and zeros for the colour space fields.
        ByteSink info;
        info.u32(std::uint32_t(h.width));
        info.u32(std::uint32_t(h.height));
        info.u16(h.planes);
        info.u16(h.bitCount);
        info.u32(h.compression);
        const std::size_t rawSize =
            h.compression == BmpRle8 || h.compression == BmpRle4 ? file.pixelData.size() : 0;
        info.u32(h.imageSize.value_or(std::uint32_t(rawSize)));
        info.u32(std::uint32_t(h.xPixelsPerMetre));
        info.u32(std::uint32_t(h.yPixelsPerMetre));
        info.u32(h.coloursUsed.value_or(std::uint32_t(file.palette.size())));
        info.u32(h.coloursImportant);
        for (std::uint32_t mask : h.masks)
            info.u32(mask);
        std::string &fields = info.text();
        fields.resize(infoSize - 4, '\0');
        out.text() += fields;
    }
    for (int i = 0; i < trailingMasks; ++i)
        out.u32(h.masks[std::size_t(i)]);

    for (ColourValue colour : file.palette) {
        out.u8(blue(colour));
        out.u8(green(colour));
        out.u8(red(colour));
        if (paletteEntrySize == 4)
            out.u8(0);
    }
    out.zeros(file.gapBeforePixels);
    out.bytes(file.pixelData);

    std::string bytes = std::move(out.text());
    if (file.truncateTo && *file.truncateTo < bytes.size())
        bytes.resize(*file.truncateTo);
    return bytes;
}

std::vector<std::uint8_t> encodeRle8(const std::vector<std::vector<std::uint8_t>> &rows)
{
    std::vector<std::uint8_t> out;
    for (auto row = rows.rbegin(); row != rows.rend(); ++row) {
        std::size_t x = 0;
        while (x < row->size()) {
            std::size_t run = 1;
            while (x + run < row->size() && run < 255 && (*row)[x + run] == (*row)[x])
                ++run;
            if (run >= 2) {
                out.push_back(std::uint8_t(run));
                out.push_back((*row)[x]);
                x += run;
                continue;
            }
            // Absolute mode holds 3 to 255 literal pixels, padded to an even count of bytes;
            // shorter stretches go out as runs of one.
            std::size_t literal = 1;
            while (
                x + literal < row->size() && literal < 255 &&
                !(x + literal + 1 < row->size() && (*row)[x + literal] == (*row)[x + literal + 1]))
                ++literal;
            if (literal < 3) {
                for (std::size_t i = 0; i < literal; ++i) {
                    out.push_back(1);
                    out.push_back((*row)[x + i]);
                }
            } else {
                out.push_back(0);
                out.push_back(std::uint8_t(literal));
                out.insert(out.end(), row->begin() + std::ptrdiff_t(x),
                           row->begin() + std::ptrdiff_t(x + literal));
                if (literal % 2)
                    out.push_back(0);
            }
            x += literal;
        }
        out.push_back(0);
        out.push_back(0); // end of line
    }
    // The last end-of-line becomes the end of the bitmap.
    if (!out.empty())
        out.back() = 1;
    else
        out = {0, 1};
    return out;
}

BmpFile encodeBmp(const TestPicture &picture, BmpLayout layout, RowOrder order, std::uint8_t alpha)
{
    BmpFile file;
    BmpHeader &h = file.header;
    h.width = picture.width;
    h.height =
        order == RowOrder::TopDown && layout != BmpLayout::Rle8 ? -picture.height : picture.height;

    // Rows in the order they are stored.
    std::vector<int> storedRows;
    for (int i = 0; i < picture.height; ++i)
        storedRows.push_back(h.height < 0 ? i : picture.height - 1 - i);

    switch (layout) {
    case BmpLayout::Indexed1:
    case BmpLayout::Indexed4:
    case BmpLayout::Indexed8: {
        const int bits = layout == BmpLayout::Indexed1 ? 1 : layout == BmpLayout::Indexed4 ? 4 : 8;
        h.bitCount = std::uint16_t(bits);
        const auto rows = indexPicture(picture, std::size_t(1) << bits, file.palette);
        const std::size_t stride = rowBytes(picture.width, bits);
        for (int y : storedRows) {
            std::vector<std::uint8_t> line(stride, 0);
            for (int x = 0; x < picture.width; ++x) {
                const std::size_t bit = std::size_t(x) * bits;
                const int shift = 8 - bits - int(bit % 8);
                line[bit / 8] |= std::uint8_t(rows[std::size_t(y)][std::size_t(x)] << shift);
            }
            file.pixelData.insert(file.pixelData.end(), line.begin(), line.end());
        }
        break;
    }
    case BmpLayout::Rle8:
        h.bitCount = 8;
        h.compression = BmpRle8;
        file.pixelData = encodeRle8(indexPicture(picture, 256, file.palette));
        break;
    case BmpLayout::Rgb555:
    case BmpLayout::Rgb565:
    case BmpLayout::Rgb24:
    case BmpLayout::Rgb32:
    case BmpLayout::Argb32: {
        const int bits = layout == BmpLayout::Rgb24                                   ? 24
                         : layout == BmpLayout::Rgb555 || layout == BmpLayout::Rgb565 ? 16
                                                                                      : 32;
        h.bitCount = std::uint16_t(bits);
        if (layout == BmpLayout::Rgb565) {
            h.compression = BmpBitfields;
            h.masks = {0xF800, 0x07E0, 0x001F, 0};
        } else if (layout == BmpLayout::Argb32) {
            h.compression = BmpBitfields;
            h.headerSize = bmpV5HeaderSize;
            h.masks = {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};
        }
        const std::size_t stride = rowBytes(picture.width, bits);
        for (int y : storedRows) {
            std::vector<std::uint8_t> line(stride, 0);
            for (int x = 0; x < picture.width; ++x) {
                const std::uint32_t packed = packPixel(picture.at(x, y), layout, alpha);
                for (int b = 0; b < bits / 8; ++b)
                    line[std::size_t(x) * (bits / 8) + std::size_t(b)] =
                        std::uint8_t(packed >> (8 * b));
            }
            file.pixelData.insert(file.pixelData.end(), line.begin(), line.end());
        }
        break;
    }
    }
    return file;
}

TestPicture makePicture(int width, int height,
                        const std::function<ColourValue(int x, int y)> &colour)
{
    TestPicture picture{width, height, {}};
    picture.pixels.reserve(std::size_t(width) * std::size_t(height));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            picture.pixels.push_back(colour(x, y));
    }
    return picture;
}

ColourValue patternColour(int x, int y)
{
    return colourFromRgb(std::uint8_t(x * 37 + y * 11), std::uint8_t(x * 5 + y * 71),
                         std::uint8_t(x * 97 + y * 23));
}

bool saveBmp(const std::filesystem::path &path, const TestPicture &picture)
{
    const std::string bytes = writeBmp(encodeBmp(picture, BmpLayout::Rgb24));
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), std::streamsize(bytes.size()));
    file.close();
    return bool(file);
}

} // namespace quenzil::testsupport

namespace quenzil::testsupport {

BmpFile encodeBitfieldsBmp(const TestPicture &picture, std::uint16_t bitCount,
                           const std::array<std::uint32_t, 4> &masks, std::uint32_t headerSize,
                           RowOrder order)
{
    BmpFile file;
    BmpHeader &h = file.header;
    h.headerSize = headerSize;
    h.width = picture.width;
    h.height = order == RowOrder::TopDown ? -picture.height : picture.height;
    h.bitCount = bitCount;
    h.compression = BmpBitfields;
    h.masks = masks;
    // A channel value of 8 bits, scaled to a mask's width and put in its place.
    const auto place = [](std::uint32_t value, std::uint32_t mask) -> std::uint32_t {
        if (mask == 0)
            return 0;
        int shift = 0;
        while (!(mask >> shift & 1u))
            ++shift;
        const std::uint64_t top = mask >> shift;
        return std::uint32_t((value * top + 127) / 255) << shift;
    };
    const std::size_t stride = rowBytes(picture.width, bitCount);
    for (int i = 0; i < picture.height; ++i) {
        const int y = h.height < 0 ? i : picture.height - 1 - i;
        std::vector<std::uint8_t> line(stride, 0);
        for (int x = 0; x < picture.width; ++x) {
            const ColourValue colour = picture.at(x, y);
            const std::uint32_t packed = place(red(colour), masks[0]) |
                                         place(green(colour), masks[1]) |
                                         place(blue(colour), masks[2]) | place(255, masks[3]);
            for (int b = 0; b < bitCount / 8; ++b)
                line[std::size_t(x) * (bitCount / 8) + std::size_t(b)] =
                    std::uint8_t(packed >> (8 * b));
        }
        file.pixelData.insert(file.pixelData.end(), line.begin(), line.end());
    }
    return file;
}

} // namespace quenzil::testsupport
