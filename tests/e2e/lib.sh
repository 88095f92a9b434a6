# Helpers shared by the end-to-end scripts: a private X server, a private home and settings
# directory, the saver started and waited for, its settings file written and read, screenshots.
# Everything waits by polling with a deadline; whatever was started is stopped on exit.
#
# Usage in a script:   source "$(dirname "$0")/lib.sh"; e2e_init "$1"
# where $1 is the lumivex-gl binary (or set LUMIVEX_GL).

set -euo pipefail

E2E_DIR="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$E2E_DIR/../../scripts/xvfb.sh"
source "$E2E_DIR/wayland_lib.sh"
SETTINGS_KEY='HKEY_CURRENT_USER\Software\Orvantix\Lumivex GL\Version 3.0'
XVFB_PID=""
SAVER_PID=""
SAVER_RC=""
HOST_PID=""
HOST_DIR=""
HOST_COMMAND=()
BUS_PID=""
# MATE's theme entry, its first theme folder, and a mount namespace its daemon can have (as a
# non-root user too, keeping its user for the session bus).
MATE_THEME="$E2E_DIR/../../share/applications/screensavers/lumivex-gl.desktop"
MATE_ENGINES=/usr/lib/mate-screensaver/mate-screensaver
PRIVATE_MOUNTS=(unshare --mount --propagation private)
[ "$(id -u)" -eq 0 ] || PRIVATE_MOUNTS+=(--map-current-user --keep-caps)
# A screen of several monitors shows a picture on each.
PICTURE_PER_MONITOR=1

fail() {
    echo "FAIL: $*" >&2
    if [ -n "${SAVER_OUT:-}" ] && [ -s "$SAVER_OUT" ]; then
        echo "--- saver output:" >&2
        cat "$SAVER_OUT" >&2
    fi
    exit 1
}

note() { echo "== $*"; }

e2e_init() {
    LUMIVEX_GL="${1:-${LUMIVEX_GL:-}}"
    [ -x "$LUMIVEX_GL" ] || fail "no lumivex-gl binary given (argument 1 or LUMIVEX_GL)"
    for tool in Xvfb xdotool xwininfo import python3; do
        command -v "$tool" >/dev/null || fail "$tool is not installed (scripts/install-deps.sh)"
    done
    E2E_TMP="$(mktemp -d "${TMPDIR:-/tmp}/lumivex-e2e.XXXXXX")"
    export HOME="$E2E_TMP/home"
    export XDG_CONFIG_HOME="$E2E_TMP/config"
    export XDG_RUNTIME_DIR="$E2E_TMP/runtime"
    mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR"
    chmod 700 "$XDG_RUNTIME_DIR"
    SETTINGS_FILE="$XDG_CONFIG_HOME/lumivex-gl/registry.reg"
    SAVER_OUT="$E2E_TMP/saver.out"
    # A message box would wait for a click nobody makes.
    export LUMIVEX_NO_DIALOG=1
    unset LUMIVEX_FPS LUMIVEX_BACKEND
    # As in a Wayland session whose compositor cannot be used: the X11 runs below must fall back
    # to X11 without a word.
    export WAYLAND_DISPLAY=lumivex-e2e-no-compositor
    trap e2e_cleanup EXIT
}

e2e_cleanup() {
    local status=$?
    stop_saver
    stop_host
    stop_compositor
    stop_xvfb
    if [ "$status" -ne 0 ] || [ -n "${E2E_KEEP:-}" ]; then
        echo "files kept in $E2E_TMP" >&2
    else
        rm -rf "$E2E_TMP"
    fi
}


start_xvfb() {
    stop_xvfb
    start_virtual_display "${1:-800x600}" "$E2E_TMP" || fail "Xvfb did not start"
}

stop_xvfb() { stop_virtual_display; }

# The X server dies under the saver, without a word to its clients.
kill_xvfb() {
    [ -n "$XVFB_PID" ] || return 0
    kill -KILL "$XVFB_PID" 2>/dev/null || true
    wait "$XVFB_PID" 2>/dev/null || true
    XVFB_PID=""
}

