#!/usr/bin/env bash
# Builds and runs every test: the layout of the sources and clang-tidy over them, the Windows
# cross build with its tests under Wine (the portable unit tests, the import check of LMVXSVGL.SCR
# and its end-to-end runs), the sanitizer build with its unit and end-to-end tests, the
# registry-file fuzzer for 30 s, the native build with unit and end-to-end tests, then the web
# page in headless Chromium (after the native build: its GL stream test compares the two).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/check-style.sh
bash scripts/check-tidy.sh

cmake --preset windows >/dev/null
cmake --build --preset windows
ctest --preset windows -j2

cmake --preset asan >/dev/null
cmake --build --preset asan
ctest --preset asan -j2 -LE e2e
# The real program under the sanitizers too; Mesa's own leaks (from libraries already unloaded,
# so they cannot be suppressed by name) are not ours to report.
# The package is built and installed from the native build only.
(cd build/asan && ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest -j2 -L e2e -LE package --output-on-failure)

bash scripts/fuzz.sh 30

cmake --preset native >/dev/null
cmake --build --preset native
ctest --preset native -j2

cmake --preset web >/dev/null
cmake --build --preset web
ctest --preset web -j2
