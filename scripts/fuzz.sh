#!/usr/bin/env bash
# Runs the registry-file fuzzer (tests/fuzz) for SECONDS (default 30) from its corpus, in a copy
# under build/fuzz so that the inputs it finds do not change the sources. A crash fails the run
# and leaves the input beside the corpus (build/fuzz/crash-*). Skipped, with a message, where the
# compiler has no libFuzzer.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}

probe=$(mktemp -d)
trap 'rm -rf "$probe"' EXIT
printf 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }\n' \
    >"$probe/probe.cpp"
if ! command -v clang++ >/dev/null ||
    ! clang++ -fsanitize=fuzzer "$probe/probe.cpp" -o "$probe/probe" 2>/dev/null; then
    echo "fuzz: skipped, clang++ with libFuzzer is not installed (clang, libclang-rt-14-dev)"
    exit 0
fi

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
mkdir -p build/fuzz/corpus
cp tests/fuzz/corpus/* build/fuzz/corpus/
echo "fuzz: fuzz_registry_file for ${seconds} s"
(cd build/fuzz && tests/fuzz/fuzz_registry_file -max_total_time="$seconds" -print_final_stats=1 \
    corpus 2>fuzz.log) || { tail -n 60 build/fuzz/fuzz.log >&2; exit 1; }
grep -E '^(#[0-9]+[[:space:]]+DONE|stat::number_of_executed_units)' build/fuzz/fuzz.log || true
