#!/usr/bin/env bash
# Peak memory and time of reading and saving a huge settings file: the real lumivex-gl run as
# `/p` (no display needed) loads the file, adds its settings and writes it back. Two kinds of file,
# each of 4, 16 and 64 MiB (less 1 KiB, so that the save stays under the 64 MiB a file may hold):
#   blank     the header and then blank lines only
#   keys      a section with one value each, [HKEY_CURRENT_USER\Software\Bench\Key0000001]
# Peak memory (maximum resident set), elapsed time and CPU time (user + system, which a busy machine
# disturbs less) come from /usr/bin/time -v.
#
#   bench/settings_file.sh [lumivex-gl binary]   (default build/native/lumivex-gl, built if missing)
#   SETTINGS_SIZES="4 16" bench/settings_file.sh   sizes in MiB
set -euo pipefail
cd "$(dirname "$0")/.."
binary="${1:-$PWD/build/native/lumivex-gl}"
[ -x "$binary" ] || { cmake --preset native >/dev/null && cmake --build --preset native --target lumivex-gl; }
binary=$(realpath "$binary")

work="$(mktemp -d "${TMPDIR:-/tmp}/lumivex-settings.XXXXXX")"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/config/lumivex-gl" "$work/runtime"
chmod 700 "$work/runtime"
file="$work/config/lumivex-gl/registry.reg"

make_file() { # kind bytes
    python3 - "$1" "$2" "$file" <<'EOF'
import sys
kind, size, path = sys.argv[1], int(sys.argv[2]), sys.argv[3]
head = b"REGEDIT4\n\n"
if kind == "blank":
    body = b"\n" * (size - len(head))
else:
    entry = b'[HKEY_CURRENT_USER\\Software\\Bench\\Key%07d]\n"Value"=dword:%08x\n\n'
    parts, total, n = [], len(head), 0
    while total + len(entry % (n, n)) <= size:
        parts.append(entry % (n, n))
        total += len(parts[-1])
        n += 1
    body = b"".join(parts) + b"\n" * (size - total)
with open(path, "wb") as out:
    out.write(head + body)
EOF
}

printf '%-6s %8s %10s %10s %10s %5s\n' kind MiB "peak MB" seconds "cpu s" exit
for kind in blank keys; do
    for mib in ${SETTINGS_SIZES:-4 16 64}; do
        make_file "$kind" $((mib * 1024 * 1024 - 1024))
        status=0
        env -u DISPLAY -u WAYLAND_DISPLAY XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime" \
            /usr/bin/time -v -o "$work/time" "$binary" /p >/dev/null 2>"$work/stderr" || status=$?
        peak=$(awk -F': ' '/Maximum resident set size/ {printf "%.1f", $2 / 1024}' "$work/time")
        elapsed=$(awk -F': ' '/Elapsed \(wall clock\)/ {n = split($2, t, ":"); s = 0;
                  for (i = 1; i <= n; i++) s = s * 60 + t[i]; printf "%.2f", s}' "$work/time")
        cpu=$(awk -F': ' '/(User|System) time \(seconds\)/ {s += $2} END {printf "%.2f", s}' "$work/time")
        printf '%-6s %8s %10s %10s %10s %5s\n' "$kind" "$mib" "$peak" "$elapsed" "$cpu" "$status"
        [ "$status" -eq 0 ] || sed 's/^/    /' "$work/stderr" | head -3
    done
done
