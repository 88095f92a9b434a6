#!/usr/bin/env bash
# While the saver runs, a second start ends at once with code 0, shows no second window and
# leaves the first one running, also with a runtime folder the user cannot write to (mode 555; as
# nobody when the tests run as root, whom no mode stops).
source "$(dirname "$0")/lib.sh"
e2e_init "${1:-}"

start_xvfb 320x240
# Opening a FIFO waits for a writer for ever: neither one as the GL library, by path, nor one as
# the GLU library, by a bare name the loader finds in LD_LIBRARY_PATH, holds the start up.
mkfifo "$E2E_TMP/fifo" && mkdir -p "${SETTINGS_FILE%/*}"
printf 'REGEDIT4\n[%s]\n"OpenGLDLL"="%s"\n"OpenGLUDLL"="fifo"\n' "$SETTINGS_KEY" "$E2E_TMP/fifo" >"$SETTINGS_FILE"
LD_LIBRARY_PATH="/none:$E2E_TMP" timeout 1 "$LUMIVEX_GL" /s 2>"$E2E_TMP/err" || fail "code $? (124: hung)"
grep -qx "Lumivex GL cannot initialize OpenGL library: $E2E_TMP/fifo" "$E2E_TMP/err" || fail "no message"

write_settings Rest=20
export TMPDIR="$E2E_TMP/tmp" && mkdir -p "$TMPDIR"
as_user=()
if [ "$(id -u)" -eq 0 ]; then
    as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
    chmod 711 "$E2E_TMP"
    install -m 755 "$LUMIVEX_GL" "$E2E_TMP/lumivex-gl"
    LUMIVEX_GL="$E2E_TMP/lumivex-gl"
    chown -R 65534:65534 "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR" "$TMPDIR"
fi
rm -f "$XDG_RUNTIME_DIR"/* # the run above left a lock file there
chmod 555 "$XDG_RUNTIME_DIR"
"${as_user[@]}" "$LUMIVEX_GL" /s >"$SAVER_OUT" 2>&1 &
SAVER_PID=$!
wait_for_saver_ready
before=$(cat "$SETTINGS_FILE")

second=0
timeout 10 "${as_user[@]}" "$LUMIVEX_GL" /s >"$E2E_TMP/second.out" 2>&1 || second=$?
[ "$second" -eq 0 ] || fail "the second instance ended with code $second (124 = still running)"
windows=$(timeout 5 xdotool search --name '^Lumivex GL$' | wc -l)
[ "$windows" -eq 1 ] || fail "$windows saver windows"
[ "$(cat "$SETTINGS_FILE")" = "$before" ] || fail "the second instance changed the settings"
saver_ready || fail "the first saver is no longer there"

send key Escape
wait_for_saver_exit
[ "$SAVER_RC" -eq 0 ] || fail "the saver ended with code $SAVER_RC"
echo "PASS"
