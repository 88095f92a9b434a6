#!/usr/bin/env bash
# scripts/wine-run.sh must hand back what the Windows program did: its exit status (or every test
# under Wine would pass), its standard output and its standard error. Argument: the prefix.
set -uo pipefail
run="$(dirname "$0")/../../scripts/wine-run.sh"
prefix=$1
fail() { echo "FAIL: $*" >&2; exit 1; }

err=$(mktemp)
trap 'rm -f "$err"' EXIT
out=$(bash "$run" "$prefix" cmd /c "echo to-out& echo to-err 1>&2& exit 3" 2>"$err")
status=$?
[ "$status" -eq 3 ] || fail "exit status $status, expected 3"
[[ "$out" == *to-out* ]] || fail "standard output lost: '$out'"
grep -q to-err "$err" || fail "standard error lost: '$(cat "$err")'"

bash "$run" "$prefix" cmd /c "exit 0" 2>"$err" || fail "a program that succeeds is reported failing"

bash "$run" "$prefix" 2>"$err" && fail "no program given, yet success"
grep -q usage "$err" || fail "no usage line: '$(cat "$err")'"
echo "wine-run.sh passes status, output and errors through"
