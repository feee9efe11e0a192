#!/usr/bin/env bash
# The release zip: what a player unzips into the game folder.
#   bash scripts/package.sh                          builds, then dist/OSTREL-<version>.zip
#   bash scripts/package.sh --from BUILD-DIR OUTPUT-ZIP   packs a finished build, builds nothing
# The zip holds:
#   Plugins/OSTREL.dll
#   Plugins/OSTREL/   default settings templates, damage texture set, sample
#                     gauge set, and the gauge templates that update an
#                     existing installation's gauge folders on start-up
#   Plugins/OSTREL/README.txt        the player's guide as plain text
#   Plugins/OSTREL/Tools/            gauge-preview.exe, gauge-lint.exe, telemetry-listen.exe and
#                                    their README.txt, for gauge authors
# The zipped DLL is stripped; its debug information goes beside the zip as
# OUTPUT-ZIP without .zip + ".dll.debug", which the DLL names in its debug
# link: keep it with the release to turn a crash offset into a source line.
# Prints the zip's and the symbols' paths.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

if [ "${1:-}" = --from ]; then
  [ $# -eq 3 ] || { echo "usage: package.sh --from BUILD-DIR OUTPUT-ZIP" >&2; exit 2; }
  from="$(cd "$2" && pwd)"
  out="$(cd "$(dirname "$3")" && pwd)/$(basename "$3")"
else
  build_all >/dev/null
  version=$(sed -n 's/^project(OSTREL VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
  mkdir -p "$root/dist"
  from="$build"
  out="$root/dist/OSTREL-$version.zip"
fi

[ -f "$from/src/OSTREL.dll" ] || { echo "package: no $from/src/OSTREL.dll; build first" >&2; exit 1; }
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir -p "$stage/Plugins/OSTREL"
symbols="${out%.zip}.dll.debug"
i686-w64-mingw32-objcopy --only-keep-debug "$from/src/OSTREL.dll" "$symbols"
# The link is made from the symbols file's own directory: it records the file's
# name and checksum, not where it lies.
(cd "$(dirname "$symbols")" && i686-w64-mingw32-objcopy --strip-all --add-gnu-debuglink="$(basename "$symbols")" \
  "$from/src/OSTREL.dll" "$stage/Plugins/OSTREL.dll")
cp -r "$root/assets/plugin/." "$stage/Plugins/OSTREL/"
cp -r "$root/assets/plugin/Gauges.default" "$stage/Plugins/OSTREL/GaugeTemplates"
# The readmes are made from the guides, so the two never disagree.
python3 "$root/scripts/guide_to_text.py" "$root/docs/players-guide.md" "$stage/Plugins/OSTREL/README.txt"
tools="$stage/Plugins/OSTREL/Tools"
mkdir -p "$tools"
for exe in gauge-preview gauge-lint; do
  [ -f "$from/tools/gauges/$exe.exe" ] || { echo "package: no $from/tools/gauges/$exe.exe; build first" >&2; exit 1; }
  # Without their debug information: an author needs the program, not its symbols.
  i686-w64-mingw32-strip -o "$tools/$exe.exe" "$from/tools/gauges/$exe.exe"
done
[ -f "$from/tools/telemetry/telemetry-listen.exe" ] || { echo "package: no $from/tools/telemetry/telemetry-listen.exe; build first" >&2; exit 1; }
i686-w64-mingw32-strip -o "$tools/telemetry-listen.exe" "$from/tools/telemetry/telemetry-listen.exe"
python3 "$root/scripts/guide_to_text.py" "$root/docs/gauges.md" "$tools/README.txt" --section "The tools on Windows"
rm -f "$out"
(cd "$stage" && zip -qr -X "$out" Plugins)
echo "$out"
echo "$symbols"