start_saver() {
    "$LUMIVEX_GL" "$@" >"$SAVER_OUT" 2>&1 &
    SAVER_PID=$!
}

stop_saver() {
    if [ -n "$SAVER_PID" ]; then
        kill -9 "$SAVER_PID" 2>/dev/null || true
        wait "$SAVER_PID" 2>/dev/null || true
        SAVER_PID=""
    fi
}

saver_running() { [ -n "$SAVER_PID" ] && kill -0 "$SAVER_PID" 2>/dev/null; }

# The saver window's X id (decimal), empty while it is not shown.
saver_window() { timeout 5 xdotool search --onlyvisible --name '^Lumivex GL$' 2>/dev/null | head -n1; }

# Ready = the view (the saver window's only child) has the keyboard focus, which the saver sets
# after it has grabbed keyboard and pointer: from then on every key and movement reaches it.
saver_ready() {
    saver_running || fail "the saver ended before it was ready"
    local frame child focus
    frame=$(saver_window)
    [ -n "$frame" ] || return 1
    child=$(timeout 5 xwininfo -children -id "$frame" 2>/dev/null | awk '$1 ~ /^0x/ {print $1; exit}')
    focus=$(timeout 5 xdotool getwindowfocus 2>/dev/null) || return 1
    [ -n "$child" ] && [ "$((child))" -eq "$focus" ]
}

wait_for_saver_ready() { poll_until "${1:-20}" saver_ready || fail "the saver window did not appear"; }

# Waits for the saver to end and keeps its exit code in SAVER_RC.
wait_for_saver_exit() {
    local seconds=${1:-15}
    poll_until "$seconds" bash -c "! kill -0 $SAVER_PID 2>/dev/null" ||
        fail "the saver is still running after ${seconds} s"
    SAVER_RC=0
    wait "$SAVER_PID" || SAVER_RC=$?
    SAVER_PID=""
}

# A busy X server now and then refuses a connection; nothing was sent then, so it is retried.
send() {
    local attempt output=""
    for attempt in 1 2 3 4 5; do
        output=$(timeout 10 xdotool "$@" 2>&1) && return 0
        case "$output" in
        *"open display"*) sleep 0.2 ;;
        *) break ;;
        esac
    done
    fail "xdotool $* failed: $output"
}

screenshot() {
    local attempt
    for attempt in 1 2 3; do
        timeout 20 import -window root "$1" 2>>"$E2E_TMP/import.log" && return 0
        sleep 0.2
    done
    fail "screenshot failed: $(cat "$E2E_TMP/import.log")"
}

# Writes the settings file with the given dword values: write_settings Rest=0 NumOfElements=10
write_settings() {
    mkdir -p "$(dirname "$SETTINGS_FILE")"
    {
        printf 'REGEDIT4\r\n\r\n[%s]\r\n' "$SETTINGS_KEY"
        local pair
        for pair in "$@"; do
            printf '"%s"=dword:%08x\r\n' "${pair%%=*}" "$((${pair#*=}))"
        done
    } >"$SETTINGS_FILE"
}

