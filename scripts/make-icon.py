#!/usr/bin/env python3
"""Draws the 32-bit images of LMVXSVGL.SCR's icon and writes the icon file.

Usage: make-icon.py [ICON]   (default: src/platform/win32/win32_saver.ico, rewritten in place)

Keeps the icon's 16-colour images (32x32 and 16x16, what Windows 95/98 show) byte for byte and
replaces every other image with a kaleidoscope drawn here: 48x48 as a 32-bit bitmap with an AND
mask (for systems without alpha), 256x256 as a PNG (how Vista and later store large images).
Only the standard library is used, and nothing depends on the time or the machine, so a run gives
the same file again.
"""

import math
import os
import struct
import sys
import zlib

# The saver's default picture: 12 copies, every other one mirrored, so the turn by 60 degrees and
# the mirror at 30 degrees give the whole disc from one wedge.
PERIOD = math.radians(60)
RIM = 0.97  # radius of the dark disc; the image spans -1..1

# (colour, width, polyline in the wedge as (radius, degrees) points): a spoke, a curve, a ring,
# a triangle and a small ring at the centre, in the colours of the 16-colour images.
CYAN, YELLOW, MAGENTA, WHITE = (0, 230, 255), (255, 226, 40), (255, 48, 214), (255, 255, 255)


def bezier(p0, p1, p2, steps=16):
    return [tuple((1 - t) ** 2 * a + 2 * (1 - t) * t * b + t * t * c for a, b, c in zip(p0, p1, p2))
            for t in (i / steps for i in range(steps + 1))]


def arc(radius, start, end, steps=8):
    return [(radius, start + (end - start) * i / steps) for i in range(steps + 1)]


SHAPES = [
    (CYAN, 0.035, [(0.16, 2), (0.88, 26)]),
    (MAGENTA, 0.035, arc(0.52, -1, 31)),
    (YELLOW, 0.03, bezier((0.30, -1), (0.80, 6), (0.66, 31))),
    (CYAN, 0.025, [(0.64, 9), (0.82, 2), (0.78, 20), (0.64, 9)]),
    (YELLOW, 0.025, [(0.88, 26), (0.90, 31)]),
    (WHITE, 0.03, arc(0.11, -1, 31, 4)),
]


def to_xy(points):
    return [(r * math.cos(math.radians(a)), r * math.sin(math.radians(a))) for r, a in points]


SEGMENTS = [(colour, width, list(zip(xy, xy[1:])))
            for colour, width, xy in ((c, w, to_xy(p)) for c, w, p in SHAPES)]


def fold(x, y):
    """The point of the first wedge that the symmetry maps (x, y) onto."""
    angle = math.atan2(y, x) % PERIOD
    if angle > PERIOD / 2:
        angle = PERIOD - angle
    radius = math.hypot(x, y)
    return radius * math.cos(angle), radius * math.sin(angle)


def distance(px, py, segments):
    best = math.inf
    for (ax, ay), (bx, by) in segments:
        dx, dy = bx - ax, by - ay
        t = ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)
        t = min(1.0, max(0.0, t))
        best = min(best, math.hypot(px - ax - t * dx, py - ay - t * dy))
    return best


def over(dst, colour, alpha):
    """Source-over of a straight-alpha colour onto dst (straight alpha, floats 0..1)."""
    r, g, b, a = dst
    out = alpha + a * (1 - alpha)
    if out <= 0:
        return (0.0, 0.0, 0.0, 0.0)
    mix = [(c / 255 * alpha + d * a * (1 - alpha)) / out for c, d in zip(colour, (r, g, b))]
    return (*mix, out)


def render(size):
    """size x size straight-alpha RGBA bytes, top row first."""
    pixel = 2 / size
    rows = []
    for row in range(size):
        line = bytearray()
        for column in range(size):
            x = (column + 0.5) * pixel - 1
            y = 1 - (row + 0.5) * pixel
            radius = math.hypot(x, y)
            disc = min(1.0, max(0.0, 0.5 + (RIM - radius) / pixel))
            shade = 0.16 * (1 - radius / RIM) if radius < RIM else 0.0
            rgba = (shade * 0.5, shade * 0.3, shade, disc)
            fx, fy = fold(x, y)
            for colour, width, segments in SEGMENTS:
                half = max(width, 1.2 * pixel) / 2
                d = distance(fx, fy, segments)
                glow = 0.3 * math.exp(-((d / (3 * half)) ** 2)) if d < 9 * half else 0.0
                core = min(1.0, max(0.0, 0.5 + (half - d) / pixel))
                rgba = over(rgba, colour, max(glow, core) * disc)
            line += bytes(round(255 * v) for v in rgba)
        rows.append(bytes(line))
    return rows


def png(rows, size):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    # Each row as its difference from the row above (PNG filter 2), which compresses these
    # rings and spokes best of the five filters.
    raw = bytearray()
    previous = bytes(len(rows[0]))
    for row in rows:
        raw += b"\x02" + bytes((value - up) & 255 for value, up in zip(row, previous))
        previous = row
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(bytes(raw), 9))
            + chunk(b"IEND", b""))


def bitmap(rows, size):
    """A 32-bit icon image: header, BGRA rows bottom-up, then the AND mask (1 = see-through)."""
    mask_stride = (size + 31) // 32 * 4
    pixels = bytearray()
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for column in range(size):
            r, g, b, a = row[4 * column:4 * column + 4]
            if a < 128:
                bits[column // 8] |= 0x80 >> (column % 8)
                r = g = b = 0  # XORed onto the screen where alpha is not understood
            pixels += bytes((b, g, r, a))
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 32, 0, len(pixels) + len(mask),
                         0, 0, 0, 0)
    return header + bytes(pixels) + bytes(mask)


def read_icon(path):
    """[(directory entry fields, image bytes)] of an icon file."""
    with open(path, "rb") as stream:
        data = stream.read()
    reserved, kind, count = struct.unpack_from("<HHH", data)
    if reserved != 0 or kind != 1:
        raise SystemExit(f"{path} is not an icon file")
    images = []
    for index in range(count):
        entry = struct.unpack_from("<BBBBHHII", data, 6 + 16 * index)
        images.append((entry[:6], data[entry[7]:entry[7] + entry[6]]))
    return images


def write_icon(path, images):
    offset = 6 + 16 * len(images)
    head = struct.pack("<HHH", 0, 1, len(images))
    body = b""
    for fields, image in images:
        head += struct.pack("<BBBBHHII", *fields, len(image), offset + len(body))
        body += image
    with open(path + ".tmp", "wb") as stream:
        stream.write(head + body)
    os.replace(path + ".tmp", path)


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    path = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "src/platform/win32/win32_saver.ico")
    kept = [(fields, image) for fields, image in read_icon(path) if fields[5] < 32]
    if not kept:
        raise SystemExit(f"{path} has no 16-colour images to keep")
    drawn = [((48, 48, 0, 0, 1, 32), bitmap(render(48), 48)),
             ((0, 0, 0, 0, 1, 32), png(render(256), 256))]  # 0 stands for 256
    write_icon(path, kept + drawn)
    for fields, image in kept + drawn:
        print(f"{fields[0] or 256}x{fields[1] or 256} {fields[5]}-bit: {len(image)} bytes")


if __name__ == "__main__":
    main()
