#!/usr/bin/env bash
# A player without the DirectX end-user runtime: d3dx9_43.dll disabled for the
# host process (Wine reads the override from the Unix environment only, so a
# Windows test program cannot set it for its child; hence a script). The
# plug-in still loads, writes its log, shows its panels and draws its gauges,
# and the log says once what serves instead of the missing library.
#   stage-without-d3dx.sh BUILD-DIR SOURCE-DIR
set -uo pipefail
build="$1"
source="$2"
. "$source/scripts/lib.sh"
own_overrides="$WINEDLLOVERRIDES"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:+$WINEDLLOVERRIDES;}d3dx9_43="
game="$build/testrun/stage_without_d3dx"
stage_game "$game"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

cat >"$game/scenario.txt" <<'SCENARIO'
frames 150
window 640 480
fps 60
frame 0
  mode 5
frame 5
  mode 1
  texture Cars\Car1\Textures\dashboard.png
  prestart 1.0 step -0.025
  clock 1 step 0.0166667
  rpm 900
frame 20
  screenshot slow
frame 25
  rpm 3600
frame 70
  screenshot fast
frame 71
  damagef 0 0.3
  damagei 30 0
frame 140
  screenshot driving
SCENARIO
(cd "$game" && timeout 1200 wine simhost.exe scenario.txt out >"$game/host.out" 2>&1) || {
  fail "the host ended with $?"; cat "$game/host.out"; }
log="$game/Plugins/OSTREL/OSTREL.log"
[ -s "$log" ] || fail "no log at $log: the plug-in was not loaded"
for line in "Frame detour: installed" "Texture creation detour: installed" "Gauges: base image loaded: " \
            "D3DX: d3dx9_43.dll is not installed; gauge base images are loaded by the game's texture function"; do
  n=$(grep -cF "$line" "$log" 2>/dev/null)
  [ "$n" = 1 ] || fail "the log has ${n:-no} lines, not one, with: $line"
done
[ "$(grep -c 'd3dx9_43' "$log" 2>/dev/null)" = 1 ] || fail "the missing library is named more than once"
grep -q 'Crash:' "$log" 2>/dev/null && fail "a crash line in the log"

# What the player sees: the tire panel before the start, the damage diagram
# while driving, the tacho needle turning with the engine.
# The judge reads the pictures with D3DX: give it back its library.
(cd "$game/out" && WINEDLLOVERRIDES="$own_overrides" wine "$build/tests/simhost/stage_pixels.exe" . slow driving slow fast) \
  || failures=$((failures + 1))
echo "stage-without-d3dx: $failures failure(s)"
exit $failures
