#!/usr/bin/env python3
"""gl_stream_compare.py NATIVE_DRIVER NODE WEB_DRIVER.js

Runs the GL stream driver built natively and the one built for the web (under node) with the same
seed and settings, and compares the two recorded streams frame by frame, call by call: the default
picture, and a tiled, translucent one with 24 reflections. The first difference is shown with its
frame."""
import itertools
import subprocess
import sys
import tempfile

CASES = [
    ("default picture", ["200", "640x480"]),
    ("tiled, translucent, 24 reflections",
     ["12", "640x480", "FullScreen=1", "Alpha=1", "NumOfReflections=24"]),
]


def main():
    native, node, web = sys.argv[1:4]
    failed = False
    with tempfile.TemporaryDirectory() as tmp:
        for name, arguments in CASES:
            streams = [f"{tmp}/native.txt", f"{tmp}/web.txt"]
            subprocess.run([native, streams[0], *arguments], check=True)
            subprocess.run([node, web, streams[1], *arguments], check=True)
            frame, calls = "before the first frame", 0
            with open(streams[0]) as a, open(streams[1]) as b:
                for line, (x, y) in enumerate(itertools.zip_longest(a, b), 1):
                    if x != y:
                        print(f"FAIL {name}: {frame}, line {line}:\n  native: {x!r}\n  web:    {y!r}")
                        failed = True
                        break
                    if x.startswith("frame "):
                        frame = x.strip()
                    else:
                        calls += 1
            if calls < 1000 or not frame.startswith("frame"):
                print(f"FAIL {name}: only {calls} calls recorded")
                failed = True
            elif x == y:
                print(f"ok: {name}: the same {calls} calls in {frame.split()[1]} frames")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
