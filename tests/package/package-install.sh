#!/usr/bin/env bash
# The release zip as a player gets it: it holds exactly the plug-in and its
# folder of defaults, its readme and the gauge author's tools, nothing built
# for tests; unzipped into a clean game folder it installs its defaults on the
# first start, hooks the host, shows its panels and live gauges, and its
# settings page names the zip's version. The zipped tools run on the zipped
# sample set, and unzipping a release over a used installation keeps every
# file of the player's.
#   package-install.sh BUILD-DIR SOURCE-DIR
set -uo pipefail
build="$1"
source="$2"
. "$source/scripts/lib.sh"
work="$build/testrun/package_install"
rm -rf "$work"
mkdir -p "$work"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

version=$(sed -n 's/^project(OSTREL VERSION \([0-9.]*\).*/\1/p' "$source/CMakeLists.txt")
zip="$work/OSTREL-$version.zip"
bash "$source/scripts/package.sh" --from "$build" "$zip" >/dev/null || { echo "FAIL: package.sh --from"; exit 1; }

# Contents: the DLL as built, and the plug-in folder exactly as the assets
# and gauge templates make it.
unzip -Z1 "$zip" | grep -v '/$' | sort >"$work/listed.txt"
{
  echo "Plugins/OSTREL.dll"
  (cd "$source/assets/plugin" && find . -type f | sed 's|^\./|Plugins/OSTREL/|')
  (cd "$source/assets/plugin/Gauges.default" && find . -type f | sed 's|^\./|Plugins/OSTREL/GaugeTemplates/|')
  printf '%s\n' Plugins/OSTREL/README.txt Plugins/OSTREL/Tools/README.txt \
    Plugins/OSTREL/Tools/gauge-preview.exe Plugins/OSTREL/Tools/gauge-lint.exe Plugins/OSTREL/Tools/telemetry-listen.exe
} | sort >"$work/expected.txt"
diff -u "$work/expected.txt" "$work/listed.txt" >"$work/contents.diff" || { fail "zip contents differ:"; cat "$work/contents.diff"; }
tools_listed='^Plugins/OSTREL/Tools/(gauge-preview|gauge-lint|telemetry-listen)\.exe$'
if grep -Ev "$tools_listed" "$work/listed.txt" | grep -Eiq 'counting|probe|test|\.a$|\.exe$|\.log$|\.pdb$'; then
  fail "test build products in the zip:"; grep -Ev "$tools_listed" "$work/listed.txt" | grep -Ei 'counting|probe|test|\.a$|\.exe$|\.log$'
fi

# A clean game: the host and its cars, no plug-in folder at all.
game="$work/game"
stage_game "$game"
rm -rf "$game/Plugins"
(cd "$game" && unzip -q "$zip") || fail "unzip"

# The zipped DLL is the built one stripped (same code), small, and linked to
# the symbols file beside the zip, which turns its addresses into source lines.
dll="$game/Plugins/OSTREL.dll"
symbols="${zip%.zip}.dll.debug"
objdump=i686-w64-mingw32-objdump
size=$(stat -c %s "$dll")
[ "$size" -lt 3000000 ] || fail "the zipped DLL has $size bytes, expected under 3 MB"
if $objdump -h "$dll" | grep -q ' \.debug_'; then fail "the zipped DLL carries debug sections"; fi
if $objdump -t "$dll" | grep -q '\[ *[0-9]*\](sec'; then fail "the zipped DLL carries a symbol table"; fi
i686-w64-mingw32-objcopy -O binary -j .text "$dll" "$work/zipped.text"
i686-w64-mingw32-objcopy -O binary -j .text "$build/src/OSTREL.dll" "$work/built.text"
cmp -s "$work/zipped.text" "$work/built.text" || fail "the zipped DLL's code is not the built one's"
[ -f "$symbols" ] || fail "no symbols file $symbols"
i686-w64-mingw32-objcopy --dump-section .gnu_debuglink="$work/debuglink.bin" "$dll" "$work/dump.dll"
/usr/bin/python3 - "$work/debuglink.bin" "$symbols" <<'PY' || fail "the debug link does not match the symbols file"
import struct, sys, zlib, os
link, symbols = sys.argv[1:]
dump = open(link, "rb").read()
name = dump[:dump.index(b"\0")].decode()
crc = struct.unpack("<I", dump[-4:])[0]
actual = zlib.crc32(open(symbols, "rb").read()) & 0xFFFFFFFF
print(f"debug link: {name} crc {crc:08x}, symbols file {os.path.basename(symbols)} crc {actual:08x}")
sys.exit(0 if name == os.path.basename(symbols) and crc == actual else 1)
PY
# The exported entry's address resolves to its source line through the symbols.
base=$($objdump -p "$dll" | sed -n 's/^ImageBase\s*//p')
rva=$($objdump -p "$dll" | sed -n 's/^\s*\[\s*0\] +base\[\s*1\]\s*\([0-9a-f]*\) Export RVA$/\1/p')
where=$(i686-w64-mingw32-addr2line -f -e "$symbols" "$(printf '0x%x' $((0x$base + 0x$rva)))" | tr '\n' ' ')
echo "$where" | grep -q '^KVX_CreatePlugin .*DllEntry\.cpp:[0-9]' || fail "KVX_CreatePlugin does not resolve through the symbols: $where"
plugin="$game/Plugins/OSTREL"

