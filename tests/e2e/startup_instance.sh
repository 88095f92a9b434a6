#!/usr/bin/env bash
# While another process holds the single-instance guard, a start ends at once with code 0 and
# leaves the settings file byte-for-byte as it was.
source "$(dirname "$0")/lib.sh"
e2e_init "${1:-}"
unset DISPLAY
command -v flock >/dev/null || fail "flock (util-linux) is not installed"

mkdir -p "$(dirname "$SETTINGS_FILE")"
printf 'REGEDIT4\r\n\r\n[%s]\r\n"Rest"=dword:00001388\r\n"Odd"=hex:00\r\n; kept as written\r\n' \
    "$SETTINGS_KEY" >"$SETTINGS_FILE"
cp "$SETTINGS_FILE" "$E2E_TMP/before.reg"

# This shell holds the lock as a first instance would.
exec 9>"${SETTINGS_FILE%/*}/LumivexGLSemaphore.lock"
flock -n 9 || fail "could not take the lock"
for args in "/p" "/s" "" "/a 1234"; do
    rc=0
    # shellcheck disable=SC2086
    timeout 10 "$LUMIVEX_GL" $args >"$E2E_TMP/second.out" 2>&1 || rc=$?
    [ "$rc" -eq 0 ] || fail "'$args' ended with code $rc while the guard was held (124 = hung)"
    [ ! -s "$E2E_TMP/second.out" ] || fail "'$args' printed: $(cat "$E2E_TMP/second.out")"
    cmp -s "$SETTINGS_FILE" "$E2E_TMP/before.reg" || fail "'$args' changed the settings file"
done
exec 9>&-

# Released: the next start runs and saves (the pause is clamped from 5000 to 2000).
timeout 10 "$LUMIVEX_GL" /p >/dev/null 2>&1 || fail "the start after the release failed"
expect_setting Rest 2000
echo "PASS"
