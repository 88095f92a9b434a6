#!/usr/bin/env bash
# Fails when a C++ source (src, tests, bench) is not laid out as .clang-format says; the diff of
# each such file goes to standard error. `clang-format -i FILE` lays a file out.
set -euo pipefail
cd "$(dirname "$0")/.."
# Tracked and new files, not those deleted in the working tree.
mapfile -t files < <(git ls-files --cached --others --exclude-standard -- \
    'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h' 'bench/*.cpp' 'bench/*.h' |
    while IFS= read -r file; do [ -f "$file" ] && echo "$file"; done)
[ ${#files[@]} -gt 0 ] || { echo "check-style: no sources found" >&2; exit 1; }
if ! clang-format --dry-run --Werror "${files[@]}"; then
    echo "check-style: badly formatted sources above; run clang-format -i on them" >&2
    exit 1
fi
echo "check-style: ${#files[@]} sources formatted as .clang-format says"
