#!/usr/bin/env bash
# Native micro-benchmarks (Google Benchmark) of the per-frame Windows-free
# code: the damage rules over all 88 parts, the length decoder over real code,
# the number formats. Prints time per operation. Extra arguments go to the
# benchmark program, e.g. --benchmark_filter=Classify
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${OSTREL_BUILD:-$root/build}"
native="$build/native"
CC=gcc CXX=g++ cmake -S "$root/native" -B "$native" -G Ninja >/dev/null
cmake --build "$native" --target native_bench >/dev/null
"$native/bench/native_bench" --benchmark_time_unit=ns "$@"
