#!/usr/bin/env bash
# unit_on_display.sh LMVXSVGL.SCR TEST.EXE: the back end's unit tests that make windows (the
# *OnDisplay suites), which the unit run leaves out, under Wine on a private display.
source "$(dirname "$0")/lib.sh"
e2e_init "${1:-}"
[ -f "${2:-}" ] || fail "no unit test program given (argument 2)"
start_xvfb 640x480
rc=0
timeout 120 wine "$2" --gtest_filter='*OnDisplay.*' --gtest_brief=1 >"$SAVER_OUT" 2>&1 || rc=$?
# A lost exit status on the way through Wine must not pass: the verdict is read too.
[ "$rc" -eq 0 ] && grep -q '^\[  PASSED  \] [1-9]' "$SAVER_OUT" && ! grep -q 'FAILED' "$SAVER_OUT" ||
    fail "the tests on the display failed (code $rc)"
echo "PASS"
