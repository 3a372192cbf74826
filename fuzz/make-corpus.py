#!/usr/bin/env python3
"""Writes the fuzz target's seed corpus: tiny pictures in the layouts the loader meets.

Usage: fuzz/make-corpus.py [DIR]   (default: fuzz/corpus beside this script)
Each picture is a few dozen bytes; the set covers the BMP header kinds, bit depths and
compressions, a PNG and a GIF, so the fuzzer starts inside every decoder. Each file opens with
the fuzz target's eight option bytes (see fuzz/preparationinvariants.h and
fuzz/shapeinvariants.h), chosen so that the seeds between them ask for every scaling,
resampling, dither and the background, and every number base and table shape.
"""
import pathlib
import struct
import sys
import zlib


def bmp(width, height, bits, pixels, palette=(), compression=0, header=40, masks=None):
    """A BMP file: file header, info header of `header` bytes, masks, palette, pixels."""
    if header == 12:  # the old OS/2 core header: 16-bit sizes, 3-byte palette entries
        info = struct.pack('<IHHHH', 12, width, height, 1, bits)
        pal = b''.join(struct.pack('<BBB', b, g, r) for r, g, b in palette)
        extra = b''
    else:
        info = struct.pack('<IiiHHIIiiII', header, width, height, 1, bits, compression,
                           len(pixels), 2835, 2835, len(palette), 0)
        extra = b''
        if masks is not None:
            mask_bytes = struct.pack('<' + 'I' * len(masks), *masks)
            if header > 40:  # the masks are part of a V4/V5 header
                info += mask_bytes
            else:
                extra = mask_bytes
        info += bytes(header - len(info))
        pal = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in palette)
    offset = 14 + len(info) + len(extra) + len(pal)
    size = offset + len(pixels)
    return b'BM' + struct.pack('<IHHI', size, 0, 0, offset) + info + extra + pal + pixels


def rows(row_bytes, count):
    """Rows padded to four bytes."""
    out = b''
    for row in row_bytes[:count]:
        out += row + bytes(-len(row) % 4)
    return out


def png(width, height, rgb_rows):
    def chunk(kind, body):
        return (struct.pack('>I', len(body)) + kind + body +
                struct.pack('>I', zlib.crc32(kind + body) & 0xFFFFFFFF))
    raw = b''.join(b'\x00' + bytes(row) for row in rgb_rows)
    return (b'\x89PNG\r\n\x1a\n' +
            chunk(b'IHDR', struct.pack('>IIBBBBB', width, height, 8, 2, 0, 0, 0)) +
            chunk(b'IDAT', zlib.compress(raw)) + chunk(b'IEND', b''))


