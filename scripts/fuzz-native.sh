#!/usr/bin/env bash
# Longer libFuzzer runs of the Windows-free code (the test run gives each
# target a few seconds). Usage:
#   bash scripts/fuzz-native.sh [seconds per target, default 300] [target ...]
# Targets: instruction_length trampoline number_formats calibration damage_rules.
# Corpora stay in build/native/fuzz/corpus/<target> and grow from run to run;
# a failing input is written to build/native/fuzz/fuzz-artifacts/ and can be
# replayed with: build/native/fuzz/fuzz_<target> <file>
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${OSTREL_BUILD:-$root/build}"
native="$build/native"
seconds="${1:-300}"
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(instruction_length trampoline number_formats calibration damage_rules)

CC=gcc CXX=g++ cmake -S "$root/native" -B "$native" -G Ninja >/dev/null
cmake --build "$native" --target fuzzers
mkdir -p "$native/fuzz/fuzz-artifacts"
for t in "${targets[@]}"; do
  corpus="$native/fuzz/corpus/$t"
  mkdir -p "$corpus"
  echo "== $t: $seconds s =="
  "$native/fuzz/fuzz_$t" -max_total_time="$seconds" -max_len=4096 -print_final_stats=1 \
    -artifact_prefix="$native/fuzz/fuzz-artifacts/$t-" "$corpus"
done
