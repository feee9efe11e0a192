#!/usr/bin/env python3
"""Reference instruction boundaries from binutils objdump for the length decoder test.

Writes into OUT_DIR, per code sample NAME: NAME.bin (the raw bytes) and NAME.ref
(one line per instruction objdump saw: "offset length decoded window", where
decoded is 0 for "(bad)" and data bytes and window is the number of bytes the
decoder may read, 0 meaning "up to the end of the sample"). manifest.txt lists
"NAME MODE" lines. Samples are the .text sections of real compiled code and a
large set of generated encodings (fixed seed, so every run checks the same).
"""
import glob
import os
import random
import re
import subprocess
import sys

OBJDUMP32 = "i686-w64-mingw32-objdump"
OBJDUMP64 = "objdump"
WINE32_DLLS = "/usr/lib/i386-linux-gnu/wine/i386-windows"
WINE64_DLLS = "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows"
LINUX64_LIBS = ["/usr/lib/x86_64-linux-gnu/libc.so.6",
                "/usr/lib/x86_64-linux-gnu/libcrypto.so.3",
                "/usr/lib/x86_64-linux-gnu/libstdc++.so.6"]
LINE = re.compile(r"^\s*([0-9a-f]+):\t([0-9a-f ]+?)\s*(?:\t(.*))?$")
SLOT = 32  # generated encodings sit this far apart, NOP-padded


def run_objdump(args):
    return subprocess.run(args, check=True, capture_output=True, text=True).stdout


def parse(listing):
    """(address, bytes, decoded) for each instruction line of an objdump listing."""
    out = []
    for line in listing.splitlines():
        m = LINE.match(line)
        if not m:
            continue
        data = bytes.fromhex(m.group(2).replace(" ", ""))
        text = (m.group(3) or "").strip()
        decoded = not ("(bad)" in text or text.startswith(".byte") or text == "")
        out.append((int(m.group(1), 16), data, decoded))
    return out


def write_sample(out_dir, name, code, refs):
    with open(os.path.join(out_dir, name + ".bin"), "wb") as f:
        f.write(code)
    with open(os.path.join(out_dir, name + ".ref"), "w") as f:
        for offset, length, decoded, window in refs:
            f.write(f"{offset} {length} {int(decoded)} {window}\n")


def real_code_sample(out_dir, name, objdump, path):
    listing = parse(run_objdump([objdump, "-d", "-z", "--insn-width=16", "-j", ".text", path]))
    if not listing:
        return False
    base = listing[0][0]
    code = bytearray()
    refs = []
    for address, data, decoded in listing:
        if address - base != len(code):
            raise SystemExit(f"{path}: listing not contiguous at {address:#x}")
        refs.append((len(code), len(data), decoded, 0))
        code += data
    write_sample(out_dir, name, bytes(code), refs)
    return True


# --- generated encodings -------------------------------------------------

def modrm_tail(rng):
    return bytes(rng.randrange(256) for _ in range(15))


