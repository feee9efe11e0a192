#!/usr/bin/env bash
# The main job: installs what is missing, builds, and runs the full stage in
# the simulated host with the plug-in, writing to out/demo/:
#   <phase>.png      one screenshot per phase (menu, pre-start, driving, ...)
#   stage.gif        the whole stage, one picture every 10 frames
#   contact-sheet.png  the phase screenshots side by side, close-ups of the
#                      panels' text at three times the size under them
#   OSTREL.log       the plug-in's log;  calls.log, timing.csv  the host's records
#   summary.txt      what ran
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
out="$root/out/demo"

build_all
start_wine_session

game="$build/demo-game"
rm -rf "$out"
mkdir -p "$out"
stage_game "$game"
# An 800 x 600 window: the settings page's lines and the panels' text fit with
# room to spare (the panels keep their own coordinates).
width=800 height=600
# The shipped diagram position (20, 300 at full size) suits larger screens; on
# this window it would cover the dashboard's tacho, so the demo places it as a
# player would there: top right, at half size (80 x 160).
plugin="$game/Plugins/OSTREL"
sed -e "s/^PosX=.*/PosX=$((width - 92))/" -e 's/^PosY=.*/PosY=28/' -e 's/^Scale=.*/Scale=0.5/' \
  "$plugin/carDamageHUD.ini.default" >"$plugin/carDamageHUD.ini"
# Then the stage once more (best-run-demo.txt): the first run's finish is the
# best, and the best run panel measures the second against it.
python3 "$root/scripts/demo_scenario.py" "$root/simhost/scenarios/full-stage.txt" "$game/scenario.txt" 10 \
  "$width" "$height" --then "$root/simhost/scenarios/best-run-demo.txt"
frames=$(sed -n 's/^frames \([0-9]*\).*/\1/p' "$game/scenario.txt")

echo "demo: running $frames frames of the full stage in the simulated host"
start=$(date +%s)
# At the scenario's frame rate: blinking, autohide and the needles' springs
# run on real time, so the pictures follow the scenario's timeline.
(cd "$game" && wine simhost.exe scenario.txt out >"$out/host-output.txt" 2>&1) &
host=$!
# Progress from the screenshots the host has written so far: one line kept
# up to date on a terminal, else a whole line per tenth of the stage.
shown_tenth=0
while kill -0 "$host" 2>/dev/null; do
  done_frames=$(( $(ls "$game/out" 2>/dev/null | grep -c '^anim-' || true) * 10 ))
  if [ -t 1 ]; then
    printf '\rdemo: frame %d of %d' "$done_frames" "$frames"
  elif [ "$frames" -gt 0 ] && [ $(( done_frames * 10 / frames )) -gt "$shown_tenth" ]; then
    shown_tenth=$(( done_frames * 10 / frames ))
    echo "demo: frame $done_frames of $frames"
  fi
  sleep 2
done
wait "$host" && status=0 || status=$?
if [ -t 1 ]; then
  printf '\rdemo: frame %d of %d\n' "$frames" "$frames"
elif [ "$shown_tenth" -lt 10 ]; then
  echo "demo: frame $frames of $frames"
fi
seconds=$(( $(date +%s) - start ))

cp "$game/out/calls.log" "$game/out/timing.csv" "$out/" 2>/dev/null || true
cp "$game/Plugins/OSTREL/OSTREL.log" "$out/" 2>/dev/null || true
phases=(menu pre-start first-damage driving-damage gauges autohide finish back-to-menu best-run)
for p in "${phases[@]}"; do
  [ -f "$game/out/$p.png" ] && cp "$game/out/$p.png" "$out/"
done
if ls "$game/out"/anim-*.png >/dev/null 2>&1; then
  ffmpeg -loglevel error -y -framerate 6 -pattern_type glob -i "$game/out/anim-*.png" \
    -vf "split[a][b];[a]palettegen[p];[b][p]paletteuse" "$out/stage.gif" || true
fi
shots=()
for p in "${phases[@]}"; do [ -f "$out/$p.png" ] && shots+=("$out/$p.png"); done
if [ ${#shots[@]} -gt 0 ]; then
  font=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
  [ -f "$font" ] || font=DejaVu-Sans
  # At the window's own size: the panels' small text stays readable.
  montage -font "$font" -label '%t' -pointsize 16 "${shots[@]}" -tile 4x -geometry +4+4 "$out/contact-sheet.png" || true
  # A row of close-ups at three times the size under the sheet: the panels'
  # small text stays readable where the sheet is shown shrunk (the README).
  zoom=$(mktemp -d)
  closeups=()
  closeup() {  # SHOT GEOMETRY LABEL
    [ -f "$out/$1.png" ] || return 0
    convert "$out/$1.png" -crop "$2" +repage -filter point -resize 300% "$zoom/${#closeups[@]}.png" &&
      closeups+=(-label "$3" "$zoom/${#closeups[@]}.png")
  }
  closeup pre-start 100x130+0+185 "tire panel (pre-start), 3x"
  closeup finish 440x80+0+105 "damaged part table (finish), 3x"
  closeup menu 400x110+400+380 "settings page, bottom right (menu), 3x"
  closeup best-run 240x70+200+10 "best run delta (second run), 3x"
  if [ ${#closeups[@]} -gt 0 ] && [ -f "$out/contact-sheet.png" ]; then
    montage -font "$font" -pointsize 16 "${closeups[@]}" -tile x1 -geometry +12+4 "$zoom/row.png" &&
      convert "$out/contact-sheet.png" "$zoom/row.png" -background white -gravity center -append +repage -depth 8 \
        "$out/contact-sheet.png" || true
  fi
  rm -rf "$zoom"
fi

{
  echo "OSTREL demo: full stage in the simulated host; 32-bit code ran $(ia32_mode)"
  echo "frames: $frames   wall time: ${seconds} s   host exit code: $status"
  echo "plug-in start-up:"
  grep -E "Default files: installed|detour: |Gauge texture created|Gauge reload" "$out/OSTREL.log" | sed 's/^/  /' || true
  echo "host faults: $(grep -o 'faults .*' "$out/calls.log" | head -1)"
  python3 - "$out/timing.csv" <<'PY' || true
import csv, sys
rows = list(csv.DictReader(open(sys.argv[1])))
plugin = sorted(float(r["plugin_total_us"]) for r in rows)
if plugin:
    p = lambda q: plugin[min(len(plugin) - 1, int(q * len(plugin)))]
    print(f"plug-in time per frame: p50 {p(0.5):.0f} us, p99 {p(0.99):.0f} us, max {plugin[-1]:.0f} us")
PY
  echo "pictures: ${#shots[@]} phase screenshots, stage.gif, contact-sheet.png in out/demo/"
} | tee "$out/summary.txt"
exit "$status"
