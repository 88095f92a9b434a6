#!/usr/bin/env bash
# A GL library that does not exist: run mode names it on standard error, never starts the
# saver, ends with code 0 and still saves the settings with the name unchanged. Without a display,
# run mode and a hack's options end with 1 and say so in one line, in X's terms. A GL library named
# by a settings file (where the links lead) that someone else may change is never loaded, one to
# another user's file neither read nor written through: one line says so; its picture settings count.
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

# gl_named_by WHO OWNER MODE LOADED: the settings, a link WHO (else the test's user) made in a
# folder of WHO's to a file of OWNER with MODE in another folder of WHO's, name a library that marks
# its loading, and it was LOADED: yes, no (others may change the file) or refused (not WHO's file).
marks="$E2E_TMP/marks" shared="$E2E_TMP/shared" target="$E2E_TMP/shared/settings.reg"
mkdir -p -m 777 "$marks" "$shared" && install -m 755 "$LUMIVEX_RECGL" "$E2E_TMP/marking.so"
gl_named_by() {
    local case="${1:-$(id -un)}, a file of $2 with mode $3" load="$E2E_TMP/marking.so" ids="$(id -u $1):$(id -g $1)"
    rm -f "$marks/loaded" "$target" "${SETTINGS_FILE%/*}/LumivexGLSemaphore.lock"
    ln -sfn "$target" "$SETTINGS_FILE" && chown -h "$ids" "$SETTINGS_FILE" && chown "$ids" "${SETTINGS_FILE%/*}" "$shared"
    printf 'REGEDIT4\n\n[%s]\n"OpenGLDLL"="%s"\n"Rest"=dword:00001388\n' "$SETTINGS_KEY" "$load" >"$target"
    chown "$2" "$target" && chmod "$3" "$target"
    ${1:+"${AS_NOBODY[@]}"} env LUMIVEX_RECGL_FILE="$marks/loaded" timeout 10 "$LUMIVEX_GL" /s \
        >/dev/null 2>"$E2E_TMP/err" || true
    [ "$([ -e "$marks/loaded" ] && echo yes || echo no)" = "${4/refused/no}" ] || fail "$case: loaded is not $4"
    case $4 in
    no) grep -q "^lumivex-gl: $target: .*, so the libraries it names ($load, GLU32.DLL) are not loaded; OpenGL32.DLL and GLU32.DLL are$" ;;
    refused) grep -qx "lumivex-gl: cannot save the settings to $SETTINGS_FILE: it leads to $target, a file that is not .*'s; it is neither read nor written through" ;;
    esac <"$E2E_TMP/err" || fail "$case: no line says so: $(cat "$E2E_TMP/err")"
    [ "$2" != "$(id -u):$(id -g)" ] || SETTINGS_FILE=$target expect_setting Rest 2000
}
me="$(id -u):$(id -g)"
gl_named_by "" "$me" 600 yes
gl_named_by "" "$me" 666 no
if as_nobody "the files of other users and groups"; then
    gl_named_by "" "$(id -u):users" 660 no
    gl_named_by "" "$OTHER_UID" 644 refused
    gl_named_by nobody 65534:65534 600 yes
    gl_named_by nobody 65534:65534 664 no
    gl_named_by nobody "$OTHER_UID:$OTHER_UID" 644 refused
    # A user's own private group may write; not once a second entry of its number lists nobody.
    user="lmvx$$"
    trap 'status=$?; set +e; userdel $user; groupdel ${user}x; (exit $status); e2e_cleanup' EXIT
    useradd -M -U "$user" && AS_NOBODY=(setpriv --reuid="$user" --regid="$user" --clear-groups)
    gl_named_by "$user" "$user:$user" 660 yes
    groupadd -o -g "$(id -g "$user")" -U nobody "${user}x"
    gl_named_by "$user" "$user:$user" 660 no
fi

# Without a display /s names the gone compositor it tried too; --root tries only X11.
rm "$SETTINGS_FILE"
x11="cannot open the X display (DISPLAY is not set)"
for row in "/s|cannot connect to the Wayland compositor \"$WAYLAND_DISPLAY\", and $x11" "--root|$x11"; do
    args=${row%%|*}
    rc=0
    timeout -k 1 10 "$LUMIVEX_GL" "$args" >/dev/null 2>"$E2E_TMP/err" || rc=$?
    [ "$rc" -eq 1 ] && [ "$(cat "$E2E_TMP/err")" = "lumivex-gl: ${row#*|}" ] ||
        fail "$args without a display ended with $rc: $(cat "$E2E_TMP/err")"
done
echo "PASS"
