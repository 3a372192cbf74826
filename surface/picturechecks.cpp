#include "picturechecks.h"

#include <cstdint>

namespace quenzil {

namespace {

std::uint8_t byteAt(QByteArrayView bytes, qsizetype i)
{
    return static_cast<std::uint8_t>(bytes[i]);
}

} // namespace

int jpegScans(QByteArrayView bytes, int most)
{
    constexpr std::uint8_t endOfImage = 0xD9;
    constexpr std::uint8_t startOfScan = 0xDA;
    int scans = 0;
    // After the start marker: segments of a marker and a length, and after each scan's header
    // its entropy-coded data, in which 0xFF is followed by 0x00 (a stuffed byte) or by a restart
    // marker; any other marker ends the scan.
    qsizetype at = 2;
    while (scans <= most) {
        at = bytes.indexOf('\xFF', at);
        if (at < 0 || at + 1 >= bytes.size())
            break;
        const std::uint8_t marker = byteAt(bytes, at + 1);
        if (marker == 0xFF) { // fill before a marker
            ++at;
            continue;
        }
        if (marker == 0x00 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
            at += 2; // within a scan's data, or a marker without a length
            continue;
        }
        if (marker == endOfImage || at + 3 >= bytes.size())
            break;
        if (marker == startOfScan)
            ++scans;
        // A segment's length counts its two bytes but not the marker's.
        at += 2 + (qsizetype(byteAt(bytes, at + 2)) << 8 | byteAt(bytes, at + 3));
    }
    return scans;
}

bool gifEndsEarly(QByteArrayView bytes)
{
    // Header (6 bytes) and screen descriptor (7), then the global colour table when its flag is
    // set: three bytes for each of 2^(n+1) colours.
    constexpr qsizetype headerBytes = 13;
    if (bytes.size() < headerBytes)
        return true;
    const auto colourTable = [](std::uint8_t flags) -> qsizetype {
        return flags & 0x80 ? 3 * (qsizetype(2) << (flags & 0x07)) : 0;
    };
    qsizetype at = headerBytes + colourTable(byteAt(bytes, 10));
    // Data comes in sub-blocks of a length byte and that many bytes, up to an empty one.
    const auto skipBlocks = [&] {
        while (at < bytes.size()) {
            const std::uint8_t length = byteAt(bytes, at++);
            if (length == 0)
                return true;
            at += length;
        }
        return false;
    };
    while (at < bytes.size()) {
        const std::uint8_t introducer = byteAt(bytes, at++);
        if (introducer == 0x21) { // an extension: its label, then its blocks
            ++at;
            if (!skipBlocks())
                return true;
        } else if (introducer == 0x2C) { // a picture: descriptor, colour table, code size, data
            if (at + 9 > bytes.size())
                return true;
            at += 9 + colourTable(byteAt(bytes, at + 8)) + 1;
            return !skipBlocks();
        } else {
            // The trailer, or bytes that are no GIF block: the reader's own to judge.
            return false;
        }
    }
    return true;
}

bool xbmEndsEarly(QByteArrayView bytes, QSize size)
{
    // The width's "#define" is the first line that starts with '#', the height's the next; the
    // pixels follow as hexadecimal bytes, (width + 7) / 8 a row.
    qsizetype at = 0;
    while (at < bytes.size() && bytes[at] != '#') {
        const qsizetype end = bytes.indexOf('\n', at);
        at = end < 0 ? bytes.size() : end + 1;
    }
    for (int line = 0; line < 2 && at < bytes.size(); ++line) {
        const qsizetype end = bytes.indexOf('\n', at);
        at = end < 0 ? bytes.size() : end + 1;
    }
    const qint64 needed = qint64((size.width() + 7) / 8) * size.height();
    qint64 given = 0;
    while (given < needed) {
        at = bytes.indexOf(QByteArrayView("0x"), at);
        if (at < 0)
            return true;
        at += 2;
        ++given;
    }
    return false;
}

} // namespace quenzil
