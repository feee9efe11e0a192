#!/usr/bin/env bash
# Runs one Windows program under Wine with the project's prefix and settings.
# CTest uses it as the cross-compiling emulator.
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
. "$here/wine-env.sh"
exec wine "$@"
