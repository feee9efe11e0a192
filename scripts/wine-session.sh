# Sourced by the scripts that run Wine programs: start_wine_session sets the
# shared Wine settings, brings up a private X display (taken down on exit)
# and one wineserver with its service processes, started with no pipes of the
# caller's, so a lingering service never holds a test's output. The server
# stays up afterwards: other runs may share the prefix.
_ostrel_scripts="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
. "$_ostrel_scripts/wine-env.sh"
. "$_ostrel_scripts/xvfb.sh"
. "$_ostrel_scripts/ia32.sh"
start_wine_session() {
  start_xvfb
  trap stop_xvfb EXIT
  wineserver -p </dev/null >/dev/null 2>&1 || true
  wine cmd.exe /c exit </dev/null >/dev/null 2>&1 || true
}
