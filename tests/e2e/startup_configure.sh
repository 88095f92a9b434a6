#!/usr/bin/env bash
# Configure mode (no argument, /c, /c:1234) prints the help to standard output and ends with 0.
source "$(dirname "$0")/lib.sh"
e2e_init "${1:-}"
unset DISPLAY

for args in "" "/c" "/C:1234" "-c"; do
    rc=0
    # shellcheck disable=SC2086  # the empty case must pass no argument at all
    timeout 10 "$LUMIVEX_GL" $args >"$E2E_TMP/help.out" 2>"$E2E_TMP/help.err" || rc=$?
    [ "$rc" -eq 0 ] || fail "'$args' ended with code $rc"
    grep -q '^Usage: lumivex-gl' "$E2E_TMP/help.out" || fail "'$args' printed no help"
    grep -q '"NumOfReflections"' "$E2E_TMP/help.out" || fail "the help names no settings"
    [ ! -s "$E2E_TMP/help.err" ] || fail "'$args' wrote to standard error"
done
expect_setting Rest 20
echo "PASS"
