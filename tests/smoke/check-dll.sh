#!/usr/bin/env bash
# The built DLL exports KVX_CreatePlugin undecorated and imports only DLLs
# every Windows has (d3d9 too, which the host itself runs on). Nothing from the
# DirectX end-user runtime (d3dx9_*.dll): without it the game's LoadLibrary of
# the plug-in would fail, with no log to say why.
set -eu
dll="$1"
dump=$(i686-w64-mingw32-objdump -p "$dll")
echo "$dump" | grep -Eq '^\s*\[\s*[0-9]+\]\s+\+?base\[\s*[0-9]+\]\s+[0-9a-f]+\s+KVX_CreatePlugin$' \
  || echo "$dump" | grep -Eq '\bKVX_CreatePlugin$' \
  || { echo "KVX_CreatePlugin is not exported under its plain name"; exit 1; }
if echo "$dump" | grep -Eq 'KVX_CreatePlugin@'; then echo "decorated export"; exit 1; fi
imports=$(echo "$dump" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
echo "imports: $(echo $imports)"
allowed='^(kernel32|user32|gdi32|advapi32|ole32|oleaut32|msvcrt|d3d9|windowscodecs|shell32)\.dll$'
bad=$(echo "$imports" | grep -Ev "$allowed" || true)
if [ -n "$bad" ]; then echo "unexpected imports: $bad"; exit 1; fi
echo "dll ok"
