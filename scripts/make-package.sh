#!/usr/bin/env bash
# Makes the release zip from a finished build, without building:
#   make-package.sh BUILD-DIR OUTPUT-ZIP
# The zip holds what a player unzips into the game folder:
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
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(cd "$1" && pwd)"
out="$(cd "$(dirname "$2")" && pwd)/$(basename "$2")"
[ -f "$build/src/OSTREL.dll" ] || { echo "make-package: no $build/src/OSTREL.dll; build first" >&2; exit 1; }
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir -p "$stage/Plugins/OSTREL"
symbols="${out%.zip}.dll.debug"
i686-w64-mingw32-objcopy --only-keep-debug "$build/src/OSTREL.dll" "$symbols"
# The link is made from the symbols file's own directory: it records the file's
# name and checksum, not where it lies.
(cd "$(dirname "$symbols")" && i686-w64-mingw32-objcopy --strip-all --add-gnu-debuglink="$(basename "$symbols")" \
  "$build/src/OSTREL.dll" "$stage/Plugins/OSTREL.dll")
cp -r "$root/assets/plugin/." "$stage/Plugins/OSTREL/"
cp -r "$root/assets/plugin/Gauges.default" "$stage/Plugins/OSTREL/GaugeTemplates"
# The readmes are made from the guides, so the two never disagree.
python3 "$root/scripts/guide_to_text.py" "$root/docs/players-guide.md" "$stage/Plugins/OSTREL/README.txt"
tools="$stage/Plugins/OSTREL/Tools"
mkdir -p "$tools"
for exe in gauge-preview gauge-lint; do
  [ -f "$build/tools/gauges/$exe.exe" ] || { echo "make-package: no $build/tools/gauges/$exe.exe; build first" >&2; exit 1; }
  # Without their debug information: an author needs the program, not its symbols.
  i686-w64-mingw32-strip -o "$tools/$exe.exe" "$build/tools/gauges/$exe.exe"
done
[ -f "$build/tools/telemetry/telemetry-listen.exe" ] || { echo "make-package: no telemetry-listen.exe; build first" >&2; exit 1; }
i686-w64-mingw32-strip -o "$tools/telemetry-listen.exe" "$build/tools/telemetry/telemetry-listen.exe"
python3 "$root/scripts/guide_to_text.py" "$root/docs/gauges.md" "$tools/README.txt" --section "The tools on Windows"
rm -f "$out"
(cd "$stage" && zip -qr -X "$out" Plugins)
echo "$out"
echo "$symbols"
