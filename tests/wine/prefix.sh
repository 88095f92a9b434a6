#!/usr/bin/env bash
# prefix.sh DIR: makes the Wine prefix the Windows end-to-end tests of one build share (about
# 15 s, once; a finished prefix is kept).
source "$(dirname "$0")/lib.sh"
[ $# -eq 1 ] || fail "usage: prefix.sh DIR"
command -v wine >/dev/null || fail "wine is not installed (scripts/install-deps.sh)"
prepare_prefix "$(realpath -m "$1")" || fail "cannot make a Wine prefix at $1"
echo "PASS"
