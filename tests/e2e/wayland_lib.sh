# A private Wayland compositor for the end-to-end scripts (sourced by lib.sh): sway or weston,
# headless, drawing with pixman, in a runtime folder of its own; captures of one output; the
# saver's views as sway lists them; keys and clicks through the wl_input helper.
#
# Compositors refuse root (sway) or should not need it: as root they run as nobody, in a runtime
# folder (0700) that user owns; otherwise as the user running the tests. The test's own programs
# (the saver, grim, wl_input) run as the test's user with WAYLAND_DISPLAY and XDG_RUNTIME_DIR
# pointing there and no DISPLAY, so nothing can fall back to an X server.

COMPOSITOR=""
COMPOSITOR_PID=""
OUTER_PID=""
COMPOSITOR_DIR=""
DEVICES_PID=""

# The script cannot run on this machine; ctest reports it skipped (SKIP_RETURN_CODE).
skip() {
    echo "SKIP: $*"
    exit 77
}

# The compositor's runtime folder, a command prefix that runs as its user, and the clients'
# environment. The compositor runs under reaper.py so whatever it starts is waited for too.
compositor_prepare() {
    local tool
    for tool in "$@"; do
        command -v "$tool" >/dev/null || skip "$tool is not installed (scripts/install-deps.sh)"
    done
    COMPOSITOR_DIR=$(mktemp -d "${TMPDIR:-/tmp}/lumivex-wl.XXXXXX")
    AS_COMPOSITOR=(env -i "HOME=$COMPOSITOR_DIR" "XDG_RUNTIME_DIR=$COMPOSITOR_DIR" PATH=/usr/bin:/bin)
    if [ "$(id -u)" -eq 0 ]; then
        chown 65534:65534 "$COMPOSITOR_DIR"
        AS_COMPOSITOR=(setpriv --reuid=65534 --regid=65534 --clear-groups "${AS_COMPOSITOR[@]}")
    fi
    export XDG_RUNTIME_DIR="$COMPOSITOR_DIR"
    unset DISPLAY WAYLAND_SOCKET
}

compositor_run() {
    python3 "$E2E_DIR/reaper.py" "$E2E_TMP/compositor.reaped" "${AS_COMPOSITOR[@]}" "$@" \
        >>"$E2E_TMP/compositor.log" 2>&1 &
    COMPOSITOR_PID=$!
}

compositor_failed() { skip "$COMPOSITOR did not start: $(tail -n 3 "$E2E_TMP/compositor.log")"; }

