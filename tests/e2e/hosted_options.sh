#!/usr/bin/env bash
# The hack's options. --help lists every option and exits 0; --version names the program; an
# unknown option and a bad value exit 1 with one line naming them. In a host's window,
# --count 7 --reflections 24 --tile draws what those settings give (recorded through the
# stand-in GL library): 7 elements a frame, each drawn as 24 reflections in 28 tiles; --fps
# writes nothing on standard error and, once a second has been measured, draws the rate after
# each frame in the view's pixels at its bottom left, after which the view's projection is set
# again. The stored settings say otherwise and stay as they are: options hold for the run only.
source "$(dirname "$0")/lib.sh"
e2e_init "${1:-}"
recgl=${LUMIVEX_RECGL:?the recording GL library}

run() {
    RC=0
    timeout 10 "$LUMIVEX_GL" "$@" >"$E2E_TMP/out" 2>"$E2E_TMP/err" || RC=$?
}

note "--help, --version"
run --help
[ "$RC" -eq 0 ] || fail "--help ended with $RC"
for option in root window-id count reflections colour color translucent no-translucent mirror \
    no-mirror tile no-tile delay fps background display help version; do
    grep -q -- "--$option\b" "$E2E_TMP/out" || fail "--help does not list --$option"
done
run -version
[ "$RC" -eq 0 ] && grep -qx 'lumivex-gl [0-9.]*' "$E2E_TMP/out" || fail "-version printed: $(cat "$E2E_TMP/out")"

note "unknown options and bad values"
check_refused() {
    local expected=$1
    shift
    run "$@"
    [ "$RC" -eq 1 ] || fail "'$*' ended with $RC, not 1"
    [ "$(wc -l <"$E2E_TMP/err")" -eq 1 ] && grep -qF -- "$expected" "$E2E_TMP/err" ||
        fail "'$*' said: $(cat "$E2E_TMP/err")"
}
check_refused "'--frobnicate'" --root --frobnicate
check_refused "'seven' for --count" --count seven

note "--count 7 --reflections 24 --tile, recorded"
start_xvfb 320x240
write_settings NumOfElements=3 NumOfReflections=12 FullScreen=0
printf '"OpenGLDLL"="%s"\r\n' "$recgl" >>"$SETTINGS_FILE"
cp "$SETTINGS_FILE" "$E2E_TMP/before.reg"
start_host window 320x240+0+0
export LUMIVEX_RECGL_FILE="$E2E_TMP/calls.txt"
start_saver --window-id "$HOST_WINDOWS" --count 7 --reflections 24 --tile --fps
sleep 2.5
kill -TERM "$SAVER_PID"
wait_for_saver_exit 5
[ "$SAVER_RC" -eq 0 ] || fail "the hosted run ended with $SAVER_RC"
[ ! -s "$SAVER_OUT" ] || fail "--fps wrote to standard error"
cmp -s "$SETTINGS_FILE" "$E2E_TMP/before.reg" || fail "the options were written to the settings file"
python3 - "$LUMIVEX_RECGL_FILE" <<'PY' || fail "the drawing is not that of the options (kept in $E2E_TMP)"
import sys
counts, count, text, ortho = [], None, [], []
for line in open(sys.argv[1]):
    name, *args = line.split()
    if name == "glOrtho":
        ortho = [float(a) for a in args]
    elif name == "glBegin" and ortho[:4] == [0, 320, 0, 240]:
        text.append(len(counts))  # the rate, in the view's pixels
        ortho = []
    elif name == "glBegin":
        assert ortho and ortho[0] < 0, "the view drew without its projection after the rate"
        count = 0
    elif name == "glVertex2f" and count is not None:
        count += 1
    elif name == "glEnd" and count is not None:
        counts.append(count)
        count = None
# Frames of 7 elements, each drawn as 24 copies in 28 tiles: lines and spokes 2, Bezier curves
# 50, triangles 6 vertices a copy.
assert counts and {c / (24 * 28) for c in counts} <= {2, 6, 50}, sorted(set(counts))
assert len(counts) % 7 == 0 and counts[7:] == counts[:-7], f"{len(counts)} draws, not frames of 7"
assert text and text[0] >= 7 and all(t % 7 == 0 for t in text), f"the rate drawn after draws {text}"
assert all(b - a == 7 for a, b in zip(text, text[1:])), "the rate is not drawn after every frame"
print(f"{len(counts)} element draws in frames of 7, the rate after the last {len(text)} frames")
PY
echo "PASS"