# The readmes: plain text with Windows line ends, the guides as they stand
# now, naming this release's zip and the log to attach to a report.
python3 "$source/scripts/guide_to_text.py" "$source/docs/players-guide.md" "$work/guide.txt"
cmp -s "$work/guide.txt" "$plugin/README.txt" || fail "README.txt is not the player's guide as it stands"
for readme in "$plugin/README.txt" "$plugin/Tools/README.txt"; do
  LC_ALL=C grep -q '[^[:print:][:space:]]' "$readme" && fail "$readme has characters that are not plain text"
  [ "$(grep -c $'\r$' "$readme")" -eq "$(wc -l <"$readme")" ] || fail "$readme has lines without Windows line ends"
done
for text in "OSTREL-$version.zip" "Plugins\\OSTREL\\OSTREL.log" "uninstall" "TireHUD.ini"; do
  grep -qiF "$text" "$plugin/README.txt" || fail "README.txt lacks $text"
done
grep -qF 'Plugins\OSTREL\Tools\gauge-lint.exe' "$plugin/Tools/README.txt" || fail "Tools/README.txt does not say how to run the lint"

# The tools are Windows programs on their own: no runtime DLL of the compiler.
for exe in "$plugin"/Tools/*.exe; do
  imports=$(i686-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u | tr '\n' ' ')
  echo "$(basename "$exe") imports: $imports"
  for lib in $imports; do
    case "$lib" in
      kernel32.dll|user32.dll|gdi32.dll|advapi32.dll|shell32.dll|ole32.dll|oleaut32.dll|msvcrt.dll|ws2_32.dll|windowscodecs.dll|d3d9.dll|d3dx9_*.dll) ;;
      *) fail "$(basename "$exe") needs $lib, which Windows does not have" ;;
    esac
  done
done

cat >"$game/scenario.txt" <<'SCENARIO'
frames 120
frame 0
  mode 5
  menu open
frame 3
  screenshot menu
  menu close
frame 5
  mode 1
  texture Cars\Car1\Textures\dashboard.png
  prestart 1.0 step -0.025
  clock 1 step 0.0166667
  rpm 5000
frame 20
  screenshot prestart
frame 45
  damagef 0 0.3
  damagei 30 0
frame 100
  screenshot driving
SCENARIO
# At the scenario's 60 frames a second: the damage shows on the diagram's next
# blink tick (half a second of real time), well before the driving shot.
(cd "$game" && timeout 1200 wine simhost.exe scenario.txt out >"$work/host.out" 2>&1) || {
  fail "the host ended with $?"; cat "$work/host.out"; }
log="$game/Plugins/OSTREL/OSTREL.log"
calls="$game/out/calls.log"
[ -f "$log" ] || fail "no log at $log"
for line in "Default files: installed .\\Plugins\\OSTREL\\TireHUD.ini" \
            "Default files: installed .\\Plugins\\OSTREL\\carDamageHUD.ini" \
            "Default files: installed .\\Plugins\\OSTREL\\Gauges" \
            "Frame detour: installed" "Gauge detour: installed" "Texture creation detour: installed" \
            "Texture is claimed by a gauge definition" "Gauge texture created, levels: 1"; do
  grep -qF "$line" "$log" 2>/dev/null || fail "log lacks: $line"
done
grep -qF "OSTREL Heads-Up Display v$version\"" "$calls" 2>/dev/null || fail "the settings page does not show v$version"
grep -q "plug-in destroyed" "$calls" 2>/dev/null || fail "the host did not reach its end"
grep -q "faults this-pointer=0 width-words=0 results=0" "$calls" 2>/dev/null || fail "host faults: $(grep faults "$calls")"

# What the player sees: the tire panel's green bars before the start, the
# damage diagram's white (sound) and red (damaged) parts while driving.
(cd "$game/out" && wine "$build/tests/simhost/stage_pixels.exe" . prestart driving) || failures=$((failures + 1))

# The zipped tools on the zipped sample set: the lint from a command prompt in
# the game folder, both by car name from another folder (they find the
# plug-in's gauge folders from where they sit), the preview's needle where the
# given rpm puts it.
(cd "$game" && wine 'Plugins\OSTREL\Tools\gauge-lint.exe' 'Plugins\OSTREL\Gauges.default\Car1' \
   </dev/null >"$work/lint.out" 2>"$work/lint.err") || fail "the zipped lint ended with $? on the sample set"
[ -s "$work/lint.out" ] && { fail "the zipped lint reports problems in the sample set:"; cat "$work/lint.out"; }
grep -q "0 errors, 0 warnings in 1 file" "$work/lint.err" || fail "zipped lint: $(cat "$work/lint.err")"
(cd "$work" && wine "$plugin/Tools/gauge-lint.exe" </dev/null >"$work/lint-all.out" 2>"$work/lint-all.err") ||
  fail "the zipped lint without a path ended with $?: $(cat "$work/lint-all.err")"
grep -q "0 errors, 0 warnings in 1 file" "$work/lint-all.err" || fail "zipped lint, no path: $(cat "$work/lint-all.err")"
(cd "$work" && wine "$plugin/Tools/gauge-preview.exe" Car1 --set rpm=6000 --out preview.png \
   </dev/null >"$work/preview.out" 2>&1) || { fail "the zipped preview ended with $?"; cat "$work/preview.out"; }
/usr/bin/python3 - "$work/preview.png" "$source/tests/tools" <<'PY' || fail "zipped preview picture"
import sys
sys.path.insert(0, sys.argv[2])
from gauge_tools_tests import needle_angle, rpm_angle
from PIL import Image
angle = needle_angle(Image.open(sys.argv[1]))
if angle is None or abs(angle - rpm_angle(6000)) > 6:
    print(f"FAIL: needle at {angle} degrees for 6000 rpm, expected {rpm_angle(6000):.0f}")
    sys.exit(1)
PY

# Upgrade over a used installation: changed settings, an edited sample set, a
# set of the player's own and a log. The newer release (this one with one
# template image changed) is unzipped over it, replacing what it brings.
sed -i 's/^PosX=[0-9]*/PosX=333/' "$plugin/TireHUD.ini"
sed -i 's/^RefreshRate=[0-9]*/RefreshRate=30/' "$plugin/gauges.ini"
printf '\r\n[Player]\r\nNote=mine\r\n' >>"$plugin/Gauges/Car1/Gauges.ini"
printf 'my own notes\r\n' >"$plugin/Gauges/Car1/notes.txt"
mkdir -p "$plugin/CustomGauges/MyCar"
cp "$plugin/Gauges/Car1/"{Gauges.ini,dash_base.png,needle.png} "$plugin/CustomGauges/MyCar/"
/usr/bin/python3 - "$plugin/Gauges/Car1/needle.png" "$work/new-needle.png" <<'PY'
import sys
from PIL import Image
im = Image.open(sys.argv[1]).convert("RGBA")
im.putpixel((0, 0), (1, 2, 3, 255)); im.save(sys.argv[1])        # the player's edit
im.putpixel((0, 0), (4, 5, 6, 255)); im.save(sys.argv[2])        # the new release's
PY
newzip="$work/newer.zip"
rm -rf "$work/newer" && mkdir "$work/newer" && (cd "$work/newer" && unzip -q "$zip")
for t in GaugeTemplates Gauges.default; do cp "$work/new-needle.png" "$work/newer/Plugins/OSTREL/$t/Car1/needle.png"; done
(cd "$work/newer" && zip -qr -X "$newzip" Plugins)
players=$(cd "$game" && find Plugins -type f | sort | grep -vxF -f <(unzip -Z1 "$newzip"))
for f in Plugins/OSTREL/TireHUD.ini Plugins/OSTREL/OSTREL.log Plugins/OSTREL/Gauges/Car1/Gauges.ini \
         Plugins/OSTREL/Gauges/Car1/needle.png Plugins/OSTREL/CustomGauges/MyCar/needle.png; do
  grep -qxF "$f" <<<"$players" || fail "the release zip brings the player's $f"
