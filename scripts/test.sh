#!/usr/bin/env bash
# The README's test command: installs what is missing, configures, builds and
# runs every test under Wine inside one Xvfb display.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${OSTREL_BUILD:-$root/build}"

bash "$root/scripts/build.sh"
. "$root/scripts/wine-env.sh"
. "$root/scripts/xvfb.sh"
start_xvfb
# One wineserver and its service processes for the whole run, started here
# with no pipes of CTest's, so a lingering service never holds a test's output.
# The server stays up afterwards: other runs may share the prefix.
wineserver -p </dev/null >/dev/null 2>&1 || true
wine cmd.exe /c exit </dev/null >/dev/null 2>&1 || true
trap stop_xvfb EXIT

cd "$build"
ctest --output-on-failure -j2 "$@"
