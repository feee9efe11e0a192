#!/usr/bin/env bash
# Listens for the plug-in's telemetry on a UDP port under Wine and prints a
# line a second (format, packet rate, main values); built first when missing.
#   bash scripts/telemetry-listen.sh [PORT] [--seconds N]
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
exe="$build/tools/telemetry/telemetry-listen.exe"
[ -x "$exe" ] || build_all >&2
exec wine "$exe" "$@" </dev/null
