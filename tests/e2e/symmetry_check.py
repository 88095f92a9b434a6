#!/usr/bin/env python3
"""Checks that a screenshot holds a picture symmetric under a turn about the screen centre.

Usage: symmetry_check.py IMAGE.ppm ANGLE [MIN_SCORE] [MIN_COVERAGE]

Pixels that differ from the black background are marked; each marked pixel is turned by ANGLE
degrees about the image centre, and the score is the share of those that land within 2 pixels
of a marked pixel (turns that leave the image are not counted). It also prints the centre of
the marked pixels, which a picture turned into itself by half a turn has at its own centre. Exit status 0 when at least
MIN_COVERAGE of the image is marked (default 0.005) and the score is at least MIN_SCORE
(default 0.9). The image is a binary PPM (ImageMagick: convert shot.png shot.ppm).
"""

import math
import sys

THRESHOLD = 40  # a channel this far from the background marks the pixel
REACH = 2  # pixels of slack around the turned position


def read_ppm(path):
    with open(path, "rb") as stream:
        data = stream.read()
    fields = []
    pos = 0
    while len(fields) < 4:
        while data[pos : pos + 1].isspace():
            pos += 1
        if data[pos : pos + 1] == b"#":
            pos = data.index(b"\n", pos)
            continue
        start = pos
        while not data[pos : pos + 1].isspace():
            pos += 1
        fields.append(data[start:pos])
    if fields[0] != b"P6" or int(fields[3]) != 255:
        raise SystemExit(f"{path}: not an 8-bit binary PPM")
    width, height = int(fields[1]), int(fields[2])
    return width, height, data[pos + 1 : pos + 1 + width * height * 3]


def marked_pixels(width, height, pixels):
    marks = bytearray(width * height)
    for i in range(width * height):
        r, g, b = pixels[3 * i], pixels[3 * i + 1], pixels[3 * i + 2]
        if r > THRESHOLD or g > THRESHOLD or b > THRESHOLD:
            marks[i] = 1
    return marks


def dilated(width, height, marks):
    """Marks grown by REACH pixels in each direction (a square neighbourhood)."""
    rows = bytearray(width * height)
    for y in range(height):
        base = y * width
        for x in range(width):
            if marks[base + x]:
                for nx in range(max(0, x - REACH), min(width, x + REACH + 1)):
                    rows[base + nx] = 1
    grown = bytearray(width * height)
    for y in range(height):
        for ny in range(max(0, y - REACH), min(height, y + REACH + 1)):
            source = ny * width
            target = y * width
            for x in range(width):
                if rows[source + x]:
                    grown[target + x] = 1
    return grown


def main():
    if len(sys.argv) < 3:
        raise SystemExit(__doc__)
    path, angle = sys.argv[1], float(sys.argv[2])
    min_score = float(sys.argv[3]) if len(sys.argv) > 3 else 0.9
    min_coverage = float(sys.argv[4]) if len(sys.argv) > 4 else 0.005
    width, height, pixels = read_ppm(path)
    marks = marked_pixels(width, height, pixels)
    coverage = sum(marks) / (width * height)
    grown = dilated(width, height, marks)
    cos_a, sin_a = math.cos(math.radians(angle)), math.sin(math.radians(angle))
    cx, cy = width / 2.0, height / 2.0
    hits = considered = 0
    sum_x = sum_y = 0.0
    for y in range(height):
        for x in range(width):
            if not marks[y * width + x]:
                continue
            sum_x, sum_y = sum_x + x + 0.5, sum_y + y + 0.5
            dx, dy = x + 0.5 - cx, y + 0.5 - cy
            tx = round(cx + dx * cos_a - dy * sin_a - 0.5)
            ty = round(cy + dx * sin_a + dy * cos_a - 0.5)
            if 0 <= tx < width and 0 <= ty < height:
                considered += 1
                hits += grown[ty * width + tx]
    score = hits / considered if considered else 0.0
    count = max(1, sum(marks))
    print(f"coverage {coverage:.4f}, turn by {angle:g} degrees: {hits} of {considered} "
          f"marked pixels land on the picture (score {score:.4f}), "
          f"centre {sum_x / count:.1f} {sum_y / count:.1f}")
    ok = coverage >= min_coverage and score >= min_score
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
