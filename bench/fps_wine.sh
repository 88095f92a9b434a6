#!/usr/bin/env bash
# Frames per second of LMVXSVGL.SCR under Wine on a virtual 1920x1080 display (Xvfb, Mesa's
# software rasterizer), run as bench/fps.sh runs lumivex-gl, so the two can be set side by side.
#
#   bench/fps_wine.sh [LMVXSVGL.SCR]     (default build/windows/LMVXSVGL.SCR, built if missing)
#
# The same runs as bench/fps.sh, FPS_SECONDS long each (default 10), the settings written to the
# registry of the Wine prefix the Windows tests use (made on first use in about 15 s). The frame
# counts come from the program itself (LUMIVEX_FPS=1). The view's GL window is drawn offscreen
# by Wine on a display without a compositing manager, which these figures include.
set -euo pipefail
cd "$(dirname "$0")/.."

scr="${1:-$PWD/build/windows/LMVXSVGL.SCR}"
if [ ! -f "$scr" ]; then
    cmake --preset windows >/dev/null
    cmake --build --preset windows --target lmvxsvgl
fi
scr=$(realpath "$scr")
seconds=${FPS_SECONDS:-10}
geometry=1920x1080

source tests/wine/lib.sh
set -euo pipefail
work="$(mktemp -d "${TMPDIR:-/tmp}/lumivex-fps-wine.XXXXXX")"
saver_pid=""
finish() {
    [ -z "$saver_pid" ] || kill -9 "$saver_pid" 2>/dev/null || true
    wineserver -k 2>/dev/null || true
    stop_virtual_display
    rm -rf "$work"
}
trap finish EXIT

prepare_prefix "${LUMIVEX_WINE_PREFIX:-$PWD/build/windows/tests/wine/prefix}" ||
    { echo "no Wine prefix" >&2; exit 1; }
start_virtual_display "$geometry" "$work" || { echo "Xvfb did not start" >&2; exit 1; }
export LUMIVEX_FPS=1

# run NAME [prefix command...] -- Setting=value...
run() {
    local name=$1
    shift
    local prefix=()
    while [ "$1" != "--" ]; do
        prefix+=("$1")
        shift
    done
    shift
    wineserver -k 2>/dev/null || true
    wine_quiet reg delete "$SETTINGS_KEY" /f || true
    local pair
    for pair in "$@"; do
        wine_quiet reg add "$SETTINGS_KEY" /v "${pair%%=*}" /t REG_DWORD /d "$((${pair#*=}))" /f
    done
    "${prefix[@]}" wine "$scr" /s >"$work/$name.out" 2>&1 &
    saver_pid=$!
    poll_until 60 saver_shown || { echo "$name: no saver window" >&2; cat "$work/$name.out" >&2; exit 1; }
    sleep "$seconds"
    timeout 10 xdotool key Escape
    poll_until 60 bash -c "! kill -0 $saver_pid 2>/dev/null" || { echo "$name: no exit" >&2; exit 1; }
    wait "$saver_pid" || true
    saver_pid=""
    echo "== $name (${geometry}, Wine): $(grep -ah '^lumivex-gl: .* frames in' "$work/$name.out" || echo 'no frame count')"
}

run default-rest0 -- NumOfElements=3 NumOfReflections=12 FullScreen=0 Rest=0
run heavy-rest0 -- NumOfElements=10 NumOfReflections=72 FullScreen=1 Rest=0
run default-rest20 /usr/bin/time -v -- NumOfElements=3 NumOfReflections=12 FullScreen=0 Rest=20
grep -aE 'User time|System time|Percent of CPU|Elapsed|Maximum resident' "$work/default-rest20.out" |
    sed 's/^\s*/   /'
