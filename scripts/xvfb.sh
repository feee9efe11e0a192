# Sourced: start_xvfb brings up a private X display for Direct3D under Wine
# (reusing $DISPLAY when one answers), stop_xvfb takes it down again.
_ostrel_xvfb_pid=""
start_xvfb() {
  if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then return 0; fi
  local n
  for n in $(seq 90 140); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1920x1080x24 -nolisten tcp >/dev/null 2>&1 &
    _ostrel_xvfb_pid=$!
    export DISPLAY=":$n"
    for _ in $(seq 1 50); do
      [ -e "/tmp/.X11-unix/X$n" ] && return 0
      sleep 0.1
    done
    kill "$_ostrel_xvfb_pid" 2>/dev/null || true
  done
  echo "xvfb: could not start a display" >&2
  return 1
}
stop_xvfb() {
  [ -n "$_ostrel_xvfb_pid" ] && kill "$_ostrel_xvfb_pid" 2>/dev/null || true
}