# start_sway GEOMETRY...: sway with one output per WxH+X+Y, named WL-1, WL-2..., each a window of
# a headless sway, so that it can be unplugged (sway 1.7 cannot remove a headless output).
start_sway() {
    stop_compositor
    COMPOSITOR=sway
    compositor_prepare sway swaymsg swaybg grim
    export SWAYSOCK="$COMPOSITOR_DIR/ipc.sock"
    printf '%s\n' 'output * bg #000000 solid_color' 'default_border none' 'xwayland disable' \
        'focus_follows_mouse no' 'for_window [app_id="wlroots"] floating enable' >"$COMPOSITOR_DIR/config"
    [ "$(id -u)" -ne 0 ] || chown 65534:65534 "$COMPOSITOR_DIR/config"
    AS_COMPOSITOR+=(WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman)
    local sway=(sway -c "$COMPOSITOR_DIR/config")
    compositor_run "SWAYSOCK=$COMPOSITOR_DIR/outer.sock" WLR_BACKENDS=headless "${sway[@]}"
    OUTER_PID=$COMPOSITOR_PID
    poll_until 20 test -S "$COMPOSITOR_DIR/wayland-1" || compositor_failed
    compositor_run "SWAYSOCK=$SWAYSOCK" WLR_BACKENDS=wayland WAYLAND_DISPLAY=wayland-1 "${sway[@]}"
    poll_until 20 sway_msg -t get_version || compositor_failed
    export WAYLAND_DISPLAY=wayland-2
    local number
    for ((number = 2; number <= $#; number++)); do
        sway_msg create_output || fail "swaymsg create_output failed"
    done
    poll_until 10 place_outputs "$@" || fail "sway's outputs are not the ones asked for: $(sway_outputs)"
    OUTPUTS=$(sway_outputs)
    [ -z "${LUMIVEX_WL_INPUT:-}" ] || start_input_devices
}

# place_outputs GEOMETRY...: WL-1, WL-2... placed so, asked again until it holds (the first
# configure of an output's window may undo a size asked for before it).
place_outputs() {
    local number=1 geometry
    for geometry in "$@"; do
        [[ $geometry =~ ^([0-9]+x[0-9]+)\+([0-9]+)\+([0-9]+)$ ]] || fail "bad output $geometry"
        sway_msg output "WL-$number" mode "${BASH_REMATCH[1]}" pos "${BASH_REMATCH[2]}" \
            "${BASH_REMATCH[3]}" || return 1
        number=$((number + 1))
    done
    sleep 0.2 # lets a configure in flight undo it, so that the check sees it
    [ "$(sway_outputs | awk '{print $2}' | xargs)" = "$*" ]
}

unplug_output() { SWAYSOCK=$COMPOSITOR_DIR/outer.sock sway_msg "[title=\"wlroots - $1\"] kill"; }

# The seat's keyboard and pointer, there before the saver starts as on a real machine: a client
# binds its keyboard when the seat gets one, and keys sent before that are lost.
start_input_devices() {
    "$LUMIVEX_WL_INPUT" hold >"$E2E_TMP/devices" 2>>"$E2E_TMP/input.log" &
    DEVICES_PID=$!
    poll_until 10 grep -qs ready "$E2E_TMP/devices" ||
        fail "wl_input hold did not start: $(tail -n 1 "$E2E_TMP/input.log")"
}

sway_msg() { timeout 5 swaymsg "$@" >>"$E2E_TMP/swaymsg.log" 2>&1; }

# sway's outputs, one "NAME WxH+X+Y" a line.
sway_outputs() {
    timeout 5 swaymsg -t get_outputs -r | python3 -c 'import json, sys
for o in json.load(sys.stdin):
    r = o["rect"]
    print(o["name"], "%dx%d+%d+%d" % (r["width"], r["height"], r["x"], r["y"]))'
}

# start_weston WxH: weston with one output; --debug lets weston-screenshooter capture it.
start_weston() {
    stop_compositor
    COMPOSITOR=weston
    compositor_prepare weston weston-screenshooter
    local size=$1
    compositor_run weston --backend=headless-backend.so --use-pixman --width="${size%x*}" \
        --height="${size#*x}" --socket=wayland-1 --idle-time=0 --no-config --debug
    poll_until 20 test -S "$COMPOSITOR_DIR/wayland-1" || compositor_failed
    export WAYLAND_DISPLAY=wayland-1
    OUTPUTS="output $size+0+0"
}

# start_silent NAME: a "compositor" on the socket NAME that takes connections and never answers.
start_silent() {
    stop_compositor
    COMPOSITOR=silent
    compositor_prepare
    compositor_run python3 -c 'import socket, sys, time
s = socket.socket(socket.AF_UNIX); s.bind(sys.argv[1]); s.listen(8); time.sleep(1e6)' "$COMPOSITOR_DIR/$1"
    poll_until 10 test -S "$COMPOSITOR_DIR/$1" || compositor_failed
    export WAYLAND_DISPLAY=$1
}

stop_compositor() {
    [ -z "$DEVICES_PID" ] || stop_tree "$DEVICES_PID"
    [ -z "$COMPOSITOR_PID" ] || stop_tree "$COMPOSITOR_PID"
    [ -z "$OUTER_PID" ] || stop_tree "$OUTER_PID"
    DEVICES_PID="" COMPOSITOR_PID="" OUTER_PID=""
    [ -z "$COMPOSITOR_DIR" ] || rm -rf "$COMPOSITOR_DIR"
    COMPOSITOR_DIR=""
}

# capture OUTPUT FILE.png: what one output shows (grim on sway, the screenshooter on weston).
capture() {
    if [ "$COMPOSITOR" = sway ]; then
        timeout 20 grim -o "$1" "$2" 2>>"$E2E_TMP/capture.log" || fail "grim -o $1 failed"
        return
    fi
    # It writes a file named after the time into the current folder.
    local shots="$E2E_TMP/shots.$RANDOM"
    mkdir "$shots" && (cd "$shots" && timeout 20 weston-screenshooter) >>"$E2E_TMP/capture.log" 2>&1 &&
        mv "$shots"/*.png "$2" || fail "weston-screenshooter failed: $(tail -n 3 "$E2E_TMP/capture.log")"
}

# The share of an image's pixels that differ from black.
coverage() {
    timeout 20 convert "$1" -depth 8 "$1.ppm" || fail "cannot convert $1"
    python3 "$E2E_DIR/symmetry_check.py" "$1.ppm" 0 0 0 | sed -n 's/^coverage \([0-9.]*\),.*/\1/p'
}

# True when a new capture of OUTPUT (kept as FILE) has more than MIN of its pixels drawn (and less
# than MAX: weston's wallpaper, before the saver covers it, is all drawn).
drawn_over() {
    capture "$1" "$2"
    awk -v drawn="$(coverage "$2")" -v min="$3" -v max="${4:-2}" \
        'BEGIN { exit !(drawn > min && drawn < max) }'
}

wait_for_drawing() {
    poll_until 20 drawn_over "$@" || fail "$1 shows no more than $3 drawn after 20 s"
}

# The saver's views that sway shows full screen, one line each:
# "OUTPUT WxH+X+Y focused=True|False inhibits_idle=True|False".
saver_views() {
    timeout 5 swaymsg -t get_tree -r 2>/dev/null | python3 -c 'import json, sys
def walk(node, output):
    output = node["name"] if node["type"] == "output" else output
    if node.get("pid") == int(sys.argv[1]) and node.get("fullscreen_mode") == 1:
        r = node["rect"]
        print(output, "%dx%d+%d+%d" % (r["width"], r["height"], r["x"], r["y"]),
              "focused=%s inhibits_idle=%s" % (node["focused"], node.get("inhibit_idle")))
    for child in node["nodes"] + node["floating_nodes"]:
        walk(child, output)
walk(json.load(sys.stdin), None)' "$SAVER_PID"
}

# Ready on sway: a full-screen view on every output, covering it, one of them focused. None keeps
# the session from going idle: that would stop whatever else the user has set to run then.
wayland_saver_ready() {
    saver_running || fail "the saver ended before it was ready"
    local views
    views=$(saver_views)
    [ "$(echo "$views" | awk '{print $1, $2}' | sort)" = "$(echo "$OUTPUTS" | sort)" ] &&
        echo "$views" | grep -q 'focused=True'
}

wait_for_wayland_saver() {
    poll_until 20 wayland_saver_ready ||
        fail "the saver did not cover each output with a focused view: $(saver_views)"
    ! saver_views | grep -q 'inhibits_idle=True' || fail "the saver inhibits idleness: $(saver_views)"
}

# Keys and clicks through the compositor's virtual keyboard and pointer (see wl_input.cpp).
wl_input() {
    timeout 10 "${LUMIVEX_WL_INPUT:?the wl_input program}" "$@" 2>>"$E2E_TMP/input.log" ||
        fail "wl_input $* failed: $(tail -n 1 "$E2E_TMP/input.log")"
}

# The saver ends within MS milliseconds (waited for up to 10 s, to tell late from never); its exit
# code in SAVER_RC.
wait_for_saver_exit_within() {
    local start=${EPOCHREALTIME/./} took
    wait_for_saver_exit 10
    took=$(((${EPOCHREALTIME/./} - start) / 1000))
    [ "$took" -le "$1" ] || fail "the saver took $took ms to end"
    note "ended $took ms later"
}

# PASSES a second and pictures SHOWN (Wayland only) as the saver counts a run of SECONDS ended by
# SIGTERM; given a size, on an Xvfb of that size: measure_passes_and_shown SECONDS [WxH].
measure_passes_and_shown() {
    local report x11=${2:-}
    [ -z "$x11" ] || start_xvfb "$x11"
    LUMIVEX_BACKEND=${x11:+x11} LUMIVEX_FPS=1 start_saver /s
    if [ -n "$x11" ]; then wait_for_saver_ready; else wait_for_wayland_saver; fi
    sleep "$1"
    kill -TERM "$SAVER_PID"
    wait_for_saver_exit 10
    [ -z "$x11" ] || { stop_xvfb && unset DISPLAY; }
    report=$(grep -a '^lumivex-gl: .* frames in' "$SAVER_OUT") || fail "no frame count: $(cat "$SAVER_OUT")"
    PASSES=$(sed -nE 's/.*\(([0-9.]+) fps\).*/\1/p' <<<"$report")
    SHOWN=$(sed -nE 's/.*\(([0-9.]+) shown\/s\).*/\1/p' <<<"$report")
    [ -n "$PASSES" ] && [ -n "$SHOWN$x11" ] || fail "not counted: $report"
}
