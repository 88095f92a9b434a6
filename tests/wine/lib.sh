# Helpers of the end-to-end tests of LMVXSVGL.SCR under Wine: the helpers of tests/e2e/lib.sh
# with the same meaning, reaching the Windows program instead of lumivex-gl. The program runs
# through run-scr.sh (wine, then the .SCR) and the settings live in the registry of a Wine prefix;
# screenshots are of the whole screen, as on Linux.
#
# Usage in a script:   source "$(dirname "$0")/lib.sh"; e2e_init "$1"
# where $1 is LMVXSVGL.SCR (or set LUMIVEX_SCR). The Linux scripts of tests/e2e run unchanged
# through e2e.sh, which makes this file their lib.sh. LUMIVEX_WINE_PREFIX names a prefix to
# share between runs (made on first use); without it each run makes its own (about 15 s).

WINE_DIR="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$WINE_DIR/../e2e/lib.sh"

# The Linux versions stay available under another name where the Windows ones build on them.
for helper in e2e_init e2e_cleanup start_xvfb start_saver write_settings read_setting; do
    eval "linux_$(declare -f "$helper")"
done
unset helper
# The Windows program, too, shows a picture on each monitor; the test programs are Windows ones.
PICTURE_PER_MONITOR=1 RUN_PROGRAM=wine

# Quiet, and nothing installed or registered outside the prefix.
export WINEARCH=win32 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=d${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}"

# prepare_prefix DIR: a 32-bit prefix, made once and reused. Wine itself, not a window manager,
# gives the saver the keyboard focus, as Windows does.
# Without RandR Wine takes the monitors of `xrandr --setmonitor` (with it, one wide one).
prepare_prefix() {
    export WINEPREFIX=$1
    mkdir -p "$(dirname "$WINEPREFIX")"
    (
        flock 9
        [ -f "$WINEPREFIX/.lumivex-monitors-ready" ] && exit 0
        rm -rf "$WINEPREFIX"
        env -u DISPLAY wineboot --init >/dev/null 2>&1 || exit 1
        env -u DISPLAY wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f \
            >/dev/null 2>&1 || exit 1
        env -u DISPLAY wine reg add 'HKCU\Software\Wine\X11 Driver' /v UseXRandR /d N /f \
            >/dev/null 2>&1 || exit 1
        wineserver --wait
        touch "$WINEPREFIX/.lumivex-monitors-ready"
    ) 9>"$WINEPREFIX.lock"
}

# wine_quiet COMMAND...: a Wine command whose output nobody reads.
wine_quiet() { wine "$@" >/dev/null 2>&1; }

# The system directory of the prefix (C:\windows\system32), where Password.cpl and Mpr.dll go.
system_directory() { echo "$WINEPREFIX/drive_c/windows/system32"; }

e2e_init() {
    local scr="${1:-${LUMIVEX_SCR:-}}"
    [ -f "$scr" ] || fail "no LMVXSVGL.SCR given (argument 1 or LUMIVEX_SCR)"
    for tool in wine wineserver winepath iconv flock; do
        command -v "$tool" >/dev/null || fail "$tool is not installed (scripts/install-deps.sh)"
    done
    export LUMIVEX_SCR="$(realpath "$scr")"
    linux_e2e_init "$WINE_DIR/run-scr.sh"
    prepare_prefix "${LUMIVEX_WINE_PREFIX:-$E2E_TMP/prefix}" || fail "no Wine prefix at $WINEPREFIX"
    # Whatever an earlier run left behind: its processes, its settings, a Windows version.
    wineserver -k 2>/dev/null || true
    wine_quiet reg delete "$SETTINGS_KEY" /f || true
    wine_quiet reg delete 'HKCU\Software\Wine' /v Version /f || true
}

# on_cleanup COMMAND: run when the script ends, before Wine is stopped (newest first).
CLEANUP_COMMANDS=()
on_cleanup() { CLEANUP_COMMANDS=("$1" "${CLEANUP_COMMANDS[@]}"); }

