# Sourced by every script and the tests' shell scripts: the shared Wine
# settings (exported), $root and $build (a caller's own are kept), and the
# functions below; runs nothing else.
_ostrel_scripts="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="${root:-$(cd "$_ostrel_scripts/.." && pwd)}"
build="${build:-${OSTREL_BUILD:-$root/build}}"

# --- the Wine settings every run shares -------------------------------------
export WINEARCH=win32
export WINEPREFIX="${OSTREL_WINEPREFIX:-$HOME/.cache/ostrel/wine32}"
export WINEDEBUG=-all
# winedbg off: a crashing test process ends at once instead of waiting on a
# debugger that holds the run.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=;winedbg.exe=d}"

# --- installing and building --------------------------------------------------
# The install once per command: nested scripts see OSTREL_DEPS_READY=1.
ensure_deps() {
  [ "${OSTREL_DEPS_READY:-0}" = 1 ] && return 0
  bash "$_ostrel_scripts/install-deps.sh"
  export OSTREL_DEPS_READY=1
}

build_all() {
  ensure_deps
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" >/dev/null
  cmake --build "$build" -j"$(nproc)"
}

# The Windows-free code with the host compiler in $build/native (the targets named, or all).
build_native() {
  CC=gcc CXX=g++ cmake -S "$root/native" -B "$build/native" -G Ninja >/dev/null
  cmake --build "$build/native" -j"$(nproc)" ${@/#/--target=}
}

# A fresh game folder as the build lays it out for the simulated host.
stage_game() { rm -rf "$1" && cp -r "$build/simhost/stage" "$1"; }

# --- a private X display for Direct3D under Wine (reusing one that answers) ---
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

# --- the Wine session: the display (taken down on exit) and the prefix's server,
# which stays up afterwards: other runs may share the prefix.
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

# --- how this machine runs 32-bit x86 Linux code (Wine's 32-bit side) -------
# ia32_runs: a small static 32-bit program runs (natively or through binfmt_misc);
# ia32_mode: "native" or "emulated (qemu-i386 VERSION, user mode)";
# ia32_setup_emulation: registers qemu-i386-static, only when missing or outdated.
# Some kernels are built with IA-32 emulation switched off: a 32-bit program
# then fails with "Exec format error" and Wine's 32-bit loader cannot start.
_ia32_binfmt=/proc/sys/fs/binfmt_misc
_ia32_entry="$_ia32_binfmt/qemu-i386"
_ia32_qemu=/usr/bin/qemu-i386-static
_ia32_stamp="${_ia32_stamp:-/var/lib/ostrel/qemu-i386.registered}"

# A 96-byte static i386 ELF that calls exit(42) through int 0x80: no libraries,
# no compiler, nothing to install before the question can be asked.
_ia32_probe() {
  local f
  f="$(mktemp "${TMPDIR:-/tmp}/ostrel-ia32.XXXXXX")"
  printf '\x7f\x45\x4c\x46\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00\xb8\x01\x00\x00\x00\xbb\x2a\x00\x00\x00\xcd\x80' >"$f"
  chmod +x "$f"
  echo "$f"
}

ia32_runs() {
  local f rc=0
  f="$(_ia32_probe)"
  "$f" 2>/dev/null || rc=$?
  rm -f "$f"
  [ "$rc" -eq 42 ]
}

_ia32_entry_enabled() {
  [ -f "$_ia32_entry" ] && head -n 1 "$_ia32_entry" | grep -qx enabled
}

ia32_mode() {
  if _ia32_entry_enabled; then
    local v
    v="$("$_ia32_qemu" --version 2>/dev/null | head -n 1 | sed -n 's/.*version \([0-9][0-9.]*\).*/\1/p')"
    echo "emulated (qemu-i386 ${v:-unknown}, user mode)"
  else
    echo "native"
  fi
}

# The registration the kernel keeps: the i386 ELF magic and mask, with the
# F flag so the interpreter file is opened once, now, and works in every
# mount namespace and chroot afterwards.
_ia32_register_line() {
  printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:'"$_ia32_qemu"':F'
}

ia32_setup_emulation() {
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  if [ ! -e "$_ia32_binfmt/register" ]; then
    $sudo mount -t binfmt_misc binfmt_misc "$_ia32_binfmt"
  fi
  # An entry registered with F holds the interpreter it opened then: after qemu
  # was replaced, or when the entry was made by someone else, register anew.
  local now
  now="$(stat -L -c '%i:%Y:%s' "$_ia32_qemu")"
  if [ -f "$_ia32_entry" ]; then
    if _ia32_entry_enabled && grep -qx "interpreter $_ia32_qemu" "$_ia32_entry" &&
       grep -q '^flags:.*F' "$_ia32_entry" && [ "$(cat "$_ia32_stamp" 2>/dev/null)" = "$now" ] &&
       ia32_runs; then
      return 0
    fi
    echo "ia32: registering qemu-i386 with binfmt_misc again"
    echo -1 | $sudo tee "$_ia32_entry" >/dev/null
  else
    echo "ia32: registering qemu-i386 with binfmt_misc"
  fi
  _ia32_register_line | $sudo tee "$_ia32_binfmt/register" >/dev/null
  $sudo mkdir -p "$(dirname "$_ia32_stamp")"
  echo "$now" | $sudo tee "$_ia32_stamp" >/dev/null
  if ! ia32_runs; then
    echo "ia32: a 32-bit program still does not run after registering $_ia32_qemu" >&2
    return 1
  fi
}
