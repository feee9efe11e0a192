#!/usr/bin/env bash
# The long hostile-file fuzz: builds, then runs the fuzzer under Wine in a
# private X display. Cases that crash, hang or let an exception out are saved
# under tests/reliability/cases/ (commit them: the test suite replays them).
#   bash scripts/fuzz-files.sh                       # 10 minutes, seed from the clock
#   bash scripts/fuzz-files.sh --seed 7 --seconds 3600 --count 100000
#   bash scripts/fuzz-files.sh --replay              # only the saved reproducers
# Same seed and count give the same cases.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${OSTREL_BUILD:-$root/build}"

args=("$@")
if [ ${#args[@]} -eq 0 ]; then args=(--seed "$(date +%s)" --seconds 600); fi

if [ -z "${OSTREL_FUZZ_NO_BUILD:-}" ]; then bash "$root/scripts/build.sh"; fi
. "$root/scripts/wine-session.sh"
start_wine_session

run="$build/testrun/file_fuzz_long"
mkdir -p "$run"
cd "$run"
OSTREL_BUILD_DIR="$build" OSTREL_SOURCE_DIR="$root" \
  wine "$build/tests/reliability/file_fuzz.exe" "${args[@]}"
