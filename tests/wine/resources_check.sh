#!/usr/bin/env bash
# resources_check.sh WINDRES LMVXSVGL.SCR: the display settings list a screen saver under its
# string resource 1 and show its first icon; the file's version block names it. All three must
# be in the built program.
set -euo pipefail
[ $# -eq 2 ] || { echo "usage: resources_check.sh WINDRES LMVXSVGL.SCR" >&2; exit 2; }
resources=$("$1" -i "$2" -O rc)
fail() { echo "FAIL: $*" >&2; exit 1; }
grep -q '^STRINGTABLE' <<<"$resources" || fail "no string table"
grep -qx '  1, "Lumivex GL"' <<<"$resources" || fail "string 1 is not \"Lumivex GL\""
grep -q '^1 14 /\* RT_GROUP_ICON \*/' <<<"$resources" || fail "no icon 1"
grep -q '^1 VERSIONINFO' <<<"$resources" || fail "no version block"
grep -q 'VALUE "OriginalFilename", "LMVXSVGL.SCR"' <<<"$resources" ||
    fail "the version block does not name LMVXSVGL.SCR"
echo "PASS"