def generated_candidates(mode, rng):
    """Byte strings of 15 bytes, each starting an instruction to check."""
    cands = []
    legacy = [b"", b"\x66", b"\x67", b"\xf2", b"\xf3", b"\x66\x67", b"\xf0", b"\x2e", b"\x64\x66"]
    if mode == 64:
        legacy += [b"\x48", b"\x41", b"\x4c", b"\x66\x48", b"\x67\x48", b"\x66\x41", b"\xf3\x48", b"\xf2\x4f"]
    all_modrm = range(256)
    # One-byte map: every opcode with every ModRM byte.
    for op in range(256):
        if op in (0x0f, 0x26, 0x2e, 0x36, 0x3e, 0x64, 0x65, 0x66, 0x67, 0xf0, 0xf2, 0xf3):
            continue
        if mode == 64 and 0x40 <= op <= 0x4f:
            continue
        for modrm in all_modrm:
            cands.append(bytes([op, modrm]) + modrm_tail(rng))
        for p in legacy:
            # objdump shows a REX before FWAIT (a prefix to it) as an instruction
            # of its own; compilers never emit one.
            if op == 0x9b and p[-1:] and 0x40 <= p[-1] <= 0x4f:
                continue
            cands.append(p + bytes([op, rng.randrange(256)]) + modrm_tail(rng))
    # Two-byte and three-byte maps with a spread of ModRM bytes and prefixes.
    for op in range(256):
        for p in legacy[:5] + legacy[9:12]:
            for modrm in rng.sample(range(256), 24) + [0x05, 0x04, 0x44, 0x84, 0xc0]:
                cands.append(p + bytes([0x0f, op, modrm]) + modrm_tail(rng))
        for esc in (0x38, 0x3a):
            for p in (b"", b"\x66", b"\xf2", b"\xf3") + ((b"\x48", b"\x66\x48") if mode == 64 else ()):
                for modrm in rng.sample(range(256), 8) + [0x04, 0x05, 0xc1]:
                    cands.append(p + bytes([0x0f, esc, op, modrm]) + modrm_tail(rng))
    # 3DNow!: the operation byte after the operands.
    for suffix in (0x0c, 0x0d, 0x1c, 0x1d, 0x8a, 0x8e, 0x90, 0x94, 0x96, 0x97, 0x9a, 0x9e,
                   0xa0, 0xa4, 0xa6, 0xa7, 0xaa, 0xae, 0xb0, 0xb4, 0xb6, 0xb7, 0xbb, 0xbf):
        for modrm in (0x00, 0x05, 0x04, 0x44, 0x84, 0xc1):
            sib_disp = bytes([0x24, 0x10, 0x20, 0x30, 0x40])
            body = bytes([0x0f, 0x0f, modrm])
            need = {0x00: 0, 0x05: 4, 0x04: 1, 0x44: 2, 0x84: 5, 0xc1: 0}[modrm]
            cands.append(body + sib_disp[:need] + bytes([suffix]) + b"\x90" * 15)
    # VEX (two- and three-byte), EVEX and XOP with random payloads.
    for _ in range(12000):
        kind = rng.randrange(4)
        if kind == 0:
            b1 = rng.randrange(256)
            if mode == 32:
                b1 |= 0x80  # R must read as 1 outside 64-bit code
            head = bytes([0xc5, b1])
        elif kind == 1:
            b1 = (rng.randrange(8) << 5) | rng.choice([1, 2, 3])
            if mode == 32:
                b1 |= 0xc0
            head = bytes([0xc4, b1, rng.randrange(256)])
        elif kind == 2:
            p0 = (rng.randrange(16) << 4) | rng.choice([1, 2, 3, 5, 6])
            if mode == 32:
                p0 |= 0xc0
            head = bytes([0x62, p0, rng.randrange(256) | 0x04, rng.randrange(256)])
        else:
            b1 = (rng.randrange(8) << 5) | rng.choice([8, 9, 10])
            head = bytes([0x8f, b1, rng.randrange(256)])
        cands.append(head + bytes([rng.randrange(256), rng.randrange(256)]) + modrm_tail(rng))
    # Long prefix runs: legal up to 14 prefixes, never past 15 bytes.
    for count in range(1, 16):
        cands.append(b"\x3e" * count + b"\x90" + modrm_tail(rng))
        cands.append(b"\x66" * count + b"\xb8" + modrm_tail(rng))
        cands.append(b"\x2e" * count + b"\x81\x84\x24" + modrm_tail(rng))
    return [c[:15] for c in cands]


def generated_sample(out_dir, name, mode, seed):
    rng = random.Random(seed)
    cands = generated_candidates(mode, rng)
    blob = bytearray()
    for c in cands:
        blob += c + b"\x90" * (SLOT - len(c))
    path = os.path.join(out_dir, name + ".bin")
    with open(path, "wb") as f:
        f.write(blob)
    machine = "i386" if mode == 32 else "i386:x86-64"
    objdump = OBJDUMP32 if mode == 32 else OBJDUMP64
    listing = parse(run_objdump([objdump, "-D", "-z", "--insn-width=16", "-b", "binary",
                                 "-m", machine, path]))
    starts = {address: (len(data), decoded) for address, data, decoded in listing}
    refs = []
    for i in range(len(cands)):
        offset = i * SLOT
        if offset in starts:  # else objdump left this slot out of step: resync later
            length, decoded = starts[offset]
            refs.append((offset, length, decoded, 15))
    write_sample(out_dir, name, bytes(blob), refs)


def main():
    out_dir = sys.argv[1]
    os.makedirs(out_dir, exist_ok=True)
    manifest = []
    for dll in ("ntdll", "kernelbase", "msvcrt", "user32", "d3dx9_43", "ucrtbase"):
        path = os.path.join(WINE32_DLLS, dll + ".dll")
        if os.path.exists(path) and real_code_sample(out_dir, "wine32_" + dll, OBJDUMP32, path):
            manifest.append(("wine32_" + dll, 32))
    for path in sorted(glob.glob(os.path.join(WINE64_DLLS, "*.dll")))[:4]:
        name = "wine64_" + os.path.basename(path)[:-4]
        if real_code_sample(out_dir, name, OBJDUMP64, path):
            manifest.append((name, 64))
    for path in LINUX64_LIBS:
        name = "elf64_" + os.path.basename(path).split(".")[0]
        if os.path.exists(path) and real_code_sample(out_dir, name, OBJDUMP64, path):
            manifest.append((name, 64))
    generated_sample(out_dir, "generated32", 32, 2024)
    generated_sample(out_dir, "generated64", 64, 4096)
    manifest += [("generated32", 32), ("generated64", 64)]
    with open(os.path.join(out_dir, "manifest.txt"), "w") as f:
        for name, mode in manifest:
            f.write(f"{name} {mode}\n")


if __name__ == "__main__":
    main()
