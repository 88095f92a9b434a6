#!/usr/bin/env python3
"""region_check.py IMAGE.ppm X,Y,W,H... [text=X,Y,W,H]: more than 0.2 % of each rectangle differs
from black (a picture is there), and every pixel outside them is still the host's grey (128, 128,
128). With text=: a picture without red (blue shades) has text on it in that rectangle and nowhere
else: at least 20 pixels with a red channel above the grey's, all of them inside it."""
import re
import sys

data = open(sys.argv[1], "rb").read()
header = re.match(rb"P6\s+(\d+)\s+(\d+)\s+\d+\s", data)
width, height, pixels = int(header[1]), int(header[2]), data[header.end():]
box = lambda arg: tuple(map(int, arg.split(",")))
rects = [box(arg) for arg in sys.argv[2:] if not arg.startswith("text=")]
texts = [box(arg[5:]) for arg in sys.argv[2:] if arg.startswith("text=")]
drawn, stray, text, stray_text = [0] * len(rects), 0, 0, 0
within = lambda x, y, r: r[0] <= x < r[0] + r[2] and r[1] <= y < r[1] + r[3]
for y in range(height):
    for x in range(width):
        pixel = pixels[3 * (y * width + x):3 * (y * width + x) + 3]
        inside = [i for i, rect in enumerate(rects) if within(x, y, rect)]
        if inside:
            drawn[inside[0]] += pixel != b"\0\0\0"
        else:
            stray += pixel != b"\x80\x80\x80"
        if texts and pixel[0] > 160:
            if within(x, y, texts[0]):
                text += 1
            else:
                stray_text += 1
shares = [count / (rw * rh) for count, (_, _, rw, rh) in zip(drawn, rects)]
print("drawn:", ", ".join(f"{share:.3%}" for share in shares), f"- outside changed: {stray}",
      f"- text pixels: {text} inside, {stray_text} elsewhere" if texts else "")
sys.exit(0 if stray == 0 and min(shares) > 0.002 and (not texts or (text >= 20 and stray_text == 0)) else 1)
