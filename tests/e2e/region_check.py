#!/usr/bin/env python3
"""region_check.py IMAGE.ppm X,Y,W,H...: more than 0.2 % of each rectangle differs from black
(a picture is there), and every pixel outside them is still the host's grey (128, 128, 128)."""
import re
import sys

data = open(sys.argv[1], "rb").read()
header = re.match(rb"P6\s+(\d+)\s+(\d+)\s+\d+\s", data)
width, height, pixels = int(header[1]), int(header[2]), data[header.end():]
rects = [tuple(map(int, arg.split(","))) for arg in sys.argv[2:]]
drawn, stray = [0] * len(rects), 0
for y in range(height):
    for x in range(width):
        pixel = pixels[3 * (y * width + x):3 * (y * width + x) + 3]
        inside = [i for i, (rx, ry, rw, rh) in enumerate(rects) if rx <= x < rx + rw and ry <= y < ry + rh]
        if inside:
            drawn[inside[0]] += pixel != b"\0\0\0"
        else:
            stray += pixel != b"\x80\x80\x80"
shares = [count / (rw * rh) for count, (_, _, rw, rh) in zip(drawn, rects)]
print("drawn:", ", ".join(f"{share:.3%}" for share in shares), f"- outside changed: {stray}")
sys.exit(0 if stray == 0 and min(shares) > 0.002 else 1)
