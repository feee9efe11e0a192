#!/usr/bin/env bash
# The plug-in folder read-only while the game runs: every file and folder in
# it made immutable (the test runs as root, for whom permission bits mean
# nothing). Once on a first start (nothing installed yet, no log possible)
# and once after a normal start, with the settings page saving. The game
# must run every frame to the end, and no file in the folder may change.
#   readonly-folder.sh BUILD-DIR SOURCE-DIR
set -uo pipefail
build="$1"
source="$2"
. "$source/scripts/lib.sh"
work="$build/testrun/readonly_folder"
plugin="$work/game/Plugins/OSTREL"
unlock() { [ -d "$work/game/Plugins" ] && chattr -R -i "$work/game/Plugins" 2>/dev/null; true; }
trap unlock EXIT
unlock
mkdir -p "$work"
stage_game "$work/game"
cp -rn "$source/assets/plugin/." "$plugin/"

cat > "$work/game/scenario.txt" <<'SCENARIO'
frames 120
frame 0
  mode 5
  menu open
frame 2
  key up
frame 14
  key select
frame 30
  menu close
  mode 1
  texture Cars\Car1\Textures\dashboard.png
  prestart 0.5 step -0.05
  clock 1 step 0.0166667
frame 50
  damagef 0 0.8
frame 80
  finished 1
frame 100
  mode 5
SCENARIO

failures=0
run_locked() {
  local label="$1"
  if ! chattr -R +i "$plugin"; then
    echo "readonly-folder: cannot make $plugin immutable (chattr); skipping" >&2
    exit 77
  fi
  local before after
  before=$(cd "$plugin" && find . -type f -print0 | sort -z | xargs -0 md5sum)
  rm -rf "$work/game/out"
  (cd "$work/game" && timeout 1200 wine simhost.exe scenario.txt out --no-pace >"$work/$label.out" 2>&1)
  local code=$?
  after=$(cd "$plugin" && find . -type f -print0 | sort -z | xargs -0 md5sum)
  chattr -R -i "$plugin"
  if [ $code -ne 0 ]; then echo "FAIL $label: the host ended with $code"; cat "$work/$label.out"; failures=$((failures+1)); fi
  if ! grep -q "plug-in destroyed" "$work/game/out/calls.log" 2>/dev/null; then
    echo "FAIL $label: the host did not reach its end"; failures=$((failures+1)); fi
  if ! grep -q "faults this-pointer=0 .* results=0" "$work/game/out/calls.log" 2>/dev/null; then
    echo "FAIL $label: host function faults"; grep faults "$work/game/out/calls.log"; failures=$((failures+1)); fi
  if [ "$before" != "$after" ]; then echo "FAIL $label: files in the read-only folder changed"; failures=$((failures+1)); fi
  echo "readonly-folder: $label done (exit $code)"
}

# A first start: only the shipped templates, nothing installed.
run_locked first-start
# A normal start installs the defaults and writes the log; then read-only.
(cd "$work/game" && timeout 1200 wine simhost.exe scenario.txt out --no-pace >"$work/normal.out" 2>&1) || {
  echo "FAIL normal start"; failures=$((failures+1)); }
[ -f "$plugin/OSTREL.log" ] || { echo "FAIL normal start wrote no log"; failures=$((failures+1)); }
run_locked after-install
exit $failures
