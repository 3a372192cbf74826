#!/usr/bin/env python3
"""Draws the 48 px PNG icon from quenzil.svg, so that the build needs no SVG renderer.

The SVG holds only axis-aligned <rect> elements on whole units of a 48 x 48 view box, painted in
order over a transparent background; anything else is refused rather than drawn wrongly.
Run it after changing the SVG and commit both files:

    python3 packaging/make-icon.py [SVG] [PNG]

Only the Python standard library is used.
"""
import struct
import sys
import xml.etree.ElementTree as ElementTree
import zlib
from pathlib import Path

SIZE = 48
SVG_NS = "{http://www.w3.org/2000/svg}"


def colour(text):
    if len(text) != 7 or not text.startswith("#"):
        raise ValueError(f"fill {text!r}: only #rrggbb is drawn")
    return tuple(int(text[i:i + 2], 16) for i in (1, 3, 5)) + (255,)


def whole(element, name):
    value = float(element.get(name, "0"))
    if value != int(value):
        raise ValueError(f"{name}={value}: only whole units are drawn")
    return int(value)


def draw(svg_path):
    root = ElementTree.parse(svg_path).getroot()
    if root.get("viewBox") != f"0 0 {SIZE} {SIZE}":
        raise ValueError(f"the view box must be 0 0 {SIZE} {SIZE}")
    pixels = [[(0, 0, 0, 0)] * SIZE for _ in range(SIZE)]
    for element in root:
        if element.tag != SVG_NS + "rect":
            raise ValueError(f"<{element.tag}>: only <rect> is drawn")
        x, y = whole(element, "x"), whole(element, "y")
        width, height = whole(element, "width"), whole(element, "height")
        fill = colour(element.get("fill", ""))
        for row in range(max(y, 0), min(y + height, SIZE)):
            for column in range(max(x, 0), min(x + width, SIZE)):
                pixels[row][column] = fill
    return pixels


def png(pixels):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    rows = b"".join(b"\0" + bytes(v for p in row for v in p) for row in pixels)
    header = struct.pack(">IIBBBBB", SIZE, SIZE, 8, 6, 0, 0, 0)  # 8-bit RGBA
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
            + chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))


def main():
    here = Path(__file__).resolve().parent
    svg_path = Path(sys.argv[1]) if len(sys.argv) > 1 else here / "quenzil.svg"
    png_path = Path(sys.argv[2]) if len(sys.argv) > 2 else here / "quenzil-48.png"
    try:
        png_path.write_bytes(png(draw(svg_path)))
    except (OSError, ValueError, ElementTree.ParseError) as error:
        sys.exit(f"make-icon.py: {svg_path}: {error}")


if __name__ == "__main__":
    main()
