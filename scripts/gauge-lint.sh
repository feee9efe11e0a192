#!/usr/bin/env bash
# Checks gauge definition files (or folders of them) and the images they
# name, under Wine; one line per problem, "file:section:key: message".
#   bash scripts/gauge-lint.sh [--no-images] PATH...
# Exit status: 0 no errors, 1 errors found, 2 bad command line.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${OSTREL_BUILD:-$root/build}"
exe="$build/tools/gauges/gauge-lint.exe"
[ -x "$exe" ] || bash "$root/scripts/build.sh" >&2
# No display needed: images are decoded, not drawn.
. "$root/scripts/wine-env.sh"
# Paths stay as written: Wine's current folder is this one (drive Z: is the
# Unix root), so relative and absolute paths both resolve, and the messages
# name files the way the author wrote them.
status=0
wine "$exe" "$@" </dev/null || status=$?
exit "$status"
