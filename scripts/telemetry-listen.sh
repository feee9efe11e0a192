#!/usr/bin/env bash
# Listens for the plug-in's telemetry on a UDP port under Wine and prints a
# line a second (format, packet rate, main values).
#   bash scripts/telemetry-listen.sh [PORT] [--seconds N]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${OSTREL_BUILD:-$root/build}"
exe="$build/tools/telemetry/telemetry-listen.exe"
[ -x "$exe" ] || bash "$root/scripts/build.sh" >&2
. "$root/scripts/wine-env.sh"
exec wine "$exe" "$@" </dev/null
