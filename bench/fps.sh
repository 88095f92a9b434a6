#!/usr/bin/env bash
# Frames per second of the real saver on a virtual 1920x1080 display (Xvfb, Mesa's software
# rasterizer), and the CPU time it takes at its default pace: lumivex-gl, or LMVXSVGL.SCR under
# Wine, so the two can be set side by side.
#
#   bench/fps.sh [lumivex-gl binary]   (default build/native/lumivex-gl, built if missing)
#   bench/fps.sh --wine [LMVXSVGL.SCR] (default build/windows/LMVXSVGL.SCR, built if missing;
#                                       settings in the Wine prefix of the Windows tests)
#   bench/fps.sh --wayland [lumivex-gl] the default picture at Rest 0, 5 and 20 and the heavy one
#                                       at Rest 0, drawn natively on sway headless (pixman), each
#                                       beside the same run on Xvfb, at the same size; passes and
#                                       pictures shown a second, and the CPU time at Rest 20
#
# Runs, each FPS_SECONDS long (default 10), at FPS_GEOMETRY (default 1920x1080), with settings of
# their own:
#   default picture, Rest 0      3 elements, 12 reflections, no tiling
#   heavy picture, Rest 0        10 elements, 72 reflections, full-screen tiling
#   default picture, Rest 20     CPU time and memory from /usr/bin/time -v
# The frame counts come from the program itself (LUMIVEX_FPS=1). The elements are random, so
# figures vary from run to run; this is a measurement, not a test. Under Wine the figures include
# Wine's copy of the view's GL window to the screen on every flush.
set -euo pipefail
cd "$(dirname "$0")/.."

wine_mode=""
wayland_mode=""
case "${1:-}" in
--wine) wine_mode=1 && shift ;;
--wayland) wayland_mode=1 && shift ;;
esac
if [ -n "$wine_mode" ]; then
    binary="${1:-$PWD/build/windows/LMVXSVGL.SCR}"
    [ -f "$binary" ] || { cmake --preset windows >/dev/null && cmake --build --preset windows --target lmvxsvgl; }
    binary=$(realpath "$binary")
    source tests/wine/lib.sh
    set -euo pipefail
else
    binary="${1:-$PWD/build/native/lumivex-gl}"
    [ -x "$binary" ] || { cmake --preset native >/dev/null && cmake --build --preset native --target lumivex-gl; }
    source scripts/xvfb.sh
    # The end-to-end tests' compositors.
    [ -z "$wayland_mode" ] || source tests/e2e/lib.sh
fi
seconds=${FPS_SECONDS:-10}
geometry=${FPS_GEOMETRY:-1920x1080}
key='HKEY_CURRENT_USER\Software\Orvantix\Lumivex GL\Version 3.0'

work="$(mktemp -d "${TMPDIR:-/tmp}/lumivex-fps.XXXXXX")"
saver_pid=""
finish() {
    [ -z "$saver_pid" ] || kill -9 "$saver_pid" 2>/dev/null || true
    [ -z "$wine_mode" ] || wineserver -k 2>/dev/null || true
    [ -z "$wayland_mode" ] || stop_compositor
    stop_virtual_display
    rm -rf "$work"
}
trap finish EXIT

if [ -n "$wine_mode" ]; then
    prepare_prefix "${LUMIVEX_WINE_PREFIX:-$PWD/build/windows/tests/wine/prefix}" ||
        { echo "no Wine prefix" >&2; exit 1; }
fi
start_virtual_display "$geometry" "$work" || { echo "Xvfb did not start" >&2; exit 1; }
x_display=$DISPLAY
if [ -n "$wayland_mode" ]; then
    # One output of the same size.
    E2E_TMP=$work
    start_sway "$geometry+0+0"
    wayland_display="$COMPOSITOR_DIR/$WAYLAND_DISPLAY"
    export DISPLAY=$x_display
fi
export LUMIVEX_NO_DIALOG=1 LUMIVEX_FPS=1

