#!/usr/bin/env bash
# Builds and runs every test: the Windows cross build of the core, the sanitizer build with its
# tests, then the native build with unit and end-to-end tests (the last summary is the native one).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

cmake --preset windows >/dev/null
cmake --build --preset windows

cmake --preset asan >/dev/null
cmake --build --preset asan
ctest --preset asan -j2 -LE e2e

cmake --preset native >/dev/null
cmake --build --preset native
ctest --preset native -j2