done
(cd "$game" && sha256sum $players) >"$work/players.sha"
(cd "$game" && unzip -qo "$newzip") || fail "unzip over the installation"
(cd "$game" && sha256sum --quiet -c "$work/players.sha") || fail "unzipping the release changed the player's files"

printf 'frames 10\nwindow 640 480\nfps 60\nframe 0\n  mode 5\n' >"$game/upgrade.txt"
(cd "$game" && timeout 1200 wine simhost.exe upgrade.txt upgrade-out >"$work/upgrade.out" 2>&1) ||
  fail "the host ended with $? after the upgrade"
grep -v -e '/OSTREL.log$' -e '/Gauges/Car1/Gauges.ini$' -e '/Gauges/Car1/needle.png$' "$work/players.sha" \
  >"$work/kept.sha"
(cd "$game" && sha256sum --quiet -c "$work/kept.sha") || fail "the start after the upgrade changed the player's files"
cmp -s "$plugin/Gauges/Car1/needle.png" "$work/new-needle.png" || fail "the changed template did not reach Gauges\\Car1"
(cd "$game" && grep -F ' Plugins/OSTREL/Gauges/Car1/needle.png' "$work/players.sha" |
  sed 's|needle.png$|needle.png.bak|' | sha256sum --quiet -c) || fail "the player's needle.png is not kept as needle.png.bak"
baks=$(find "$plugin" -name '*.bak' | wc -l)
[ "$baks" -eq 1 ] || fail "$baks backups, expected only needle.png.bak: $(find "$plugin" -name '*.bak')"
grep -q '^Note=mine' "$plugin/Gauges/Car1/Gauges.ini" || fail "the player's own key left Gauges\\Car1\\Gauges.ini"
grep -q "Frame detour: installed" "$plugin/OSTREL.log" || fail "no log of the start after the upgrade"

echo "package-install: $(wc -l <"$work/listed.txt") files in $(basename "$zip"), $failures failure(s)"
exit $failures
