#!/usr/bin/env bash
# The release zip as a player gets it: it holds exactly the plug-in and its
# folder of defaults, nothing built for tests; unzipped into a clean game
# folder it installs its defaults on the first start, hooks the host, shows
# its panels and live gauges, and its settings page names the zip's version.
#   package-install.sh BUILD-DIR SOURCE-DIR
set -uo pipefail
build="$1"
source="$2"
. "$source/scripts/wine-env.sh"
work="$build/testrun/package_install"
rm -rf "$work"
mkdir -p "$work"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

version=$(sed -n 's/^project(OSTREL VERSION \([0-9.]*\).*/\1/p' "$source/CMakeLists.txt")
zip="$work/OSTREL-$version.zip"
bash "$source/scripts/make-package.sh" "$build" "$zip" >/dev/null || { echo "FAIL: make-package"; exit 1; }

# Contents: the DLL as built, and the plug-in folder exactly as the assets
# and gauge templates make it.
unzip -Z1 "$zip" | grep -v '/$' | sort >"$work/listed.txt"
{
  echo "Plugins/OSTREL.dll"
  (cd "$source/assets/plugin" && find . -type f | sed 's|^\./|Plugins/OSTREL/|')
  (cd "$source/assets/plugin/Gauges.default" && find . -type f | sed 's|^\./|Plugins/OSTREL/GaugeTemplates/|')
} | sort >"$work/expected.txt"
diff -u "$work/expected.txt" "$work/listed.txt" >"$work/contents.diff" || { fail "zip contents differ:"; cat "$work/contents.diff"; }
if grep -Eiq 'counting|probe|test|\.a$|\.exe$|\.log$|\.pdb$' "$work/listed.txt"; then
  fail "test build products in the zip:"; grep -Ei 'counting|probe|test|\.a$|\.exe$|\.log$' "$work/listed.txt"
fi

# A clean game: the host and its cars, no plug-in folder at all.
game="$work/game"
cp -r "$build/simhost/stage" "$game"
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
/usr/bin/python3 - "$game/out" <<'PY' || failures=$((failures + 1))
import sys
from PIL import Image
out = sys.argv[1]
def count(name, box, test):
    im = Image.open(f"{out}/{name}.png").convert("RGB")
    x0, y0, x1, y1 = box
    return sum(1 for y in range(y0, y1) for x in range(x0, x1) if test(im.getpixel((x, y))))
green = lambda p: p[1] > 200 and p[0] < 80 and p[2] < 80
red = lambda p: p[0] > 200 and p[1] < 60 and p[2] < 60
white = lambda p: min(p) > 200
bad = 0
for name, box, test, least, what in [
        ("prestart", (15, 195, 85, 300), green, 300, "tire panel bars"),
        ("driving", (25, 300, 100, 480), white, 300, "sound parts of the damage diagram"),
        ("driving", (25, 300, 100, 480), red, 50, "damaged parts of the damage diagram")]:
    n = count(name, box, test)
    if n < least:
        print(f"FAIL: {what}: {n} pixels in {name}.png, expected at least {least}")
        bad += 1
sys.exit(1 if bad else 0)
PY
echo "package-install: $(wc -l <"$work/listed.txt") files in $(basename "$zip"), $failures failure(s)"
exit $failures
