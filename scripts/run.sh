#!/usr/bin/env bash
# Installs what is needed, builds lumivex-gl and runs the saver.
#
# With a working display ($DISPLAY, or a Wayland compositor in $WAYLAND_DISPLAY) the saver runs
# there until a key, a click or a mouse move ends it. Without one it runs for a few seconds on a virtual display (Xvfb), saves a
# screenshot and prints its path, then closes the saver with Escape and stops the display.
# Arguments are passed to lumivex-gl (default /s).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake --preset native >/dev/null
cmake --build --preset native --target lumivex-gl
binary="$PWD/build/native/lumivex-gl"
[ $# -gt 0 ] || set -- /s

if [ -n "${DISPLAY:-}" ] && timeout 5 xwininfo -root >/dev/null 2>&1; then
    exec "$binary" "$@"
fi
wayland_socket=${WAYLAND_DISPLAY:-}
[ -z "$wayland_socket" ] || [ "${wayland_socket#/}" != "$wayland_socket" ] ||
    wayland_socket="${XDG_RUNTIME_DIR:-/nonexistent}/$wayland_socket"
if [ -n "$wayland_socket" ] && [ -S "$wayland_socket" ]; then
    exec "$binary" "$@"
fi

SECONDS_SHOWN=${LUMIVEX_RUN_SECONDS:-4}
work="$(mktemp -d "${TMPDIR:-/tmp}/lumivex-run.XXXXXX")"
source scripts/xvfb.sh
saver_pid=""
finish() {
    [ -z "$saver_pid" ] || kill -9 "$saver_pid" 2>/dev/null || true
    stop_virtual_display
}
trap finish EXIT

echo "no display: running the saver on a virtual 1280x720 display for ${SECONDS_SHOWN} s"
start_virtual_display 1280x720 "$work" || {
    echo "Xvfb did not start (see $work/xvfb.log)" >&2
    exit 1
}
# A message box on a display nobody sees would wait forever.
export LUMIVEX_NO_DIALOG=1
# The picture is taken from the virtual display.
export LUMIVEX_BACKEND=x11

"$binary" "$@" >"$work/saver.log" 2>&1 &
saver_pid=$!
if ! poll_until 20 saver_shown; then
    echo "the saver window did not appear; its output:" >&2
    cat "$work/saver.log" >&2
    exit 1
fi
sleep "$SECONDS_SHOWN"
shot="$work/lumivex-gl.png"
timeout 20 import -window root "$shot"

timeout 10 xdotool key Escape
status=0
poll_until 15 bash -c "! kill -0 $saver_pid 2>/dev/null" || echo "the saver did not end on Escape" >&2
wait "$saver_pid" || status=$?
saver_pid=""
cat "$work/saver.log"
echo "screenshot: $shot"
exit "$status"
