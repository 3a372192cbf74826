#!/usr/bin/env python3
"""Makes the preview pictures of the README's "Preparing a picture for your display".

Generates a smooth test picture (colour sweeps, a grey ramp and a shaded ball), then lets the built
quenzil-table write its display previews: plain bands and Floyd-Steinberg diffusion.
Usage: docs/make-previews.py [QUENZIL_TABLE]   (build/bin/quenzil-table by default)
"""
import math
import os
import struct
import subprocess
import sys
import tempfile
import zlib

WIDTH, HEIGHT = 192, 128
HERE = os.path.dirname(os.path.abspath(__file__))


def hue(h):
    """A saturated colour around the colour wheel, h from 0 to 1."""
    r = min(max(abs(h * 6 - 3) - 1, 0), 1)
    g = min(max(2 - abs(h * 6 - 2), 0), 1)
    b = min(max(2 - abs(h * 6 - 4), 0), 1)
    return r, g, b


def pixel(x, y):
    u, v = x / (WIDTH - 1), y / (HEIGHT - 1)
    if v < 0.5:
        # Colour sweep, fading to white at the top.
        r, g, b = hue(u)
        fade = v * 2
        colour = [fade * c + (1 - fade) for c in (r, g, b)]
    elif v < 0.62:
        colour = [u, u, u]
    else:
        # Sky-like blue background and a shaded orange ball.
        colour = [0.35 * u, 0.45 + 0.3 * u, 0.9]
        dx, dy = x - WIDTH * 0.7, y - HEIGHT * 0.81
        radius = HEIGHT * 0.17
        if dx * dx + dy * dy < radius * radius:
            light = max(0.0, 1 - math.hypot(dx + radius * 0.4, dy + radius * 0.4) / (radius * 1.8))
            colour = [0.35 + 0.65 * light, 0.18 + 0.6 * light * light, 0.05 + 0.3 * light ** 3]
    return bytes(int(round(min(max(c, 0), 1) * 255)) for c in colour)


def write_png(path, width, height, rows):
    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    raw = b"".join(b"\x00" + row for row in rows)
    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n")
        out.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)))
        out.write(chunk(b"IDAT", zlib.compress(raw, 9)))
        out.write(chunk(b"IEND", b""))


def main():
    table = sys.argv[1] if len(sys.argv) > 1 else os.path.join(HERE, "..", "build", "bin",
                                                               "quenzil-table")
    rows = [b"".join(pixel(x, y) for x in range(WIDTH)) for y in range(HEIGHT)]
    original = os.path.join(HERE, "preview-original.png")
    write_png(original, WIDTH, HEIGHT, rows)
    with tempfile.TemporaryDirectory() as scratch:
        for name, options in (("bands", []), ("diffuse", ["--dither", "diffuse"])):
            preview = os.path.join(HERE, "preview-%s.png" % name)
            subprocess.run([table, *options, "--preview", preview, "-o",
                            os.path.join(scratch, "table.txt"), original], check=True)
            print("wrote", os.path.relpath(preview))
    print("wrote", os.path.relpath(original))


if __name__ == "__main__":
    main()
