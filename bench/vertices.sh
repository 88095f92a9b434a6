#!/usr/bin/env bash
# Vertices a second of the default and the heavy picture: the element engine alone and through the
# batching GL layer on processor time (bench_elements), then drawn for real at 1920x1080 by the
# system's GL and by the batching layer over its ES 3 functions on a virtual display (Xvfb, Mesa's
# software rasterizer; bench_system_gl). Arguments go to both programs (e.g. --benchmark_filter).
#
#   bench/vertices.sh [benchmark options]   (builds the two programs in build/native if missing)
set -euo pipefail
cd "$(dirname "$0")/.."
bench=build/native/bench
[ -x "$bench/bench_elements" ] && [ -x "$bench/bench_system_gl" ] ||
    { cmake --preset native >/dev/null && cmake --build --preset native --target bench_elements bench_system_gl; }
source scripts/xvfb.sh
work="$(mktemp -d "${TMPDIR:-/tmp}/lumivex-vertices.XXXXXX")"
trap 'stop_virtual_display; rm -rf "$work"' EXIT
"$bench/bench_elements" "$@"
start_virtual_display 1920x1080 "$work" || { echo "Xvfb did not start" >&2; exit 1; }
"$bench/bench_system_gl" "$@"
