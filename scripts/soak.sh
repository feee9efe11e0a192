#!/usr/bin/env bash
# The soak: the plug-in in the simulated host for many frames (100,000 by
# default) of game-mode cycling, damage changes, dashboard texture
# re-creation, device loss and Reset, and Home-key reloads, frames flat out,
# a line per call not kept.
# Prints memory, handle and reference figures at the start and the end and
# fails if they grew.
#
#   bash scripts/soak.sh [FRAMES] [OUTPUT-FOLDER]     (default 100000, build/soak)
# Presses the desktop's Home key: run it on its own, not beside the tests.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
frames="${1:-100000}"
out="$(mkdir -p "${2:-$build/soak}" && cd "${2:-$build/soak}" && pwd)"

build_all
start_wine_session

game="$out/game"
stage_game "$game"
/usr/bin/python3 "$root/scripts/soak_scenario.py" "$frames" "$game/scenario.txt"
# At the start of a cycle (every 500 frames): the same phase each time.
every=$(( frames >= 50000 ? 2000 : 500 ))
echo "soak: $frames frames, figures every $every frames, in $game" >&2
start=$(date +%s)
status=0
(cd "$game" && wine simhost.exe scenario.txt out --no-pace --quiet-calls --resources-every "$every" \
   </dev/null >"$out/host-output.txt" 2>&1) || status=$?
echo "soak: host ended with $status after $(( $(date +%s) - start )) s" >&2
/usr/bin/python3 - "$game/out/calls.log" "$game/Plugins/OSTREL/OSTREL.log" "$(ia32_mode)" <<'PY'
import re, sys
print(f"soak: 32-bit code ran {sys.argv[3]}")
calls = open(sys.argv[1], encoding="utf-8", errors="replace").read().splitlines()
rows = []
for l in calls:
    m = re.match(r"(\d+) note resources (.*)", l)
    if m and int(m.group(1)) % 500 == 0:
        rows.append((int(m.group(1)), dict(kv.split("=") for kv in m.group(2).split())))
if len(rows) < 3:
    print("soak: too few resource notes"); sys.exit(1)
# The first cycles load everything once; judge growth from the tenth of the run on.
base = rows[max(1, len(rows) // 10)]
end = rows[-1]
print(f"{'figure':16} {'frame ' + str(rows[0][0]):>12} {'frame ' + str(base[0]):>12} {'frame ' + str(end[0]):>12}")
for k in rows[0][1]:
    print(f"{k:16} {rows[0][1][k]:>12} {base[1][k]:>12} {end[1][k]:>12}")
bad = []
grow = lambda k: int(end[1][k]) - int(base[1][k])
if grow("private_kb") > max(2048, int(base[1]["private_kb"]) // 50): bad.append("private memory")
# (Wine counts no GDI or USER objects: those two stay 0 there.)
for k in ("handles", "gdi", "user", "dashboard_refs", "device_refs"):
    if grow(k) > 0: bad.append(k)
faults = [l for l in calls if " fault " in l]
summary = [l for l in calls if "faults this-pointer" in l or "plug-in destroyed" in l]
print("\n".join(summary))
print(f"fault lines: {len(faults)}; device resets: {sum(' note reset ' in l for l in calls)}, "
      f"failed: {sum('Reset failed' in l for l in calls)}")
log = open(sys.argv[2], encoding="utf-8", errors="replace").read().splitlines()
print(f"plug-in log lines: {len(log)}; reloads: {sum('Gauge reload: rebuilding' in l for l in log)}")
if faults: bad.append("host faults")
if bad:
    print("soak: grew or failed: " + ", ".join(bad)); sys.exit(1)
print("soak: flat")
PY