def gif():
    """A 2 x 2 GIF with a four-colour table; LZW codes written by hand (min code size 2)."""
    header = b'GIF89a' + struct.pack('<HHBBB', 2, 2, 0x81, 0, 0)
    table = bytes([255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255])
    image = b',' + struct.pack('<HHHHB', 0, 0, 2, 2, 0)
    # Codes of 3 bits: clear(4), 0, 1, 2, 3, end(5), packed least significant bit first.
    codes = [4, 0, 1, 2, 3, 5]
    bits = 0
    value = 0
    for i, code in enumerate(codes):
        width = 3 if i < 4 else 4  # the code size grows once the table reaches 8 entries
        value |= code << bits
        bits += width
    data = value.to_bytes((bits + 7) // 8, 'little')
    return header + table + image + b'\x02' + bytes([len(data)]) + data + b'\x00;'


def main():
    out = pathlib.Path(sys.argv[1]) if len(sys.argv) > 1 else pathlib.Path(__file__).parent / 'corpus'
    out.mkdir(parents=True, exist_ok=True)
    grey = [(0, 0, 0), (255, 255, 255), (255, 0, 0), (0, 255, 0), (0, 0, 255), (128, 128, 128),
            (255, 255, 0), (0, 255, 255)]
    files = {
        # 1 bit, 8 x 2, two-colour palette.
        'bmp-1bit.bmp': bmp(8, 2, 1, rows([b'\xA5', b'\x5A'], 2), grey[:2]),
        # 4 bits, 3 x 2.
        'bmp-4bit.bmp': bmp(3, 2, 4, rows([b'\x01\x20', b'\x34\x50'], 2), grey),
        # 8 bits, 3 x 3.
        'bmp-8bit.bmp': bmp(3, 3, 8, rows([b'\x00\x01\x02', b'\x03\x04\x05', b'\x06\x07\x00'], 3),
                            grey),
        # 8 bits, stored top-down (negative height).
        'bmp-8bit-topdown.bmp': bmp(2, -2, 8, rows([b'\x01\x02', b'\x03\x04'], 2), grey),
        # RLE8: a run, a literal run, an end of line, a delta, end of picture.
        'bmp-rle8.bmp': bmp(4, 3, 8, bytes([3, 2, 0, 3, 4, 5, 6, 0, 0, 0, 0, 2, 1, 1, 2, 7, 0, 1]),
                            grey, compression=1),
        # RLE4: a run of alternating nibbles, a literal run, end of picture.
        'bmp-rle4.bmp': bmp(4, 2, 4, bytes([4, 0x12, 0, 0, 0, 4, 0x34, 0x56, 0, 1]), grey,
                            compression=2),
        # 16 bits with 5-6-5 bit fields.
        'bmp-16bit-565.bmp': bmp(2, 2, 16, rows([b'\x00\xF8\xE0\x07', b'\x1F\x00\xFF\xFF'], 2),
                                 compression=3, masks=(0xF800, 0x07E0, 0x001F)),
        # 24 bits, 2 x 2.
        'bmp-24bit.bmp': bmp(2, 2, 24, rows([b'\x00\x00\xFF\x00\xFF\x00',
                                             b'\xFF\x00\x00\xFF\xFF\xFF'], 2)),
        # 32 bits, V5 header with alpha mask.
        'bmp-32bit-v5.bmp': bmp(2, 1, 32, b'\x00\x00\xFF\x80\xFF\x00\x00\xFF', compression=3,
                                header=124, masks=(0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000)),
        # The old OS/2 core header, 1 bit: its palette has no count and always holds 2 entries.
        'bmp-core-1bit.bmp': bmp(8, 2, 1, rows([b'\x0F', b'\xF0'], 2), grey[:2], header=12),
        'png-rgb.png': png(2, 2, [[255, 0, 0, 0, 255, 0], [0, 0, 255, 255, 255, 255]]),
        'gif-2x2.gif': gif(),
    }
    # Byte 0: scaling (bits 0-1), nearest resampling (2), background (3), dither (4-5), nearest
    # levels (6), invert (7); bytes 1 and 2: the box less one; byte 3: the background colour.
    # Byte 4: the number base (bits 0-1), row lines (2), run-length pairs (3), a size line (4), a
    # label (5); byte 5: the numbers per line less one; bytes 6 and 7: the label's length and
    # characters.
    option_bytes = [0x00, 0x01, 0x12, 0x23, 0x09, 0x1B, 0x26, 0x45, 0x8A, 0x2D, 0x13, 0x60]
    shape_bytes = [0x00, 0x09, 0x16, 0x2D, 0x1A, 0x07, 0x3E, 0x11, 0x2B, 0x04, 0x1F, 0x32]
    for index, (name, data) in enumerate(files.items()):
        options = bytes([option_bytes[index % len(option_bytes)], (index * 5 + 2) % 64,
                         (index * 3 + 1) % 64, (index * 41 + 7) % 256,
                         shape_bytes[index % len(shape_bytes)], (index * 13 + 3) % 64,
                         (index * 7) % 32, (index * 29 + 5) % 256])
        (out / name).write_bytes(options + data)


if __name__ == '__main__':
    main()
