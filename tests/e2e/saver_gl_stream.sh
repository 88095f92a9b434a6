#!/usr/bin/env bash
# The real saver drawing through a stand-in GL library that records every call: the projection
# for the screen, the clear, and per element the state calls, one glBegin/glEnd block with the
# vertex count of its kind for 12 reflections, and a flush. The stand-in has no GLX functions,
# so this also proves the context comes from the system's GL library.
# A kept picture (--seed 4000000007 ...) draws pass for pass what the page draws for its address.
# The recording library's path comes in LUMIVEX_RECGL, the driver's in LUMIVEX_GL_STREAM.
source "$(dirname "$0")/lib.sh"
e2e_init "${1:-}"
recgl=${LUMIVEX_RECGL:?the recording GL library}

start_xvfb 320x240
write_settings NumOfReflections=12 Reflected=1 FullScreen=0 NumOfElements=3 Rest=20 Alpha=0 \
    Monochrome=0
printf '"OpenGLDLL"="%s"\r\n' "$recgl" >>"$SETTINGS_FILE"
export LUMIVEX_RECGL_FILE="$E2E_TMP/calls.txt"
start_saver /s
wait_for_saver_ready
sleep 1
send key Escape
wait_for_saver_exit
[ "$SAVER_RC" -eq 0 ] || fail "the saver ended with code $SAVER_RC"
grep -q "\"OpenGLDLL\"=\"$recgl\"" "$SETTINGS_FILE" || fail "the library name was not kept"

note "recorded call stream"
python3 - "$LUMIVEX_RECGL_FILE" <<'PY' || fail "the call stream is wrong (kept in $E2E_TMP)"
import math, sys
lines = [l.split() for l in open(sys.argv[1]) if l.strip()]
K = 180 / math.pi
def close(a, b): return abs(a - b) <= 1e-6 * max(1, abs(b))

first_begin = next(i for i, l in enumerate(lines) if l[0] == "glBegin")
setup = lines[:first_begin]
ortho = [l for l in setup if l[0] == "glOrtho"]
assert ortho, "no projection before drawing"
got = [float(v) for v in ortho[-1][1:]]
want = [-K * 320 / 240, K * 320 / 240, -K, K, -1, 1]
assert all(close(a, b) for a, b in zip(got, want)), ("projection", got)
assert ["glViewport", "0", "0", "320", "240"] in setup, "no viewport for the screen"
clears = [i for i, l in enumerate(lines) if l[0] == "glClear"]
assert clears and lines[clears[0]][1] == "0x4100", "no clear of colour and depth"
assert lines[clears[0] - 1][:5] == ["glClearColor", "0", "0", "0", "1"], "wrong clear colour"

state = [["glEnable", "0xb20"], ["glEnable", "0xbe2"], ["glBlendFunc", "0x302", "0x303"],
         ["glHint", "0xc52", "0x1102"]]
blocks, i = [], clears[0] + 2
assert i <= first_begin, "drawing before the first clear"
while True:
    try:
        b = next(j for j in range(i, len(lines)) if lines[j][0] == "glBegin")
    except StopIteration:
        break
    e = next(j for j in range(b, len(lines)) if lines[j][0] == "glEnd")
    head = [l for l in lines[i:b] if l[0] in ("glEnable", "glBlendFunc", "glHint")]
    assert head[-4:] == state, ("state calls", lines[i:b])
    assert lines[b] == ["glBegin", "0x1"], lines[b]
    assert lines[e + 1] == ["glFlush"], "no flush after glEnd"
    verts = sum(1 for l in lines[b:e] if l[0] == "glVertex2f")
    widths = [l for l in lines[i:b] if l[0] == "glLineWidth"]
    assert all(w == ["glLineWidth", "1"] for w in widths), widths
    blocks.append((verts, bool(widths)))
    i = e + 2
assert len(blocks) >= 30, f"only {len(blocks)} element draws"
# 12 copies: lines 2, Bezier curves 50, spokes 2, triangles 6 vertices each; spokes set no width.
for verts, width in blocks:
    assert verts in (24, 600, 72), verts
    assert width or verts == 24, "only the spoke kinds may leave the width alone"
print(f"{len(blocks)} element draws checked")
PY

note "a kept picture: the same passes as the page's"
page_vertices 320x240
write_settings
printf '"OpenGLDLL"="%s"\r\n' "$recgl" >>"$SETTINGS_FILE"
LUMIVEX_RECGL_FILE="$E2E_TMP/kept.txt" start_saver "${KEPT[@]}"
wait_for_saver_ready
sleep 1.5
send key Escape
wait_for_saver_exit
[ "$SAVER_RC" -eq 0 ] || fail "the kept picture's run ended with code $SAVER_RC"
expect_page_vertices "$E2E_TMP/kept.txt"
echo "PASS"
