#!/usr/bin/env python3
"""icon-png.py ICON PNG: the page's icon, the PNG image (256x256) of the program's icon file."""
import struct
import sys

data = open(sys.argv[1], "rb").read()
for entry in range(struct.unpack_from("<H", data, 4)[0]):
    size, offset = struct.unpack_from("<II", data, 6 + 16 * entry + 8)
    if data[offset : offset + 8] == b"\x89PNG\r\n\x1a\n":
        open(sys.argv[2], "wb").write(data[offset : offset + size])
        sys.exit(0)
sys.exit(f"{sys.argv[1]} holds no PNG image")
