#!/usr/bin/env bash
# While the saver runs, a second start ends at once with code 0, shows no second window and
# leaves the first one running (as nobody when the tests run as root, whom no mode stops): with a
# runtime folder the user cannot write to (mode 555), with XDG_RUNTIME_DIR for the first start
# and without it for the second, under umask 0277, and where the settings folder cannot be made.
source "$(dirname "$0")/lib.sh"
e2e_init "${1:-}"

start_xvfb 320x240
# Opening a FIFO waits for a writer for ever: neither one as the GL library, by path, nor one as
# the GLU library, by a bare name the loader finds in LD_LIBRARY_PATH, holds the start up.
mkfifo "$E2E_TMP/fifo" && mkdir -p "${SETTINGS_FILE%/*}"
printf 'REGEDIT4\n[%s]\n"OpenGLDLL"="%s"\n"OpenGLUDLL"="fifo"\n' "$SETTINGS_KEY" "$E2E_TMP/fifo" >"$SETTINGS_FILE"
LD_LIBRARY_PATH="/none:$E2E_TMP" timeout -k 1 1 "$LUMIVEX_GL" /s 2>"$E2E_TMP/err" ||
    fail "code $? (124 or 137: hung)"
grep -qx "Lumivex GL cannot initialize OpenGL library: $E2E_TMP/fifo" "$E2E_TMP/err" || fail "no message"

write_settings Rest=20
export TMPDIR="$E2E_TMP/tmp" && mkdir -p "$TMPDIR"
as_nobody "starts as nobody, and another user's folder in the way" "$TMPDIR" || true

# two_starts WHAT FIRST SECOND: started through FIRST, the saver runs; a second start through
# SECOND ends at once with 0, shows no second window and leaves the settings and the first alone.
two_starts() {
    note "$1"
    "$2" "${AS_NOBODY[@]}" "$LUMIVEX_GL" /s >"$SAVER_OUT" 2>&1 &
    SAVER_PID=$!
    wait_for_saver_ready
    local before second=0 windows
    before=$(cat "$SETTINGS_FILE" 2>/dev/null || echo none)
    "$3" timeout -k 1 10 "${AS_NOBODY[@]}" "$LUMIVEX_GL" /s >"$E2E_TMP/second.out" 2>&1 || second=$?
    [ "$second" -eq 0 ] || fail "the second instance ended with code $second (124 = still running)"
    windows=$(timeout 5 xdotool search --name '^Lumivex GL$' | wc -l)
    [ "$windows" -eq 1 ] || fail "$windows saver windows"
    [ "$(cat "$SETTINGS_FILE" 2>/dev/null || echo none)" = "$before" ] ||
        fail "the second instance changed the settings"
    saver_ready || fail "the first saver is no longer there"
    send key Escape
    wait_for_saver_exit
    [ "$SAVER_RC" -eq "${FIRST_RC:-0}" ] || fail "the saver ended with code $SAVER_RC"
}
as_is() { "$@"; }
without_runtime() { env -u XDG_RUNTIME_DIR "$@"; }
# Folders made under this umask let nobody, not even their owner, add to them.
narrow_umask() { (umask 0277 && exec env -u XDG_RUNTIME_DIR "$@"); }

rm -f "$XDG_RUNTIME_DIR"/* # the run above left a lock file there
chmod 555 "$XDG_RUNTIME_DIR"
two_starts "a runtime folder nobody can write to" as_is as_is
chmod 700 "$XDG_RUNTIME_DIR"
two_starts "the first with XDG_RUNTIME_DIR, the second without" as_is without_runtime
rm -rf "${SETTINGS_FILE%/*}"
two_starts "umask 0277" narrow_umask narrow_umask
[ -f "$SETTINGS_FILE" ] || fail "the settings were not saved under umask 0277"
# No settings folder (root made the config folder) and another user's folder where the guard would
# be in /tmp: the saver runs, says once it could not save, and a second start with another TMPDIR
# and XDG_RUNTIME_DIR set finds its guard. As a user of its own, whose /tmp folders are removed.
if [ "$(id -u)" -eq 0 ]; then
    user=$((30000 + $$ % 20000))
    trap 'status=$?; set +e; rm -rf /tmp/lumivex-gl-$user /tmp/lumivex-gl-$user.*; (exit $status); e2e_cleanup' EXIT
    AS_NOBODY=(setpriv --reuid="$user" --regid="$user" --clear-groups)
    rm -rf "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR"/* && install -d -m 755 "$XDG_CONFIG_HOME"
    mkdir -m 1777 "$E2E_TMP/tmp2" && chown "$user" "$XDG_RUNTIME_DIR" && install -d -m 700 -o "$OTHER_UID" "/tmp/lumivex-gl-$user"
    elsewhere() { env TMPDIR="$E2E_TMP/tmp2" "$@"; }
    FIRST_RC=1
    two_starts "no settings folder, another user's /tmp/lumivex-gl-<uid>" without_runtime elsewhere
    [ "$(cat "$SAVER_OUT")" = "lumivex-gl: cannot save the settings to $SETTINGS_FILE: Permission denied" ] ||
        fail "said: $(cat "$SAVER_OUT")"
fi
echo "PASS"
