#!/usr/bin/env bash
# The shipped DLL exports KVX_CreatePlugin under its plain name and nothing
# else, carries none of the allocation counting, and imports only DLLs every
# Windows has (d3d9 too, which the host itself runs on). Nothing from the
# DirectX end-user runtime (d3dx9_*.dll): without it the game's LoadLibrary of
# the plug-in would fail, with no log to say why. The counting test build adds
# exactly its one export.
#   check-dll.sh RELEASE-DLL COUNTING-DLL
set -eu
release="$1"
counting="$2"
exports() {
  i686-w64-mingw32-objdump -p "$1" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' \
    | sed -n 's/^\s*\[\s*[0-9]*\]\s*//p' | sort | tr '\n' ' '
}
got=$(exports "$release")
[ "$got" = "KVX_CreatePlugin " ] || { echo "release exports: '$got'"; exit 1; }
if grep -aq OSTREL_AllocationCount "$release"; then echo "release DLL contains the allocation counter"; exit 1; fi
got=$(exports "$counting")
[ "$got" = "KVX_CreatePlugin OSTREL_AllocationCount " ] || { echo "counting exports: '$got'"; exit 1; }
echo "exports ok"

imports=$(i686-w64-mingw32-objdump -p "$release" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
echo "imports: $(echo $imports)"
allowed='^(kernel32|user32|gdi32|advapi32|ole32|oleaut32|msvcrt|d3d9|windowscodecs|shell32)\.dll$'
bad=$(echo "$imports" | grep -Ev "$allowed" || true)
if [ -n "$bad" ]; then echo "unexpected imports: $bad"; exit 1; fi
echo "dll ok"