e2e_cleanup() {
    local status=$? command
    # Under errexit the status handed on below would end the script before the display stops.
    set +e
    stop_saver
    for command in "${CLEANUP_COMMANDS[@]}"; do
        eval "$command" || true
    done
    wineserver -k 2>/dev/null || true
    (exit "$status")
    linux_e2e_cleanup
}

# Wine's own processes (the desktop among them) belong to the display they started on.
start_xvfb() {
    wineserver -k 2>/dev/null || true
    linux_start_xvfb "$@"
}

# Every saver starts on a new Wine desktop. A thread that joins a running one starts with no
# toggle states (Caps Lock reads as off although it is on), where Windows hands it the system's;
# a new desktop takes them over from the X server with the first key event.
start_saver() {
    wineserver -k 2>/dev/null || true
    linux_start_saver "$@"
}

# The stored values go into the registry key of the program, which is emptied first.
write_settings() {
    linux_write_settings "$@"
    wine_quiet reg delete "$SETTINGS_KEY" /f || true
    wine_quiet regedit /S "$(winepath -w "$SETTINGS_FILE")" || fail "cannot import $SETTINGS_FILE"
}

# The registry key as an export file at $SETTINGS_FILE (empty when the key does not exist).
export_settings() {
    local exported="$E2E_TMP/export.reg"
    rm -f "$exported"
    : >"$SETTINGS_FILE"
    wine_quiet reg export "$SETTINGS_KEY" "$(winepath -w "$exported")" /y || return 0
    iconv -f UTF-16 -t UTF-8 "$exported" | tr -d '\r' >"$SETTINGS_FILE"
}

read_setting() {
    export_settings
    linux_read_setting "$1"
}

# Ready = the saver window has the keyboard focus, which the saver gives it (through its view)
# once the rendering context is made. The view has no X window of its own under Wine: what it
# draws is copied into the saver window's.
saver_ready() {
    saver_running || fail "the saver ended before it was ready"
    local frame focus
    frame=$(saver_window)
    [ -n "$frame" ] || return 1
    focus=$(timeout 5 xdotool getwindowfocus 2>/dev/null) || return 1
    [ "$focus" = "$frame" ]
}

# relay_calls FUNCTIONS: the next saver started logs every call of these Windows functions
# (";"-separated, as "dll.Function") with its arguments on its standard error.
relay_calls() {
    wine_quiet reg add 'HKCU\Software\Wine\Debug' /v RelayInclude /d "$1" /f ||
        fail "cannot set the relay list"
    export WINEDEBUG=-all,+relay
}

relay_off() {
    export WINEDEBUG=-all
    wine_quiet reg delete 'HKCU\Software\Wine\Debug' /f || true
}

# The relay lines of calls of FUNCTION in the saver's output.
relayed() { grep -a "Call [A-Za-z0-9]*\.$1(" "$SAVER_OUT" || true; }

# start_other_window X Y W H: another program's magenta window there (in Windows' coordinates,
# by Password.cpl through rundll32), noting its handle, keys and clicks in $OTHER_LOG; it comes
# forward once $OTHER_FORWARD holds 1.
start_other_window() {
    OTHER_LOG="$E2E_TMP/other.log" OTHER_FORWARD="$E2E_TMP/other.forward"
    : >"$OTHER_LOG"
    LUMIVEX_TEST_LOG=$(winepath -w "$OTHER_LOG") LUMIVEX_TEST_ANSWER=$(winepath -w "$OTHER_FORWARD") \
        wine rundll32 "$(winepath -w "$LUMIVEX_PASSWORD_CPL"),OtherWindow" "$@" >/dev/null 2>&1 &
    poll_until 30 grep -q '^window ' "$OTHER_LOG" || fail "the other program's window did not appear"
}

# The share (0 to 1) of the part CROP of IMAGE in the other window's magenta.
magenta_share() {
    timeout 20 convert "$1" -crop "$2" +repage -fill black +opaque '#ff00ff' -fill white \
        -opaque '#ff00ff' -format '%[fx:mean]' info:
}
