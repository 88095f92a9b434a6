#!/usr/bin/env bash
# A GL library that does not load: run mode shows the system's information box "Lumivex GL
# cannot initialize OpenGL library: " with the GL library's name (also when it is the GLU
# library that failed), captioned "Information" with one OK button; no saver window is made and
# the screen-saver flag is never set. After OK the program ends with code 0, the settings saved
# with the library name unchanged.
source "$(dirname "$0")/lib.sh"
e2e_init "${1:-}"
start_xvfb 320x240

# run_case VALUE NAME_IN_MESSAGE: the stored library value that fails, the name the box shows.
run_case() {
    write_settings NumOfReflections=24
    wine_quiet reg add "$SETTINGS_KEY" /v "$1" /d "$2" /f || fail "cannot store $1"
    relay_calls 'user32.MessageBoxA;user32.SystemParametersInfoA;user32.CreateWindowExA'
    start_saver /s
    poll_until 30 timeout 5 xdotool search --onlyvisible --name '^Information$' ||
        fail "no message box"
    relayed MessageBoxA | grep -q "MessageBoxA(00000000,[0-9a-f]* \"Lumivex GL cannot initialize OpenGL library: $3\",[0-9a-f]* \"Information\",00000040)" ||
        fail "the box is not the one expected: $(relayed MessageBoxA)"
    [ -z "$(saver_window)" ] || fail "a saver window was shown"
    [ -z "$(relayed CreateWindowExA)" ] || fail "windows were made: $(relayed CreateWindowExA)"
    send key Return
    wait_for_saver_exit
    relay_off
    [ "$SAVER_RC" -eq 0 ] || fail "run mode ended with code $SAVER_RC"
    [ -z "$(relayed SystemParametersInfoA)" ] || fail "the screen-saver flag was set"
    expect_setting NumOfReflections 24
    grep -qxF "\"$1\"=\"$2\"" "$SETTINGS_FILE" || fail "$1 changed: $(cat "$SETTINGS_FILE")"
}

note "missing GL library"
run_case OpenGLDLL "NoSuchGL-$$.dll" "NoSuchGL-$$.dll"
note "missing GLU library"
run_case OpenGLUDLL "NoSuchGLU-$$.dll" "OpenGL32.DLL"
echo "PASS"
