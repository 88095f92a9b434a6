#!/usr/bin/env python3
"""Checks where a screenshot was drawn on: region_check.py IMAGE.ppm X,Y,W,H...

Inside each rectangle more than 0.2 % of the pixels must differ from black (a picture is
there); outside all of them every pixel must be the grey (128, 128, 128) of the host's window.
"""
import sys


def read_ppm(path):
    data = open(path, "rb").read()
    fields, pos = [], 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    width, height = int(fields[1]), int(fields[2])
    return width, height, data[pos + 1:]


width, height, pixels = read_ppm(sys.argv[1])
rects = [tuple(int(v) for v in arg.split(",")) for arg in sys.argv[2:]]
drawn = [0] * len(rects)
stray = 0
for y in range(height):
    row = pixels[3 * width * y:3 * width * (y + 1)]
    for x in range(width):
        pixel = row[3 * x:3 * x + 3]
        inside = [i for i, (rx, ry, rw, rh) in enumerate(rects)
                  if rx <= x < rx + rw and ry <= y < ry + rh]
        if inside:
            drawn[inside[0]] += pixel != b"\0\0\0"
        elif pixel != b"\x80\x80\x80":
            stray += 1
ok = stray == 0
for (rx, ry, rw, rh), count in zip(rects, drawn):
    share = count / (rw * rh)
    print(f"{rw}x{rh}+{rx}+{ry}: {share:.3%} drawn")
    ok = ok and share > 0.002
print(f"outside: {stray} pixels changed")
sys.exit(0 if ok else 1)
