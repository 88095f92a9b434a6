#!/usr/bin/env bash
# e2e.sh SCRIPT LMVXSVGL.SCR: runs one of the Linux end-to-end scripts (tests/e2e) against the
# Windows saver under Wine. Sourced from here, the script takes this folder's lib.sh as its own,
# whose helpers mean the same and reach the .SCR; the expectations stay in one place.
[ $# -ge 1 ] || { echo "usage: e2e.sh SCRIPT [LMVXSVGL.SCR]" >&2; exit 2; }
script=$1
shift
source "$script" "$@"
