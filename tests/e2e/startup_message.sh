#!/usr/bin/env bash
# A GL library that does not exist: run mode names it on standard error, never starts the
# saver, ends with code 0 and still saves the settings with the name unchanged. Without a display,
# run mode and a hack's options end with 1 and say so in one line, in X's terms.
source "$(dirname "$0")/lib.sh"
e2e_init "${1:-}"
unset DISPLAY

mkdir -p "$(dirname "$SETTINGS_FILE")"
printf 'REGEDIT4\n\n[%s]\n"OpenGLDLL"="libNoSuchGL-%s.so.9"\n' "$SETTINGS_KEY" "$$" >"$SETTINGS_FILE"
rc=0
timeout 10 "$LUMIVEX_GL" /s >"$E2E_TMP/out" 2>"$E2E_TMP/err" || rc=$?
[ "$rc" -eq 0 ] || fail "run mode ended with code $rc"
grep -qx "Lumivex GL cannot initialize OpenGL library: libNoSuchGL-$$.so.9" "$E2E_TMP/err" ||
    fail "no message naming the library; standard error was: $(cat "$E2E_TMP/err")"
grep -qx "\"OpenGLDLL\"=\"libNoSuchGL-$$.so.9\"" "$SETTINGS_FILE" || fail "the library name changed"
expect_setting NumOfReflections 12

# A missing GLU library still names the GL library.
printf 'REGEDIT4\n\n[%s]\n"OpenGLUDLL"="libNoSuchGLU.so.9"\n' "$SETTINGS_KEY" >"$SETTINGS_FILE"
timeout 10 "$LUMIVEX_GL" /s >/dev/null 2>"$E2E_TMP/err" || fail "run mode failed"
grep -qx "Lumivex GL cannot initialize OpenGL library: OpenGL32.DLL" "$E2E_TMP/err" ||
    fail "standard error was: $(cat "$E2E_TMP/err")"

rm "$SETTINGS_FILE"
for args in /s --root; do
    rc=0
    timeout 10 "$LUMIVEX_GL" "$args" >/dev/null 2>"$E2E_TMP/err" || rc=$?
    [ "$rc" -eq 1 ] && [ "$(cat "$E2E_TMP/err")" = \
        "lumivex-gl: cannot open the X display (DISPLAY is not set)" ] ||
        fail "$args without a display ended with $rc: $(cat "$E2E_TMP/err")"
done
echo "PASS"
