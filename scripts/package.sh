#!/usr/bin/env bash
# Builds dist/OSTREL-<version>.zip: what a player unzips into the game folder
# (see make-package.sh for what it holds).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${OSTREL_BUILD:-$root/build}"
version=$(sed -n 's/^project(OSTREL VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")

bash "$root/scripts/build.sh" >/dev/null
mkdir -p "$root/dist"
bash "$root/scripts/make-package.sh" "$build" "$root/dist/OSTREL-$version.zip"
