#!/usr/bin/env python3
"""Reference instruction boundaries from binutils objdump for the length decoder test.

Writes into OUT_DIR, per code sample NAME: NAME.bin (the raw bytes) and NAME.ref
(one line per instruction objdump saw: "offset length decoded window", where
decoded is 0 for "(bad)" and data bytes and window is the number of bytes the
decoder may read, 0 meaning "up to the end of the sample"). manifest.txt lists
"NAME MODE" lines. Samples are windows of the .text sections of real compiled
code and a large set of generated encodings (fixed seed, so every run checks
the same). objdump's own boundaries are the reference: where it shows data,
"(bad)" or prefixes it did not join to an instruction, nothing is compared
and the next line is a fresh start. Runs in well under half a minute; the
build keeps the result until this script changes.
"""
import concurrent.futures
import os
import random
import re
import subprocess
import sys
import time

OBJDUMP32 = "i686-w64-mingw32-objdump"
OBJDUMP64 = "objdump"
WINE32_DLLS = "/usr/lib/i386-linux-gnu/wine/i386-windows"
WINE64_DLLS = "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows"
# Several kinds of compiled code, each sampled by a window from the middle of
# its .text: C, C++, hand-written vector code.
REAL32 = [os.path.join(WINE32_DLLS, d + ".dll")
          for d in ("ntdll", "kernelbase", "msvcrt", "user32", "d3dx9_43", "ucrtbase")]
REAL64 = [os.path.join(WINE64_DLLS, d + ".dll") for d in ("ntdll", "kernelbase", "msvcrt")] + [
    "/usr/lib/x86_64-linux-gnu/libc.so.6",
    "/usr/lib/x86_64-linux-gnu/libstdc++.so.6",
    "/usr/lib/x86_64-linux-gnu/libcrypto.so.3",
    "/usr/lib/x86_64-linux-gnu/libLLVM-14.so.1"]
WINDOW = 0x20000  # bytes of code per real sample
SECTION = re.compile(r"^\s*\d+\s+\.text\s+([0-9a-f]+)\s+([0-9a-f]+)")
# Generated encodings sit SLOT bytes apart. The filler after each is runs of
# seven DS prefixes ended by a NOP: objdump, entering it anywhere, leaves it
# at a NOP's end, so every slot start is an instruction start again, in a few
# listing lines rather than one per NOP.
SLOT = 32
FILLER_BLOCK = b"\x3e" * 7 + b"\x90"
# What objdump prints for prefix bytes it did not join to an instruction
# (a run too long, a REX not right before the opcode): no instruction decoded.
PREFIX_NAMES = {"cs", "ds", "es", "ss", "fs", "gs", "data16", "data32", "addr16", "addr32",
                "lock", "rep", "repz", "repnz", "repe", "repne", "bnd", "notrack", "xacquire",
                "xrelease"}


def run_objdump(args):
    return subprocess.run(args, check=True, capture_output=True, text=True).stdout


def is_prefix_name(word):
    return word in PREFIX_NAMES or word.startswith("rex")


def only_prefixes(text):
    if not is_prefix_name(text.partition(" ")[0]):
        return False  # the usual case, decided without splitting the line
    return all(is_prefix_name(w) for w in text.split())


def parse(listing, wanted=lambda address: True):
    """(address, bytes, decoded) for each instruction line of an objdump listing.

    Instruction lines are "  address:<TAB>hex bytes<TAB>text"; split by hand,
    as a regular expression per line costs seconds on these listings."""
    out = []
    for line in listing.splitlines():
        parts = line.split("\t", 2)
        if len(parts) < 2 or not parts[0].endswith(":"):
            continue
        try:
            address = int(parts[0][:-1], 16)
            if not wanted(address):
                continue
            data = bytes.fromhex(parts[1])
        except ValueError:
            continue
        text = parts[2].strip() if len(parts) > 2 else ""
        decoded = not ("(bad)" in text or text.startswith(".byte") or text == ""
                       or only_prefixes(text))
        out.append((address, data, decoded))
    return out


def write_sample(out_dir, name, code, refs):
    with open(os.path.join(out_dir, name + ".bin"), "wb") as f:
        f.write(code)
    with open(os.path.join(out_dir, name + ".ref"), "w") as f:
        for offset, length, decoded, window in refs:
            f.write(f"{offset} {length} {int(decoded)} {window}\n")


