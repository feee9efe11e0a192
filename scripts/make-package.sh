#!/usr/bin/env bash
# Makes the release zip from a finished build, without building:
#   make-package.sh BUILD-DIR OUTPUT-ZIP
# The zip holds what a player unzips into the game folder:
#   Plugins/OSTREL.dll
#   Plugins/OSTREL/   default settings templates, damage texture set, sample
#                     gauge set, and the gauge templates that update an
#                     existing installation's gauge folders on start-up
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$1"
out="$(cd "$(dirname "$2")" && pwd)/$(basename "$2")"
[ -f "$build/src/OSTREL.dll" ] || { echo "make-package: no $build/src/OSTREL.dll; build first" >&2; exit 1; }
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir -p "$stage/Plugins/OSTREL"
cp "$build/src/OSTREL.dll" "$stage/Plugins/"
cp -r "$root/assets/plugin/." "$stage/Plugins/OSTREL/"
cp -r "$root/assets/plugin/Gauges.default" "$stage/Plugins/OSTREL/GaugeTemplates"
rm -f "$out"
(cd "$stage" && zip -qr -X "$out" Plugins)
echo "$out"
