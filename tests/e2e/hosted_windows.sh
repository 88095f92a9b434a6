#!/usr/bin/env bash
# In a host's window, as a settings dialog's preview (--root --window-id on a 400x300 pane at
# 100,100 of an 800x600 window): it draws only inside the pane, every pixel around it stays
# grey, and it follows a resize of the pane to 600x400. With --fps the frame rate is the only
# text, at the bottom left of the pane. When the host destroys its window, at any moment from
# 0.02 to 2 s after the start, the saver ends within 2 s with 0, saying nothing. Two instances in two windows at once (chosen by XSCREENSAVER_WINDOW alone,
# as some hosts do) both draw. Input over the pane leaves it alone. No hosted run writes the
# settings file. A 32767x32767 host window, more than the GL draws, ends the run with one line and
# code 1.
source "$(dirname "$0")/lib.sh"
e2e_init "${1:-}"

start_xvfb 800x600
write_settings NumOfReflections=12 Reflected=1 NumOfElements=3 Rest=20
cp "$SETTINGS_FILE" "$E2E_TMP/before.reg"

note "preview pane, resized"
start_host window 800x600+0+0 400x300+100+100
start_saver --root --window-id "$(printf '0x%x' "$HOST_WINDOWS")"
sleep 1
# The host owns the input: keys, clicks and movements over the pane are none of its business.
send mousemove 200 200 mousemove 300 300 click 1 key a Escape
sleep 1
saver_running || fail "input over the pane ended the hosted saver"
screenshot "$E2E_TMP/pane.png"
expect_drawn_inside "$E2E_TMP/pane.png" 100,100,400,300
send windowsize "$HOST_WINDOWS" 600 400
sleep 2
screenshot "$E2E_TMP/resized.png"
expect_drawn_inside "$E2E_TMP/resized.png" 100,100,600,400
# The view grew with the pane: the picture is centred in the new pane, with its symmetry.
expect_symmetric "$E2E_TMP/resized.png" 600x400+100+100

note "--fps"
# The picture in shades of blue: what has red in it is the text.
start_host window 800x600+0+0 400x300+100+100
start_saver --window-id "$HOST_WINDOWS" --fps --colour 6
sleep 2.5
screenshot "$E2E_TMP/fps.png"
expect_drawn_inside "$E2E_TMP/fps.png" 100,100,400,300 text=100,370,80,30
kill -TERM "$SAVER_PID"
wait_for_saver_exit 5
[ "$SAVER_RC" -eq 0 ] && [ ! -s "$SAVER_OUT" ] || fail "--fps ended with $SAVER_RC"

note "the host's window destroyed at random moments"
# As a preview does while the user clicks through the options, start-up included.
for delay in $(python3 -c 'import random; print(*(f"{random.uniform(0.02, 2):.2f}" for _ in range(12)))'); do
    start_host window 800x600+0+0 400x300+100+100
    start_saver --root --window-id "$HOST_WINDOWS"
    sleep "$delay"
    started=$(date +%s%N)
    stop_host
    wait_for_saver_exit 5
    took=$((($(date +%s%N) - started) / 1000000))
    [ "$SAVER_RC" -eq 0 ] && [ "$took" -le 2000 ] && [ ! -s "$SAVER_OUT" ] ||
        fail "destroyed after $delay s: ended with $SAVER_RC after $took ms"
    echo "destroyed after $delay s: ended with 0 after $took ms"
done

note "two instances"
start_host window 800x600+0+0 380x280+10+10 380x280+410+310
read -r first second <<<"$(echo $HOST_WINDOWS)"
XSCREENSAVER_WINDOW=$first start_saver
XSCREENSAVER_WINDOW=$second "$LUMIVEX_GL" >"$E2E_TMP/second.out" 2>&1 &
second_pid=$!
sleep 2
screenshot "$E2E_TMP/two.png"
expect_drawn_inside "$E2E_TMP/two.png" 10,10,380,280 410,310,380,280
kill -TERM "$SAVER_PID" "$second_pid"
wait_for_saver_exit 5
[ "$SAVER_RC" -eq 0 ] || fail "the first instance ended with $SAVER_RC"
second_rc=0
wait "$second_pid" || second_rc=$?
[ "$second_rc" -eq 0 ] || fail "the second instance ended with $second_rc"

note "a host window larger than the GL draws"
start_host window 32767x32767+0+0
rc=0
timeout 20 "$LUMIVEX_GL" --window-id "$HOST_WINDOWS" >"$E2E_TMP/huge.out" 2>&1 || rc=$?
[ "$rc" -eq 1 ] && [ "$(wc -l <"$E2E_TMP/huge.out")" -eq 1 ] &&
    grep -q "32767x32767 pixels, more than the .* the GL draws" "$E2E_TMP/huge.out" ||
    fail "a 32767x32767 window ended with $rc: $(cat "$E2E_TMP/huge.out")"

cmp -s "$SETTINGS_FILE" "$E2E_TMP/before.reg" || fail "a hosted run wrote the settings file"
echo "PASS"
