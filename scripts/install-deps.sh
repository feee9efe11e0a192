#!/usr/bin/env bash
# Installs everything the build and the tests need, from Debian's packages,
# and creates the 32-bit Wine prefix once. Safe to run again: it only does
# what is missing, so a machine that has everything passes through in a second.
set -euo pipefail

PKGS=(g++-mingw-w64-i686-posix mingw-w64-i686-dev cmake ninja-build
      wine wine32:i386 xvfb xauth
      libgl1-mesa-dri:i386 libgl1:i386 libglx-mesa0:i386
      googletest python3 python3-pil imagemagick binutils ffmpeg zip unzip
      g++ clang libbenchmark-dev fonts-dejavu-core)

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
# shellcheck source=lib.sh
. "$here/lib.sh"

# Where the kernel cannot run 32-bit code, Wine's 32-bit side runs under qemu
# user-mode emulation and its server natively (wine64 brings wineserver64).
# OSTREL_EMULATE_32BIT=1 asks for that set-up on any machine.
emulate=0
if [ -f /proc/sys/fs/binfmt_misc/qemu-i386 ] || [ "${OSTREL_EMULATE_32BIT:-0}" = 1 ] || ! ia32_runs; then
  emulate=1
  PKGS+=(wine64)
fi

missing=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
# Bookworm's own qemu (7.2) cannot start Wine (its fixed mapping of the shared
# user data is refused): take it from the backports suite.
qemu_suite=""
if [ "$emulate" = 1 ]; then
  codename="$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")"
  qemu_suite="$codename-backports"
  # Not installed yet: dpkg-query fails, which must not end the script.
  qv="$(dpkg-query -W -f='${Status} ${Version}' qemu-user-static 2>/dev/null | sed -n 's/^install ok installed //p' || true)"
  if [ -z "$qv" ] || dpkg --compare-versions "$qv" lt 1:10; then
    missing+=("qemu-user-static/$qemu_suite")
  fi
fi

apt_ready=0
apt_update() {
  [ "$apt_ready" = 1 ] && return 0
  export DEBIAN_FRONTEND=noninteractive
  # A mirror in the middle of a sync fails one index now and then: try again,
  # and go on with what was fetched; the install below says if anything is
  # really missing.
  for attempt in 1 2 3; do
    if $SUDO apt-get update -qq; then break; fi
    echo "install-deps: apt-get update failed (attempt $attempt)"
    [ "$attempt" -lt 3 ] && sleep $((attempt * 10))
  done
  apt_ready=1
}

# The backports suite, on the archive the machine's own Debian source uses.
add_backports() {
  local list=/etc/apt/sources.list.d/ostrel-backports.sources
  grep -rqs "$qemu_suite" /etc/apt/sources.list /etc/apt/sources.list.d/ && return 0
  local uri
  uri="$(grep -hs -E '^URIs:' /etc/apt/sources.list.d/*.sources | grep -m1 -v security | awk '{print $2}')"
  [ -n "$uri" ] || uri="$(grep -hs -E '^deb ' /etc/apt/sources.list | grep -m1 -v security | awk '{print $2}')"
  [ -n "$uri" ] || uri=http://deb.debian.org/debian
  echo "install-deps: adding $qemu_suite from $uri"
  printf 'Types: deb\nURIs: %s\nSuites: %s\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
    "$uri" "$qemu_suite" | $SUDO tee "$list" >/dev/null
  apt_ready=0
}

if [ ${#missing[@]} -gt 0 ]; then
  echo "install-deps: installing ${missing[*]}"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
  fi
  [ "$emulate" = 1 ] && add_backports
  apt_update
  if ! $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null; then
    # With one architecture's security index missing, the 64- and 32-bit
    # halves of a shared library can no longer be matched. Take this install
    # from the release suites alone, where both halves are listed.
    echo "install-deps: install failed; trying again from the release suites alone"
    pin="$(mktemp)"
    printf 'Package: *\nPin: release l=Debian-Security\nPin-Priority: 100\n' >"$pin"
    $SUDO apt-get install -y -qq --no-install-recommends -o Dir::Etc::Preferences="$pin" "${missing[@]}" >/dev/null
    rm -f "$pin"
  fi
fi
if [ "$emulate" = 1 ]; then
  ia32_setup_emulation
fi
echo "install-deps: 32-bit code runs $(ia32_mode)"

# The posix thread model is what the build expects; make it the default
# alternative so plain i686-w64-mingw32-g++ means the posix compiler too.
for tool in gcc g++; do
  if [ -x "/usr/bin/i686-w64-mingw32-$tool-posix" ]; then
    cur=$(readlink -f "/usr/bin/i686-w64-mingw32-$tool" 2>/dev/null || true)
    if [ "$cur" != "$(readlink -f /usr/bin/i686-w64-mingw32-$tool-posix)" ]; then
      $SUDO update-alternatives --set "i686-w64-mingw32-$tool" "/usr/bin/i686-w64-mingw32-$tool-posix" >/dev/null 2>&1 || true
    fi
  fi
done

# One 32-bit Wine prefix for builds, tests and the demo (lib.sh names it).
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "install-deps: creating the 32-bit Wine prefix in $WINEPREFIX"
  mkdir -p "$(dirname "$WINEPREFIX")"
  WINEDLLOVERRIDES="mscoree,mshtml=" wineboot --init >/dev/null 2>&1 || true
  wineserver -w || true
fi
# Direct3D's command stream on the calling thread: with it on its own thread,
# every read-back or state-block capture spin-waits for it, and on a small
# shared machine that costs far more than the drawing itself.
if ! grep -q '"csmt"=dword:00000000' "$WINEPREFIX/user.reg" 2>/dev/null; then
  wine reg add 'HKCU\Software\Wine\Direct3D' /v csmt /t REG_DWORD /d 0 /f </dev/null >/dev/null 2>&1 || true
fi
echo "install-deps: ready"
