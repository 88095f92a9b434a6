#!/usr/bin/env bash
# Preview (/p 1234) ends at once with code 0 and leaves in the registry the ten values the
# program owns, the two library names as REG_SZ and the rest as REG_DWORD, beside the stored
# Background and WallpaperDir, which it never writes. A name stored as REG_EXPAND_SZ is read as
# it stands (not expanded) and written back as REG_SZ. Configure (/c) on Windows XP, the file in
# the Windows folder, opens help context 1000 of LMVXSVGL.HLP owned by the desktop window; on 10,
# no WinHelp but its own window, owned by the window "/c:N" names, closed with 0 by Escape, Enter
# or its close box. At 192 dots per inch
# the saver (/s), DPI-aware, covers the whole screen in its pixels with a picture centred on it.
source "$(dirname "$0")/lib.sh"
e2e_init "${1:-}"
start_xvfb 320x240

write_settings Background=0x00FF0000
wine_quiet reg add "$SETTINGS_KEY" /v WallpaperDir /d 'C:\pictures' /f || fail "cannot store WallpaperDir"
wine_quiet reg add "$SETTINGS_KEY" /v OpenGLUDLL /t REG_EXPAND_SZ /d '%WINDIR%\GLU32.DLL' /f ||
    fail "cannot store OpenGLUDLL"
rc=0
timeout 20 "$LUMIVEX_GL" /p 1234 >"$SAVER_OUT" 2>&1 || rc=$?
[ "$rc" -eq 0 ] || fail "preview ended with code $rc (124 = still running)"
[ -z "$(saver_window)" ] || fail "preview showed a window"

# name, type, data of every value, as the registry tool shows them
listing=$(wine reg query "$SETTINGS_KEY" | tr -d '\r' | awk '/^    / {print $1, $2, $3}' | sort)
expected="Alpha REG_DWORD 0x0
Background REG_DWORD 0xff0000
FullScreen REG_DWORD 0x0
MonoColor REG_DWORD 0x1fffffff
Monochrome REG_DWORD 0x0
NumOfElements REG_DWORD 0x3
NumOfReflections REG_DWORD 0xc
OpenGLDLL REG_SZ OpenGL32.DLL
OpenGLUDLL REG_SZ %WINDIR%\\GLU32.DLL
Reflected REG_DWORD 0x1
Rest REG_DWORD 0x14
WallpaperDir REG_SZ C:\\pictures"
[ "$listing" = "$expected" ] || fail "the registry holds:
$listing"

note "configure"
# Wine's help viewer, finding LMVXSVGL.HLP empty, holds the call with a dialog of its own; the call
# itself is what is checked, and the viewer is ended with the prefix's processes.
: >"$WINEPREFIX/drive_c/windows/LMVXSVGL.HLP"
on_cleanup 'rm -f "$WINEPREFIX/drive_c/windows/LMVXSVGL.HLP"'
wine_quiet reg add 'HKCU\Software\Wine' /v Version /d winxp /f || fail "cannot report Windows XP"
relay_calls 'user32.WinHelpA;user32.GetDesktopWindow'
start_saver /c
poll_until 30 grep -aq 'Call user32.WinHelpA(' "$SAVER_OUT" || fail "configure opened no help"
relay_off
desktop=$(grep -a -o 'Ret  user32.GetDesktopWindow() retval=[0-9a-f]*' "$SAVER_OUT" | head -n1)
desktop=${desktop##*=}
[ -n "$desktop" ] && [ "$((16#$desktop))" -ne 0 ] || fail "the desktop window was not asked for"
relayed WinHelpA | grep -q "WinHelpA($desktop,[0-9a-f]* \"LMVXSVGL.HLP\",00000001,000003e8)" ||
    fail "no help call for context 1000: $(relayed WinHelpA)"
[ -z "$(saver_window)" ] || fail "configure showed a saver window"

note "configure on Windows 10"
start_xvfb 1024x768
wine_quiet reg add 'HKCU\Software\Wine' /v Version /d win10 /f || fail "cannot report Windows 10"
relay_calls 'user32.WinHelpA;user32.MessageBoxA'
start_other_window 0 0 100 100
handle=$(sed -n 's/^window //p' "$OTHER_LOG")
for close in "key Escape" "key Return" "close box"; do
    # Owned by the window the display settings name (here another program's), else by nobody.
    [ "$close" = "key Escape" ] && args=/c:$handle owner=$(printf '%08x' "$handle") || args=/c owner=00000000
    linux_start_saver "$args" # in the Wine that shows the other program
    wait_for_saver_ready 30 # shown, titled "Lumivex GL", with the keyboard
    [ -z "$(relayed WinHelpA)" ] || fail "configure called WinHelp on Windows 10"
    relayed MessageBoxA | grep -q "MessageBoxA($owner," || fail "owner not $owner: $(relayed MessageBoxA)"
    [ "$close" != "close box" ] || { eval "$(timeout 5 xdotool getwindowgeometry --shell "$(saver_window)")" &&
        close="mousemove $((X + WIDTH - 12)) $((Y + 11)) click 1"; } # the right end of Wine's title bar
    send $close
    wait_for_saver_exit
    [ "$SAVER_RC" -eq 0 ] || fail "configure closed by $close ended with code $SAVER_RC"
done
wine_quiet reg delete 'HKCU\Software\Wine' /v Version /f || true
start_xvfb 320x240

note "the saver at 192 dots per inch"
wine_quiet reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 192 /f ||
    fail "cannot set LogPixels"
on_cleanup "wine_quiet reg delete 'HKCU\\Control Panel\\Desktop' /v LogPixels /f"
write_settings NumOfReflections=12 Reflected=1 FullScreen=0 NumOfElements=3 Rest=20
start_saver /s
wait_for_saver_ready
size=$(timeout 5 xwininfo -id "$(saver_window)" | awk '/Width:/ {w = $2} /Height:/ {h = $2} END {print w "x" h}')
[ "$size" = 320x240 ] || fail "the saver window is $size, not the screen's 320x240"
# Symmetric about the screen's centre: a picture made for a smaller window is centred elsewhere.
wait_for_symmetric "$E2E_TMP/dpi.png"
send key Escape
wait_for_saver_exit
echo "PASS"
