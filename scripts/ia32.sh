# Sourced: how this machine runs 32-bit x86 Linux code (Wine's 32-bit side).
#   ia32_runs     true when a small static 32-bit program runs here, natively
#                 or through an emulator registered with binfmt_misc
#   ia32_mode     prints "native" or "emulated (qemu-i386 VERSION, user mode)"
#   ia32_setup_emulation   registers qemu-i386-static with binfmt_misc (the
#                 package must be installed); idempotent, re-registers only a
#                 missing, disabled or outdated entry
# Some kernels are built with IA-32 emulation switched off: a 32-bit program
# then fails with "Exec format error" and Wine's 32-bit loader cannot start.

_ia32_binfmt=/proc/sys/fs/binfmt_misc
_ia32_entry="$_ia32_binfmt/qemu-i386"
_ia32_qemu=/usr/bin/qemu-i386-static
_ia32_stamp=/var/lib/ostrel/qemu-i386.registered

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
