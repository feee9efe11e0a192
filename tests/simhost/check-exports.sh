#!/usr/bin/env bash
# The shipped DLL exports KVX_CreatePlugin and nothing else, and carries none
# of the allocation counting; the counting test build adds exactly its one
# export.
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
