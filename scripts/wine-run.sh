#!/usr/bin/env bash
# Runs one Windows program under Wine with the project's prefix and settings.
# CTest uses it as the cross-compiling emulator.
#
# OSTREL_OWN_WINESERVER=NAME runs it in a prefix of its own, "<prefix>-NAME",
# with a Wine server of its own: the desktop's key state is the server's, so a
# program whose hosts press keys there cannot reach the plug-in in another
# program's host.
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
if [ -n "${OSTREL_OWN_WINESERVER:-}" ]; then
  export WINEPREFIX="$WINEPREFIX-$OSTREL_OWN_WINESERVER"
  start_wine_server
fi
exec wine "$@"