# store_settings NAME Setting=value...: the run's own settings, as dwords.
store_settings() {
    local name=$1 pair
    shift
    if [ -n "$wine_mode" ]; then
        wineserver -k 2>/dev/null || true
        wine_quiet reg delete "$key" /f || true
        for pair in "$@"; do
            wine_quiet reg add "$key" /v "${pair%%=*}" /t REG_DWORD /d "$((${pair#*=}))" /f
        done
        return
    fi
    export HOME="$work/$name" XDG_CONFIG_HOME="$work/$name/config" XDG_RUNTIME_DIR="$work/$name/run"
    mkdir -p "$XDG_CONFIG_HOME/lumivex-gl" "$XDG_RUNTIME_DIR"
    chmod 700 "$XDG_RUNTIME_DIR"
    {
        printf 'REGEDIT4\r\n\r\n[%s]\r\n' "$key"
        for pair in "$@"; do
            printf '"%s"=dword:%08x\r\n' "${pair%%=*}" "$((${pair#*=}))"
        done
    } >"$XDG_CONFIG_HOME/lumivex-gl/registry.reg"
}

# run NAME [prefix command...] -- Setting=value...   (on Xvfb; on sway when NAME starts "wayland")
run() {
    local name=$1
    shift
    local prefix=(env -u WAYLAND_DISPLAY "DISPLAY=$x_display") where=$geometry
    if [[ $name == wayland* ]]; then
        prefix=(env -u DISPLAY "WAYLAND_DISPLAY=$wayland_display")
        where="$geometry, sway"
    fi
    while [ "$1" != "--" ]; do
        prefix+=("$1")
        shift
    done
    shift
    store_settings "$name" "$@"
    local program=("$binary")
    [ -z "$wine_mode" ] || program=(wine "$binary")
    "${prefix[@]}" "${program[@]}" /s >"$work/$name.out" 2>&1 &
    saver_pid=$!
    local shown=saver_shown
    if [[ $name == wayland* ]]; then
        # sway knows the saver by its own process, under /usr/bin/time a child of it.
        SAVER_PID=$saver_pid
        if [[ " ${prefix[*]} " == *" /usr/bin/time "* ]]; then
            poll_until 10 bash -c "pgrep -P $saver_pid >/dev/null"
            SAVER_PID=$(pgrep -P "$saver_pid")
        fi
        shown=wayland_saver_ready
    fi
    poll_until 60 $shown || { echo "$name: no saver window" >&2; cat "$work/$name.out" >&2; exit 1; }
    sleep "$seconds"
    if [[ $name == wayland* ]]; then kill -TERM "$SAVER_PID"; else timeout 10 xdotool key Escape; fi
    # A heavy frame takes a while on a software rasterizer; Escape is read between frames.
    poll_until 60 bash -c "! kill -0 $saver_pid 2>/dev/null" || { echo "$name: no exit" >&2; exit 1; }
    wait "$saver_pid" || true
    saver_pid=""
    echo "== $name (${where}${wine_mode:+, Wine}): $(grep -ah '^lumivex-gl: .* frames in' "$work/$name.out" || echo 'no frame count')"
}

cpu_time() {
    grep -aE 'User time|System time|Percent of CPU' "$work/$1.out" | sed 's/^\s*/   /'
}

if [ -n "$wayland_mode" ]; then
    default="NumOfElements=3 NumOfReflections=12 FullScreen=0"
    for rest in 0 5 20; do
        for where in x11 wayland; do
            # shellcheck disable=SC2086  # one argument a setting
            run "$where-default-rest$rest" /usr/bin/time -v -- $default Rest=$rest
            [ "$rest" != 20 ] || cpu_time "$where-default-rest$rest"
        done
    done
    for where in x11 wayland; do
        run "$where-heavy-rest0" -- NumOfElements=10 NumOfReflections=72 FullScreen=1 Rest=0
    done
    exit 0
fi
run default-rest0 -- NumOfElements=3 NumOfReflections=12 FullScreen=0 Rest=0
run heavy-rest0 -- NumOfElements=10 NumOfReflections=72 FullScreen=1 Rest=0
run default-rest20 /usr/bin/time -v -- NumOfElements=3 NumOfReflections=12 FullScreen=0 Rest=20
grep -aE 'User time|System time|Percent of CPU|Elapsed|Maximum resident' "$work/default-rest20.out" |
    sed 's/^\s*/   /'