def text_window(objdump, path):
    """Start and end of a WINDOW-sized piece from the middle of .text."""
    for line in run_objdump([objdump, "-h", path]).splitlines():
        m = SECTION.match(line)
        if m:
            size, start = int(m.group(1), 16), int(m.group(2), 16)
            first = start + max(0, (size - WINDOW) // 2) // 16 * 16
            return first, min(start + size, first + WINDOW)
    return None


def real_code_sample(out_dir, name, objdump, path):
    window = text_window(objdump, path)
    if window is None:
        return False
    listing = parse(run_objdump([objdump, "-d", "-z", "--insn-width=16", "-j", ".text",
                                 f"--start-address={window[0]:#x}",
                                 f"--stop-address={window[1]:#x}", path]))
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
    # objdump finishes the last instruction past the window; the decoder gets
    # no more bytes than objdump saw.
    write_sample(out_dir, name, bytes(code), refs)
    return True


# --- generated encodings -------------------------------------------------

def modrm_tail(rng):
    return bytes(rng.randrange(256) for _ in range(15))


# One-byte opcodes whose ModRM reg field picks the operation (and with it an
# immediate or none): every ModRM byte is tried for these.
GROUP_OPCODES = set(range(0x80, 0x84)) | {0x8f, 0xc0, 0xc1, 0xc6, 0xc7, 0xd0, 0xd1, 0xd2, 0xd3,
                                           0xf6, 0xf7, 0xfe, 0xff} | set(range(0xd8, 0xe0))
PREFIX_BYTES = {0x0f, 0x26, 0x2e, 0x36, 0x3e, 0x64, 0x65, 0x66, 0x67, 0xf0, 0xf2, 0xf3}


def modrm_spread(rng, count):
    """Every mod/rm pair once (random reg), then `count` random ModRM bytes."""
    return [(mod << 6) | (rng.randrange(8) << 3) | rm for mod in range(4) for rm in range(8)] + \
        [rng.randrange(256) for _ in range(count)]


def generated_candidates(mode, rng):
    """Byte strings of 15 bytes, each starting an instruction to check."""
    cands = []
    legacy = [b"", b"\x66", b"\x67", b"\xf2", b"\xf3", b"\x66\x67", b"\xf0", b"\x2e", b"\x64\x66"]
    if mode == 64:
        legacy += [b"\x48", b"\x41", b"\x4c", b"\x66\x48", b"\x67\x48", b"\x66\x41", b"\xf3\x48", b"\xf2\x4f"]
    # One-byte map: every opcode with a spread of ModRM bytes, all of them for
    # the group opcodes; every prefix in front of every opcode.
    for op in range(256):
        if op in PREFIX_BYTES or (mode == 64 and 0x40 <= op <= 0x4f):
            continue
        modrms = range(256) if op in GROUP_OPCODES else modrm_spread(rng, 8)
        for modrm in modrms:
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
            for modrm in rng.sample(range(256), 6) + [0x05, 0x04, 0x44, 0x84, 0xc0]:
                cands.append(p + bytes([0x0f, op, modrm]) + modrm_tail(rng))
        for esc in (0x38, 0x3a):
            for p in (b"", b"\x66", b"\xf2", b"\xf3") + ((b"\x48", b"\x66\x48") if mode == 64 else ()):
                for modrm in rng.sample(range(256), 3) + [0x04, 0x05, 0xc1]:
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
    for _ in range(6000):
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
    # Short prefix runs. Longer ones are left to the unit tests: objdump splits
    # them where the processor would not, so it is no reference for them.
    for count in range(1, 5):
        cands.append(b"\x3e" * count + b"\x90" + modrm_tail(rng))
        cands.append(b"\x66" * count + b"\xb8" + modrm_tail(rng))
        cands.append(b"\x2e" * count + b"\x81\x84\x24" + modrm_tail(rng))
    return [c[:15] for c in cands]


def generated_sample(out_dir, name, mode, seed):
    rng = random.Random(seed)
    cands = generated_candidates(mode, rng)
    blob = bytearray()
    for c in cands:
        gap = SLOT - len(c)
        blob += c + b"\x90" * (gap % len(FILLER_BLOCK)) + FILLER_BLOCK * (gap // len(FILLER_BLOCK))
    path = os.path.join(out_dir, name + ".bin")
    with open(path, "wb") as f:
        f.write(blob)
    machine = "i386" if mode == 32 else "i386:x86-64"
    objdump = OBJDUMP32 if mode == 32 else OBJDUMP64
    listing = parse(run_objdump([objdump, "-D", "-z", "--insn-width=16", "-b", "binary",
                                 "-m", machine, path]), lambda address: address % SLOT == 0)
    starts = {address: (len(data), decoded) for address, data, decoded in listing}
    refs = []
    for i in range(len(cands)):
        offset = i * SLOT
        if offset in starts:  # else objdump left this slot out of step: resync later
            length, decoded = starts[offset]
            refs.append((offset, length, decoded, 15))
    write_sample(out_dir, name, bytes(blob), refs)
    return True


def main():
    began = time.monotonic()
    out_dir = sys.argv[1]
    os.makedirs(out_dir, exist_ok=True)
    jobs = []  # (name, mode, function, arguments)
    for path in REAL32:
        if os.path.exists(path):
            name = "wine32_" + os.path.basename(path)[:-4]
            jobs.append((name, 32, real_code_sample, (out_dir, name, OBJDUMP32, path)))
    for path in REAL64:
        if os.path.exists(path):
            stem = os.path.basename(path)
            name = ("wine64_" + stem[:-4]) if path.endswith(".dll") else ("elf64_" + stem.split(".")[0])
            jobs.append((name, 64, real_code_sample, (out_dir, name, OBJDUMP64, path)))
    jobs.append(("generated32", 32, generated_sample, (out_dir, "generated32", 32, 2024)))
    jobs.append(("generated64", 64, generated_sample, (out_dir, "generated64", 64, 4096)))
    # Two at a time: objdump runs while Python parses the other listing.
    with concurrent.futures.ThreadPoolExecutor(max_workers=2) as pool:
        done = list(pool.map(lambda job: job[2](*job[3]), jobs))
    with open(os.path.join(out_dir, "manifest.txt"), "w") as f:
        for (name, mode, _, _), ok in zip(jobs, done):
            if ok:
                f.write(f"{name} {mode}\n")
    print(f"decoder reference: {sum(done)} samples in {time.monotonic() - began:.1f} s")


if __name__ == "__main__":
    main()
