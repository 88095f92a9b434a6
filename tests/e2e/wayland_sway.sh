#!/usr/bin/env bash
# /s drawn natively on sway (headless, two outputs of different sizes side by side, no X server):
# a focused full-screen view covers each output, none inhibiting idleness; each output shows a
# picture of its own with the symmetry of 12 mirrored reflections about that output's centre, and
# its trails build up. A key, a click and SIGTERM each end the saver with 0 within 2 s, the
# settings as they were; Caps Lock on, W, then Escape saves FullScreen flipped.
source "$(dirname "$0")/lib.sh"
e2e_init "${1:-}"
start_sway 640x480+0+0 400x400+640+40

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

# how it ends | what is sent | FullScreen saved
cases=(
    "a key|wl_input space|0"
    "a click|wl_input click|0"
    "SIGTERM|kill -TERM|0"
    "Caps Lock, W, Escape|wl_input Caps_Lock w Escape|1"
)
first=1
for row in "${cases[@]}"; do
    IFS='|' read -r how action fullscreen <<<"$row"
    note "ended by $how"
    write_settings NumOfReflections=12 Reflected=1 FullScreen=0 NumOfElements=3 Rest=100
    start_saver /s
    wait_for_wayland_saver
    [ -z "$first" ] || expect_pictures
    first=""
    if [ "$action" = "kill -TERM" ]; then kill -TERM "$SAVER_PID"; else $action; fi
    wait_for_saver_exit_within 2000
    [ "$SAVER_RC" -eq 0 ] || fail "ended by $how with code $SAVER_RC"
    expect_setting FullScreen "$fullscreen"
done
echo "PASS"
