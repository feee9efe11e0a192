#!/usr/bin/env bash
# Runs a command with every 32-bit program going through qemu-i386, as on a
# machine whose kernel cannot run 32-bit code, while this machine stays as it
# is: the registration lives in a binfmt_misc instance of a user namespace of
# the command's own (Linux 6.7 or later). Needs qemu-user-static 10 and wine64
# installed (OSTREL_EMULATE_32BIT=1 bash scripts/install-deps.sh does both).
#   bash scripts/emulated.sh bash scripts/test.sh
# Use a build folder and Wine prefix of the run's own (OSTREL_BUILD,
# OSTREL_WINEPREFIX): a Wine server started outside the namespace would run
# its programs natively.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
exec unshare --user --map-root-user --mount bash -c '
  set -e
  mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc
  . "$0/lib.sh"
  _ia32_stamp="$(mktemp)"
  ia32_setup_emulation >/dev/null
  echo "emulated: 32-bit code runs $(ia32_mode)"
  exec "$@"' "$here" "$@"
