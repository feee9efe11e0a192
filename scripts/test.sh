#!/usr/bin/env bash
# The README's test command: installs what is missing, configures, builds and
# runs every test under Wine inside one Xvfb display.
#   bash scripts/test.sh [CTEST-ARGUMENTS]   e.g. -R panel_tests
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
build_all

# The Windows-free code built natively with the host compiler, under
# AddressSanitizer and UndefinedBehaviorSanitizer, with its own CTest run.
# Skipped when CTest arguments pick tests (OSTREL_NATIVE=1 runs it anyway).
native_status=0
if [ $# -eq 0 ] || [ "${OSTREL_NATIVE:-0}" = 1 ]; then
  echo "== native tests (host compiler, sanitizers) =="
  log="$build/native-build.log"
  if build_native >"$log" 2>&1; then
    (cd "$build/native" && ctest --output-on-failure) || native_status=$?
  else
    native_status=1
    tail -n 40 "$log"
    echo "native build failed (full log: $log)"
  fi
  echo "== Wine tests =="
fi
start_wine_session
echo "== 32-bit code runs $(ia32_mode) =="

cd "$build"
wine_status=0
ctest --output-on-failure -j2 "$@" || wine_status=$?
if [ "$native_status" -ne 0 ]; then
  echo "native tests failed (see above)"
  exit "$native_status"
fi
exit "$wine_status"
