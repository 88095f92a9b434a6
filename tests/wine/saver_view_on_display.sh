#!/usr/bin/env bash
# The back end's own tests that need a display under Wine (the view's device context on the
# screen), run on a virtual one: test_win32 skips them unless LUMIVEX_DISPLAY_TESTS=1.
source "$(dirname "$0")/lib.sh"
e2e_init "${1:-}"
tests="${LUMIVEX_TEST_WIN32:-}"
[ -f "$tests" ] || fail "LUMIVEX_TEST_WIN32 does not name the test_win32 program"

start_xvfb 640x480
LUMIVEX_DISPLAY_TESTS=1 timeout 120 wine "$tests" --gtest_filter='*OnDisplay*' --gtest_brief=1 \
    >"$E2E_TMP/tests.out" 2>&1 || {
    cat "$E2E_TMP/tests.out"
    fail "test_win32 failed on the display"
}
grep -q 'SKIPPED' "$E2E_TMP/tests.out" && fail "tests skipped although there is a display: $(cat "$E2E_TMP/tests.out")"
grep -q 'PASSED.* 1 test' "$E2E_TMP/tests.out" || fail "no display test ran: $(cat "$E2E_TMP/tests.out")"
tail -n 2 "$E2E_TMP/tests.out"
echo "PASS"
