#!/usr/bin/env bash
# The long fuzz runs; the test run gives each a short, seeded turn.
#
#   bash scripts/fuzz.sh files [ARGUMENTS]
# Hostile plug-in files: builds, then runs the fuzzer under Wine in a private
# X display. Cases that crash, hang or let an exception out are saved under
# tests/reliability/cases/ (commit them: the test suite replays them).
#   bash scripts/fuzz.sh files                      # 10 minutes, seed from the clock
#   bash scripts/fuzz.sh files --seed 7 --seconds 3600 --count 100000
#   bash scripts/fuzz.sh files --replay             # only the saved reproducers
# Same seed and count give the same cases. OSTREL_FUZZ_NO_BUILD=1 skips the build.
#
#   bash scripts/fuzz.sh native [SECONDS-PER-TARGET, default 300] [TARGET...]
# libFuzzer on the Windows-free code. Targets: instruction_length trampoline
# number_formats calibration damage_rules. Corpora stay in
# build/native/fuzz/corpus/<target> and grow from run to run; a failing input
# is written to build/native/fuzz/fuzz-artifacts/ and can be replayed with:
# build/native/fuzz/fuzz_<target> <file>
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

fuzz_files() {
  [ $# -gt 0 ] || set -- --seed "$(date +%s)" --seconds 600
  [ -n "${OSTREL_FUZZ_NO_BUILD:-}" ] || build_all
  start_wine_session
  mkdir -p "$build/testrun/file_fuzz_long"
  cd "$build/testrun/file_fuzz_long"
  OSTREL_BUILD_DIR="$build" OSTREL_SOURCE_DIR="$root" wine "$build/tests/reliability/file_fuzz.exe" "$@"
}

fuzz_native() {
  local seconds="${1:-300}" fuzz="$build/native/fuzz" t corpus
  shift || true
  [ $# -gt 0 ] || set -- instruction_length trampoline number_formats calibration damage_rules
  build_native fuzzers
  mkdir -p "$fuzz/fuzz-artifacts"
  for t in "$@"; do
    corpus="$fuzz/corpus/$t"
    mkdir -p "$corpus"
    echo "== $t: $seconds s =="
    "$fuzz/fuzz_$t" -max_total_time="$seconds" -max_len=4096 -print_final_stats=1 \
      -artifact_prefix="$fuzz/fuzz-artifacts/$t-" "$corpus"
  done
}

case "${1:-}" in
  files) shift; fuzz_files "$@" ;;
  native) shift; fuzz_native "$@" ;;
  *) echo "usage: fuzz.sh files [ARGUMENTS] | fuzz.sh native [SECONDS] [TARGET...]" >&2; exit 2 ;;
esac
