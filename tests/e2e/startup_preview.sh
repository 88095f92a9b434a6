#!/usr/bin/env bash
# Preview (/p 1234) draws nothing, ends with code 0 and leaves the settings file holding the ten
# values the program owns, in their order, with their defaults. Root with a user's HOME (as sudo
# keeps it) leaves the user's file theirs: a replaced file keeps its owner, group and mode, and a
# new file and folder in the user's home are the user's, who can save over them afterwards.
source "$(dirname "$0")/lib.sh"
e2e_init "${1:-}"
unset DISPLAY

rc=0
timeout 10 "$LUMIVEX_GL" /p 1234 >"$SAVER_OUT" 2>&1 || rc=$?
[ "$rc" -eq 0 ] || fail "preview ended with code $rc"
[ ! -s "$SAVER_OUT" ] || fail "preview printed something"
[ -f "$SETTINGS_FILE" ] || fail "no settings file at $SETTINGS_FILE"

expected='REGEDIT4

[HKEY_CURRENT_USER\Software\Orvantix\Lumivex GL\Version 3.0]
"OpenGLDLL"="OpenGL32.DLL"
"OpenGLUDLL"="GLU32.DLL"
"Alpha"=dword:00000000
"FullScreen"=dword:00000000
"Monochrome"=dword:00000000
"MonoColor"=dword:1fffffff
"NumOfElements"=dword:00000003
"NumOfReflections"=dword:0000000c
"Reflected"=dword:00000001
"Rest"=dword:00000014'
[ "$(cat "$SETTINGS_FILE")" = "$expected" ] || fail "settings file is:
$(cat "$SETTINGS_FILE")"

# A second run reads the stored values (clamped) and keeps what it does not own.
cat >"$SETTINGS_FILE" <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Orvantix\Lumivex GL\Version 3.0]
"Background"=dword:00ff0000
"WallpaperDir"="/home/me/pictures"
"NumOfElements"=dword:00000032
"Alpha"="a string where a dword belongs"
"NumOfReflections"=dword:00000018

[HKEY_CURRENT_USER\Software\Somebody Else]
"Theirs"=hex:01,02,03
REG
timeout 10 "$LUMIVEX_GL" /p >/dev/null 2>&1 || fail "second preview failed"
expect_setting NumOfElements 10
expect_setting NumOfReflections 24
expect_setting Alpha 0
expect_setting Background 0x00ff0000
grep -qx '"WallpaperDir"="/home/me/pictures"' "$SETTINGS_FILE" || fail "WallpaperDir was lost"
grep -qx '"Theirs"=hex:01,02,03' "$SETTINGS_FILE" || fail "another program's key was lost"

if as_nobody "root in a user's home"; then
    home="$E2E_TMP/user" && mkdir -p "$home/.config/lumivex-gl"
    user_file="$home/.config/lumivex-gl/registry.reg"
    cp "$SETTINGS_FILE" "$user_file"
    chown -R 65534:65534 "$home" && chmod 640 "$user_file"
    # as root: the file replaced; the file new; the folders new too; then the user saves again
    for remove in "" "$user_file" "$home/.config"; do
        rm -rf "${remove:-/nonexistent}"
        env -u XDG_CONFIG_HOME HOME="$home" timeout 10 "$LUMIVEX_GL" /p || fail "root's save failed"
        for made in "$user_file" "${user_file%/*}" "${user_file%/*}/LumivexGLSemaphore.lock"; do
            [ "$(stat -c %u:%g "$made")" = 65534:65534 ] ||
                fail "root's run left $made $(stat -c %U:%G "$made") (${remove:-replaced})"
        done
        [ "$(stat -c %a "$user_file")" = "$([ -z "$remove" ] && echo 640 || echo 600)" ] ||
            fail "the mode of the file is $(stat -c %a "$user_file") (${remove:-replaced})"
    done
    echo '"NumOfElements"=dword:00000005' >>"$user_file"
    env -u XDG_CONFIG_HOME HOME="$home" timeout 10 "${AS_NOBODY[@]}" "$LUMIVEX_GL" /p ||
        fail "the user's own save failed after root's"
    SETTINGS_FILE=$user_file expect_setting NumOfElements 5
fi
echo "PASS"
