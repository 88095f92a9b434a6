#!/usr/bin/env bash
# The back end's own tests that need a display (the modal loop, the GL context), run on a
# virtual one: test_x11 skips them unless LUMIVEX_DISPLAY_TESTS=1.
source "$(dirname "$0")/lib.sh"
e2e_init "${1:-}"
tests="${2:-${LUMIVEX_TEST_X11:-}}" # or test_win32, under Wine
[ -x "$tests" ] || fail "LUMIVEX_TEST_X11 does not name the test_x11 program"

start_xvfb 640x480
LUMIVEX_DISPLAY_TESTS=1 timeout 120 ${RUN_PROGRAM:-} "$tests" --gtest_filter='*OnDisplay*' \
    --gtest_brief=1 >"$E2E_TMP/tests.out" 2>&1 && grep -q '^\[  PASSED  \] [1-9]' "$E2E_TMP/tests.out" || {
    cat "$E2E_TMP/tests.out"
    fail "$(basename "$tests") failed on the display"
}
grep -q 'SKIPPED' "$E2E_TMP/tests.out" && fail "tests skipped although there is a display: $(cat "$E2E_TMP/tests.out")"
tail -n 2 "$E2E_TMP/tests.out"
echo "PASS"
