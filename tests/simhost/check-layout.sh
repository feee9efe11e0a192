#!/usr/bin/env bash
# The host executable must look like the real host to the plug-in: based at
# 0x400000, never moved, one zero-filled section covering every fixed host
# location, and only kernel32 imported. The texture module must hold its
# function offset inside its image.
set -eu
exe="$1" texutil="$2"
fail() { echo "layout: $*"; exit 1; }
dump=$(i686-w64-mingw32-objdump -h -p "$exe")
echo "$dump" | grep -Eq '^ImageBase\s+00400000$' || fail "image base is not 0x400000"
chars=$(echo "$dump" | sed -n 's/^DllCharacteristics\s*//p')
(( (0x$chars & 0x40) == 0 )) || fail "dynamic base is on"
imports=$(echo "$dump" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u | tr '\n' ' ')
[ "$imports" = "kernel32.dll " ] || fail "imports: $imports"
# covers ADDR in a section of the executable: prints the section name
covering() {
  echo "$1" | while read -r idx name size vma rest; do
    [[ "$idx" =~ ^[0-9]+$ && "$size" =~ ^[0-9a-f]+$ && "$vma" =~ ^[0-9a-f]+$ ]] || continue
    if (( $2 >= 0x$vma && $2 < 0x$vma + 0x$size )); then echo "$name"; fi
  done
}
for a in 0x40E890 0x4BF720 $((0x400000 + 0x3EA990)) $((0x400000 + 0x3EAC48)) $((0x400000 + 0x493634)) \
         $((0x400000 + 0x4EF660)) $((0x400000 + 0x125FC68)) $((0x400000 + 0x1260800 + 8)) 0x16FFFFF; do
  s=$(covering "$(i686-w64-mingw32-objdump -h "$exe")" "$a")
  [ "$s" = ".bss" ] || fail "$(printf '%08X' "$a") lies in '${s:-no section}'"
done
tdump=$(i686-w64-mingw32-objdump -h -p "$texutil")
tbase=$(echo "$tdump" | sed -n 's/^ImageBase\s*//p')
s=$(covering "$(i686-w64-mingw32-objdump -h "$texutil")" $(( 0x$tbase + 0xAEC15 )))
[ "$s" = ".bss" ] || fail "texture module base+0xAEC15 lies in '${s:-no section}'"
echo "layout ok"
