#!/usr/bin/env bash
# gl_stream_compare.sh NATIVE_DRIVER NODE WEB_DRIVER.js: the GL call streams of the driver built
# natively and of the one built for the web (run by node), with the same seed and settings, are the
# same frame by frame, call by call, for the default picture, a tiled, translucent one with 24
# reflections, and a kept one started from the page's address. The first difference is shown.
set -euo pipefail
native=$1 node=$2 web=$3
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
compare() {
    local name=$1 line
    shift
    "$native" "$tmp/native" "$@"
    "$node" "$web" "$tmp/web" "$@"
    if ! line=$(cmp "$tmp/native" "$tmp/web"); then
        line=$(sed -n 's/.* line \([0-9]*\)$/\1/p' <<<"$line")
        echo "FAIL $name: frame $(head -n "${line:-0}" "$tmp/native" | grep -c '^frame'), line $line:"
        diff <(sed -n "${line}p" "$tmp/native") <(sed -n "${line}p" "$tmp/web") || true
        exit 1
    fi
    echo "ok: $name: the same $(grep -vc '^frame' "$tmp/native") calls in $(grep -c '^frame' "$tmp/native") frames"
}
compare "default picture" 200 640x480
compare "tiled, translucent, 24 reflections" 12 640x480 FullScreen=1 Alpha=1 NumOfReflections=24
compare "a kept picture, from the page's address" 30 320x240 \
    '?seed=4000000007&count=4&reflections=18&colour=6&tile&angle=45'
