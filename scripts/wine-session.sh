# Sourced by the scripts that run Wine programs: start_wine_session sets the
# shared Wine settings, brings up a private X display (taken down on exit)
# and starts the prefix's Wine processes with start_wine_server. The server
# stays up afterwards: other runs may share the prefix.
_ostrel_scripts="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
. "$_ostrel_scripts/wine-env.sh"
. "$_ostrel_scripts/xvfb.sh"
. "$_ostrel_scripts/ia32.sh"
start_wine_session() {
  start_xvfb
  trap stop_xvfb EXIT
  start_wine_server
}

# Starts the Wine server of $WINEPREFIX, its service processes and the
# desktop's explorer with no pipes of the caller's. Wine starts these on
# demand from whichever program needs them first, and they inherit that
# program's output: a test program whose window brought up the explorer would
# keep its output open, and CTest waiting on it, for as long as other programs
# kept windows on the desktop. The explorer lives as long as the X display.
start_wine_server() {
  wineserver -p </dev/null >/dev/null 2>&1 || true
  wine cmd.exe /c exit </dev/null >/dev/null 2>&1 || true
  _wine_desktop_running && return 0
  # A second explorer for the same desktop ends by itself.
  wine explorer.exe /desktop </dev/null >/dev/null 2>&1 &
  local i
  for i in $(seq 1 100); do
    _wine_desktop_running && return 0
    sleep 0.2
  done
  echo "wine-session: the desktop of $WINEPREFIX did not come up; programs start it themselves" >&2
}

_wine_desktop_running() {
  local pid
  for pid in $(pgrep -f 'explorer.exe /desktop'); do
    # Processes of other users or namespaces cannot be read: not ours.
    { tr '\0' '\n' <"/proc/$pid/environ"; } 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" && return 0
  done
  return 1
}