# The stored dword value of a setting, as an unsigned decimal number; empty when absent.
read_setting() {
    local hex
    hex=$(tr -d '\r' <"$SETTINGS_FILE" | sed -n "s/^\"$1\"=dword:\([0-9a-fA-F]\{8\}\)\$/\1/p")
    [ -n "$hex" ] && echo $((16#$hex))
}

expect_setting() {
    local actual
    actual=$(read_setting "$1")
    [ "$actual" = "$(($2))" ] || fail "setting $1 is '${actual}', expected $(($2))"
}

# --- other users ----------------------------------------------------------------------------------
# as_nobody WHY [FOLDER...]: run as root, nobody gets the private folders (and FOLDERs) and a copy of
# lumivex-gl to run through AS_NOBODY, facing the files of OTHER_UID; elsewhere WHY is skipped.
OTHER_UID=4242
AS_NOBODY=()
as_nobody() {
    [ "$(id -u)" -eq 0 ] || { note "skipped: $1 (only root can run it as other users)" && return 1; }
    shift
    AS_NOBODY=(setpriv --reuid=65534 --regid=65534 --clear-groups)
    chmod 711 "$E2E_TMP"
    [ "$LUMIVEX_GL" = "$E2E_TMP/lumivex-gl" ] ||
        { install -m 755 "$LUMIVEX_GL" "$E2E_TMP/lumivex-gl" && LUMIVEX_GL="$E2E_TMP/lumivex-gl"; }
    chown -R 65534:65534 "$HOME" "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR" "$@"
}

# --- screen-saver hosts --------------------------------------------------------------------------
# start_host KIND [ARG...] starts a host that shows lumivex-gl in a window of the host's:
#   window GEOMETRY [CHILD...]  grey windows standing in for a host (a settings dialog and its
#                               preview pane, all WxH+X+Y); HOST_WINDOWS holds the ids of the
#                               children (or of the window), one per line; the script starts the
#                               hacks itself
#   xscreensaver                the xscreensaver daemon, its one hack the line the README gives,
#                               'GL: "Lumivex GL" lumivex-gl --root' (a quoted name the daemon
#                               would run as a command fails every test); blanks on
#                               `host_as xscreensaver-command -activate`
#   xsecurelock                 xsecurelock with XSECURELOCK_SAVER=lumivex-gl, blanking at once
#   mate-screensaver            MATE's screen saver on a session bus of its own, its one theme
#                               our entry (MATE_THEME) with HACK for the program; blanks on
#                               `host_as mate-screensaver-command --activate`
# The real hosts run as nobody when the tests run as root (xscreensaver starts no hack as root),
# with a home of their own that holds a copy of the settings file (HOST_SETTINGS), from a copy of
# lumivex-gl every user can read (HACK), under reaper.py: `hack_status PID` tells how a hack
# ended. stop_host ends the host and everything it started. MATE's runs as the test's user.
start_host() {
    local kind=$1
    shift
    stop_host
    if [ "$kind" = window ]; then
        local ids="$E2E_TMP/host_windows.$RANDOM" count=$(($# > 1 ? $# - 1 : 1))
        "${LUMIVEX_HOST_WINDOW:?the host_window program}" "$@" >"$ids" 2>"$E2E_TMP/host.log" &
        HOST_PID=$!
        poll_until 10 bash -c "[ \$(wc -l <'$ids') -ge $count ]" ||
            fail "the host's windows did not appear: $(cat "$E2E_TMP/host.log")"
        HOST_WINDOWS=$(cat "$ids")
        return
    fi
    command -v "$kind" >/dev/null || fail "$kind is not installed (scripts/install-deps.sh)"
    HOST_DIR=$(mktemp -d /tmp/lumivex-host.XXXXXX)
    : >"$E2E_TMP/host.log"
    chmod 755 "$HOST_DIR"
    # An installed program (HOST_HACK) runs where it is.
    HACK=${HOST_HACK:-$HOST_DIR/lumivex-gl}
    [ -n "${HOST_HACK:-}" ] || install -m 755 "$LUMIVEX_GL" "$HACK"
    local home="$HOST_DIR/home"
    HOST_SETTINGS="$home/.config/lumivex-gl/registry.reg"
    mkdir -p "$(dirname "$HOST_SETTINGS")"
    [ ! -f "$SETTINGS_FILE" ] || cp "$SETTINGS_FILE" "$HOST_SETTINGS"
    printf '%s\n' 'mode: one' 'selected: 0' 'fade: False' 'unfade: False' 'splash: False' \
        'lock: False' 'dpmsEnabled: False' 'timeout: 0:30:00' \
        "programs: GL: \"Lumivex GL\" $HACK --root \\n\\" >"$home/.xscreensaver"
    AS_HOST=(env -i "HOME=$home" "DISPLAY=$DISPLAY" PATH=/usr/bin:/bin)
    # A sanitizer build's hacks report as the rest of the run does.
    local name
    for name in ASAN_OPTIONS UBSAN_OPTIONS; do
        [ -z "${!name:-}" ] || AS_HOST+=("$name=${!name}")
    done
    if [ "$(id -u)" -eq 0 ] && [ "$kind" != mate-screensaver ]; then
        chown -R 65534:65534 "$home"
        AS_HOST=(setpriv --reuid=65534 --regid=65534 --clear-groups "${AS_HOST[@]}")
    fi
    case "$kind" in
    xscreensaver) HOST_COMMAND=("${AS_HOST[@]}" xscreensaver --no-splash --verbose) ;;
    xsecurelock)
        HOST_COMMAND=("${AS_HOST[@]}" "XSECURELOCK_SAVER=$HACK" XSECURELOCK_BLANK_TIMEOUT=-1
            xsecurelock)
        ;;
    mate-screensaver) prepare_mate_screensaver ;;
    *) fail "no host called $kind" ;;
    esac
    python3 "$E2E_DIR/reaper.py" "$E2E_TMP/reaped" "${HOST_COMMAND[@]}" >>"$E2E_TMP/host.log" 2>&1 &
    HOST_PID=$!
    local -a query=()
    case "$kind" in
    xscreensaver) query=(xscreensaver-command -version) ;;
    mate-screensaver) query=(mate-screensaver-command --query) ;;
    esac
    [ ${#query[@]} -eq 0 ] || poll_until 20 host_as "${query[@]}" || fail "$kind did not start"
}

# MATE's screen saver runs a theme (from XDG_DATA_DIRS, chosen over the session bus) only from its
# engine folder: in the daemon's own mount namespace that holds a lumivex-gl running HACK under
# reaper.py. A hack gets HOME, DISPLAY, PATH and the window only (and any sanitizer options).
prepare_mate_screensaver() {
    local address="$HOST_DIR/bus.address" wrapper="$HOST_DIR/engines/lumivex-gl"
    mkdir -p "$HOST_DIR/share/applications/screensavers" "$HOST_DIR/engines" "$HOST_DIR/runtime"
    chmod 700 "$HOST_DIR/runtime"
    cp "$MATE_THEME" "$HOST_DIR/share/applications/screensavers/"
    local -a hack=(env) name
    for name in ASAN_OPTIONS UBSAN_OPTIONS; do
        [ -z "${!name:-}" ] || hack+=("$name=${!name}")
    done
    hack+=("$(command -v python3)" "$E2E_DIR/reaper.py" "$E2E_TMP/reaped" "$HACK")
    printf '#!/bin/bash\nexec %s "$@"\n' "$(printf '%q ' "${hack[@]}")" >"$wrapper"
    chmod 755 "$wrapper"
    # The engine folder first: an installed lumivex-gl must not stand in for the one tested.
    AS_HOST+=("PATH=$MATE_ENGINES:/usr/bin:/bin" "XDG_RUNTIME_DIR=$HOST_DIR/runtime"
        "XDG_DATA_DIRS=$HOST_DIR/share:/usr/share" NO_AT_BRIDGE=1)
    "${AS_HOST[@]}" dbus-daemon --session --nofork --nopidfile --print-address=3 3>"$address" \
        2>>"$E2E_TMP/host.log" &
    BUS_PID=$!
    poll_until 10 test -s "$address" || fail "the session bus did not start"
    AS_HOST+=("DBUS_SESSION_BUS_ADDRESS=$(head -n1 "$address")")
    host_as gsettings set org.mate.screensaver themes "['screensavers-lumivex-gl']" &&
        host_as gsettings set org.mate.screensaver mode single &&
        host_as gsettings set org.mate.screensaver lock-enabled false ||
        fail "gsettings could not choose the theme: $(cat "$E2E_TMP/host.log")"
    HOST_COMMAND=("${PRIVATE_MOUNTS[@]}" sh -c 'mount --bind "$1" "$2" && shift 2 && exec "$@"' sh
        "$HOST_DIR/engines" "$MATE_ENGINES" "${AS_HOST[@]}" mate-screensaver --no-daemon --debug)
}

# Runs a command as the host's user, in the host's environment.
host_as() { "${AS_HOST[@]}" "$@" >>"$E2E_TMP/host.log" 2>&1; }

hack_pids() { pgrep -f "^$HACK( |\$)" || true; }

wait_for_hacks() {
    poll_until 20 bash -c "[ \$(pgrep -fc '^$HACK( |\$)') -ge $1 ]" ||
        fail "the host did not start $1 hack(s): $(cat "$E2E_TMP/host.log")"
}

# How the hack ended (the exit code, 128 + the signal); empty while it runs.
hack_status() { awk -v pid="$1" '$1 == pid { print $2 }' "$E2E_TMP/reaped" 2>/dev/null; }
hack_ended() { [ -n "$(hack_status "$1")" ]; }

# Every process below $1, deepest first.
descendants() {
    local child
    for child in $(pgrep -P "$1" || true); do
        descendants "$child"
        echo "$child"
    done
}

# Ends a process and everything below it, killing what is left after 10 s.
stop_tree() {
    kill "$1" 2>/dev/null || true
    if ! poll_until 10 bash -c "! kill -0 $1 2>/dev/null"; then
        local pid
        for pid in $(descendants "$1") "$1"; do kill -KILL "$pid" 2>/dev/null || true; done
    fi
    wait "$1" 2>/dev/null || true
}

stop_host() {
    if [ -n "$HOST_PID" ]; then
        stop_tree "$HOST_PID"
        HOST_PID=""
    fi
    [ -z "$BUS_PID" ] || { kill "$BUS_PID" 2>/dev/null || true; wait "$BUS_PID" 2>/dev/null || true; }
    BUS_PID=""
    [ -z "$HOST_DIR" ] || rm -rf "$HOST_DIR"
    HOST_DIR=""
}

# IMAGE (or its part CROP, WxH+X+Y) shows a picture that a turn by ANGLE (default 60) degrees
# about its centre maps onto itself, as 12 mirrored reflections draw it (8 give 90).
symmetric() {
    timeout 20 convert "$1" ${2:+-crop "$2"} -depth 8 "$1.ppm" &&
        python3 "$E2E_DIR/symmetry_check.py" "$1.ppm" "${3:-60}" 0.9 0.005
}
expect_symmetric() {
    symmetric "$@" ||
        fail "no picture with the symmetry of a turn by ${3:-60} degrees in $1 (kept in $E2E_TMP)"
}

# The screen shows such a picture within 20 s (a hack's first frames wait for a busy machine);
# the last screenshot is kept in IMAGE: wait_for_symmetric IMAGE [CROP] [ANGLE].
wait_for_symmetric() {
    local args=("$@")
    symmetric_now() { screenshot "${args[0]}" && symmetric "${args[@]}" >/dev/null; }
    poll_until 20 symmetric_now || expect_symmetric "$@"
}

# A picture (0.2 % of pixels not black) inside each rectangle (X,Y,W,H), and every pixel outside
# them still the host's grey.
expect_drawn_inside() {
    local image=$1
    shift
    timeout 20 convert "$image" -depth 8 "$image.ppm" || fail "cannot convert $image"
    python3 "$E2E_DIR/region_check.py" "$image.ppm" "$@" || fail "wrong drawing in $image"
}

# A kept picture's options, and its vertices (each after its colour) as the page draws them in 30
# passes at SIZE, in $E2E_TMP/page.v: page_vertices SIZE.
KEPT=(--seed 4000000007 --count 4 --reflections 18)
VERTICES='/^glColor4f/ { c = $0 } /^glVertex2f/ { if (c != last) print last = c; print }'
page_vertices() {
    env -u LUMIVEX_RECGL_FILE "${LUMIVEX_GL_STREAM:?the stream driver}" "$E2E_TMP/page.txt" 30 "$1" \
        '?seed=4000000007&count=4&reflections=18'
    awk "$VERTICES" "$E2E_TMP/page.txt" >"$E2E_TMP/page.v"
    [ "$(grep -c ^glVertex2f "$E2E_TMP/page.v")" -gt 1000 ] || fail "the page drew too little"
}
# The saver's recording FILE begins with the page's vertices.
expect_page_vertices() {
    awk "$VERTICES" "$1" >"$1.v"
    cmp -n "$(wc -c <"$E2E_TMP/page.v")" "$1.v" "$E2E_TMP/page.v" || fail "the kept picture differs (kept in $E2E_TMP)"
}
