#!/usr/bin/env bash
# wine-run.sh PREFIX PROGRAM [ARGS...]: runs a Windows program under Wine in the private 32-bit
# prefix PREFIX, which is created on first use (about 10 s) and reused afterwards. Quiet, and
# nothing lands in the caller's home; the prefix is made without a display, so no dialog shows.
set -euo pipefail
[ $# -ge 2 ] || { echo "usage: wine-run.sh PREFIX PROGRAM [ARGS...]" >&2; exit 2; }
prefix=$(realpath -m -- "$1") # Wine wants it absolute
shift
command -v wine >/dev/null || { echo "wine-run.sh: wine is not installed (scripts/install-deps.sh)" >&2; exit 2; }

export WINEPREFIX=$prefix WINEARCH=win32 WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko installers, no menu entries or file associations written to the home.
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=d${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}"

# Parallel runs wait for the one that creates the prefix; a half-made prefix (an interrupted
# creation) has no marker and is made again.
mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
flock 9
if [ ! -f "$prefix/.complete" ]; then
    rm -rf -- "$prefix"
    env -u DISPLAY -u WAYLAND_DISPLAY wineboot --init >/dev/null 2>&1 9>&- &&
        wineserver --wait 9>&- ||
        { echo "wine-run.sh: cannot create the Wine prefix $prefix" >&2; exit 1; }
    touch "$prefix/.complete"
fi
flock -u 9
exec 9>&-

# Wine's background processes (server, services) inherit standard error and outlive the program
# by a second or so; whoever reads that pipe (CTest) would wait for them. They get a file instead.
errors=$(mktemp "${TMPDIR:-/tmp}/wine-run.XXXXXX")
trap 'rm -f "$errors"' EXIT
status=0
wine "$@" 2>"$errors" || status=$?
cat "$errors" >&2
exit "$status"
