#!/usr/bin/env bash
# Builds dist/OSTREL-<version>.zip: what a player unzips into the game folder.
#   Plugins/OSTREL.dll
#   Plugins/OSTREL/   default settings templates, damage texture set, sample gauges
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${OSTREL_BUILD:-$root/build}"
version=$(sed -n 's/^project(OSTREL VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")

bash "$root/scripts/build.sh" >/dev/null
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir -p "$stage/Plugins/OSTREL"
cp "$build/src/OSTREL.dll" "$stage/Plugins/"
cp -r "$root/assets/plugin/." "$stage/Plugins/OSTREL/"
# The shipped gauge sets also serve as templates that update an existing
# installation's gauge folders on start-up.
if [ -d "$root/assets/plugin/Gauges.default" ]; then
  cp -r "$root/assets/plugin/Gauges.default" "$stage/Plugins/OSTREL/GaugeTemplates"
fi
mkdir -p "$root/dist"
out="$root/dist/OSTREL-$version.zip"
rm -f "$out"
(cd "$stage" && zip -qr -X "$out" Plugins)
echo "$out"
