#!/usr/bin/env bash
# The built DLL exports KVX_CreatePlugin undecorated and imports only system
# DLLs and the D3D9/D3DX9 runtime: a player has nothing else to install.
set -eu
dll="$1"
dump=$(i686-w64-mingw32-objdump -p "$dll")
echo "$dump" | grep -Eq '^\s*\[\s*[0-9]+\]\s+\+?base\[\s*[0-9]+\]\s+[0-9a-f]+\s+KVX_CreatePlugin$' \
  || echo "$dump" | grep -Eq '\bKVX_CreatePlugin$' \
  || { echo "KVX_CreatePlugin is not exported under its plain name"; exit 1; }
if echo "$dump" | grep -Eq 'KVX_CreatePlugin@'; then echo "decorated export"; exit 1; fi
imports=$(echo "$dump" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
echo "imports: $(echo $imports)"
allowed='^(kernel32|user32|gdi32|advapi32|ole32|oleaut32|msvcrt|d3d9|d3dx9_43|windowscodecs|shell32|api-ms-win-.*)\.dll$'
bad=$(echo "$imports" | grep -Ev "$allowed" || true)
if [ -n "$bad" ]; then echo "unexpected imports: $bad"; exit 1; fi
echo "dll ok"
