#!/usr/bin/env bash
# /s drawn natively on sway (no screen, two outputs of different sizes side by side, no X server):
# a focused full-screen view covers each output, none inhibiting idleness; each output shows a
# picture of its own with the symmetry of 12 mirrored reflections about that output's centre, and
# its trails build up. A key, a click and SIGTERM each end the saver with 0 within 2 s, the
# settings as they were, SIGTERM also while it starts, Escape from a keyboard that left and came
# back too; with Caps Lock on keys edit them, Escape saves the edits. An output that comes while
# the saver runs is covered too, one that goes leaves it drawing. At Rest 20 passes keep pace.
source "$(dirname "$0")/lib.sh"
e2e_init "${1:-}"
layout=(640x480+0+0 400x400+640+40)
start_sway "${layout[@]}"

# Per output: once drawn, later twice as much drawn, or a quarter of what was not (the trails stay
# from frame to frame), and symmetric. Every output's first capture comes before the later ones.
expect_pictures() {
    local name geometry early more
    while read -r name geometry; do
        wait_for_drawing "$name" "$E2E_TMP/$name-early.png" 0.005
    done <<<"$OUTPUTS"
    while read -r name geometry; do
        early=$(coverage "$E2E_TMP/$name-early.png")
        more=$(awk -v c="$early" 'BEGIN { print (c < 0.2 ? 2 * c : c + (1 - c) / 4) }')
        note "$name ($geometry): $early drawn, then over $more as the trails build up"
        wait_for_drawing "$name" "$E2E_TMP/$name-late.png" "$more"
        expect_symmetric "$E2E_TMP/$name-late.png"
    done <<<"$OUTPUTS"
}

# An output plugged in while the saver runs gets a picture of its own; once it is unplugged the
# others go on drawing, each picture made again about its output's centre. Then a key.
plug_in_and_out_then_key() {
    sway_msg create_output || fail "swaymsg create_output failed"
    poll_until 10 place_outputs "${layout[@]}" 320x240+1040+0 || fail "no WL-3: $(sway_outputs)"
    OUTPUTS=$(sway_outputs) wait_for_wayland_saver
    OUTPUTS="WL-3 320x240+1040+0" expect_pictures
    unplug_output WL-3 || fail "cannot unplug WL-3"
    # The headless sway sizes the windows left anew; they get their sizes back.
    poll_until 10 place_outputs "${layout[@]}" || fail "outputs not as before: $(sway_outputs)"
    wait_for_wayland_saver
    expect_pictures
    wl_input space
}

# The seat's devices go (as a wireless keyboard sleeps) and come back; Escape until one is bound.
escaped() { wl_input Escape && sleep 0.5 && ! saver_running; }
devices_leave_and_come_back() {
    stop_tree "$DEVICES_PID" && sleep 0.5 && start_input_devices && poll_until 10 escaped || fail "Escape from a keyboard that came back is not heard"
}

# how it ends | what is sent | the settings then (as saver_keys.sh has them: with Caps Lock on,
# Up, keypad 6 under Num Lock, keypad minus, T, V, W and Left edit them)
stored="NumOfReflections=12 NumOfElements=3 Alpha=0 Reflected=1 FullScreen=0 Monochrome=0 Rest=100"
edits="Caps_Lock Up Num_Lock KP_Right KP_Subtract t v w Left Escape"
edited="NumOfReflections=18 NumOfElements=2 Alpha=1 Reflected=0 FullScreen=1 Monochrome=1 Rest=110"
cases=(
    "a key|wl_input space|$stored"
    "a click|wl_input click|$stored"
    "a key after an output came and went|plug_in_and_out_then_key|$stored"
    "Escape after the keyboard left and came back|devices_leave_and_come_back|$stored"
    "SIGTERM|kill -TERM|$stored"
    "Caps Lock on, edits, Escape|wl_input $edits|$edited MonoColor=0x00FF0000"
)
# A termination request while the saver starts (once it catches it) is a close like any other.
# Until the shell's child has become the saver, the handlers are the shell's.
catches_sigterm() { local c; [ "/proc/$SAVER_PID/exe" -ef "$LUMIVEX_GL" ] && c=$(sed -n 's/^SigCgt:\s*//p' "/proc/$SAVER_PID/status" 2>/dev/null) && ((0x${c:-0} >> 14 & 1)); }
for delay in 0 0.05 0.15 0.25; do
    # shellcheck disable=SC2086  # one argument a setting
    write_settings $stored MonoColor=0x1FFFFFFF
    start_saver /s
    poll_until 10 catches_sigterm || fail "the saver does not catch SIGTERM"
    sleep "$delay"
    kill -TERM "$SAVER_PID"
    wait_for_saver_exit_within 2000
    [ "$SAVER_RC" -eq 0 ] && [ ! -s "$SAVER_OUT" ] || fail "SIGTERM $delay s after the start: code $SAVER_RC"
    for pair in $stored; do expect_setting "${pair%%=*}" "${pair#*=}"; done
done
# At Rest 20 the passes keep the pace of an X server of the outputs' size, not the outputs' 60 Hz.
# Wall time on a shared machine: wide bounds; the exact pace is the pacing unit test's.
write_settings NumOfReflections=12 NumOfElements=3 FullScreen=0 Rest=20
measure_passes_and_shown 4 1040x480
desktop=$PASSES
measure_passes_and_shown 4
awk -v p="$PASSES" -v d="$desktop" -v s="$SHOWN" 'BEGIN { exit !(p >= 0.4 * d && p <= 2.5 * d && s <= p + 1) }' ||
    fail "at Rest 20: $PASSES passes/s ($desktop on X11), $SHOWN shown/s"
first=1
for row in "${cases[@]}"; do
    IFS='|' read -r how action expected <<<"$row"
    note "ended by $how"
    # shellcheck disable=SC2086  # one argument a setting
    write_settings $stored MonoColor=0x1FFFFFFF
    start_saver /s
    wait_for_wayland_saver
    [ -z "$first" ] || expect_pictures
    first=""
    if [ "$action" = "kill -TERM" ]; then kill -TERM "$SAVER_PID"; else $action; fi
    wait_for_saver_exit_within 2000
    [ "$SAVER_RC" -eq 0 ] || fail "ended by $how with code $SAVER_RC"
    for pair in $expected; do expect_setting "${pair%%=*}" "${pair#*=}"; done
done
echo "PASS"
