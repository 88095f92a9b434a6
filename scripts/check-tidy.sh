#!/usr/bin/env bash
# Fails when clang-tidy (the checks of .clang-tidy) finds anything in src/: every portable and X11
# source through the native build's compile commands, then the Windows back end (src/platform/win32,
# compiled only by the cross build) through the Windows build's, as clang for the mingw-w64 target.
# Findings go to standard error. JOBS (default 2) clang-tidy processes run at once.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=${JOBS:-2}

tidy_runner=$(command -v run-clang-tidy-14 || command -v run-clang-tidy) ||
    { echo "check-tidy: run-clang-tidy is not installed (clang-tidy)" >&2; exit 1; }
log=$(mktemp)
trap 'rm -f "$log"' EXIT

# Runs clang-tidy over the files of a build whose path matches a regex; extra arguments go to
# run-clang-tidy. Shown only on a finding: each finding once (one in a header is reported by
# every file that includes it), without the command lines and counts.
tidy() {
    local build=$1 files=$2
    shift 2
    if ! "$tidy_runner" -quiet -j "$jobs" -p "$build" "$@" "$files" >"$log" 2>&1; then
        sed 's/\x1b\[[0-9;]*m//g' "$log" |
            grep -Ev '^(clang-tidy(-[0-9]+)? |[0-9]+ warnings? (and [0-9]+ errors? )?generated)' |
            awk '/^[^ ]+:[0-9]+:[0-9]+: (error|warning): / { if (!seen[block]++) printf "%s", block
                                                             block = "" }
                 { block = block $0 "\n" }
                 END { if (!seen[block]++) printf "%s", block }' >&2
        echo "check-tidy: clang-tidy found the above in $build; fix them (see .clang-tidy)" >&2
        exit 1
    fi
}

root=$(printf '%s' "$PWD" | sed 's/[][\.*^$+?(){}|]/\\&/g')
started=$SECONDS
cmake --preset native >/dev/null
# The Wayland back end and the idle watcher include the protocol headers the build makes.
cmake --build --preset native --target lumivex_wayland_protocols lumivex_idle_protocols >/dev/null
tidy build/native "^$root/src/.*\.cpp$"

# The mingw-w64 C++ library lives with its gcc, where clang for that target does not look.
cmake --preset windows >/dev/null
windows_includes=()
while read -r dir; do
    windows_includes+=("-extra-arg=-isystem$dir")
done < <(i686-w64-mingw32-g++ -xc++ -E -v /dev/null 2>&1 >/dev/null |
    sed -n '/^#include <\.\.\.>/,/^End of search list/p' | grep '/c++' | sed 's/^ *//')
[ ${#windows_includes[@]} -gt 0 ] ||
    { echo "check-tidy: no C++ headers of i686-w64-mingw32-g++ (g++-mingw-w64-i686)" >&2; exit 1; }
tidy build/windows "^$root/src/platform/win32/.*\.cpp$" "${windows_includes[@]}"
echo "check-tidy: no findings in src/ (native and Windows builds, $((SECONDS - started)) s)"
