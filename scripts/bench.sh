#!/usr/bin/env bash
# The benchmark: the full stage and the long drive, each once with the
# plug-in (its allocation-counting build, drawing through the counting device)
# and once with the host alone, all in one run; then the gauge renderer on a
# 1024 x 1024 texture with and without refresh rectangles, and the damage
# diagram drawn as whole images and as visible texels only. Prints the tables
# and writes a plot of the plug-in's share of frame time.
#
#   bash scripts/bench.sh [OUTPUT-FOLDER]     (default build/bench)
# Each stage also runs with telemetry on (two targets, a packet every frame)
# and is compared with the run without it.
# BENCH_PACE=1 runs the frames at the scenario's rate instead of flat out.
# BENCH_SCENARIOS="full-stage" runs fewer stages (default: full-stage long-drive).
# BENCH_BASELINE=PATH-TO-OSTREL_counting.dll (of an older build) runs that
# plug-in too, on the same host in the same run, and prints the two side by side.
#
#   bash scripts/bench.sh --native [BENCHMARK-ARGUMENTS, e.g. --benchmark_filter=Classify]
# Instead, the native micro-benchmarks of the per-frame Windows-free code (the
# damage rules, the length decoder, the number formats): time per operation.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

if [ "${1:-}" = --native ]; then
  shift
  build_native native_bench >/dev/null
  exec "$build/native/bench/native_bench" --benchmark_time_unit=ns "$@"
fi

out="$(mkdir -p "${1:-$build/bench}" && cd "${1:-$build/bench}" && pwd)"
build_all
start_wine_session

pace="--no-pace"
[ "${BENCH_PACE:-0}" = 1 ] && pace=""

# A game folder as a player has it after installing the plug-in: the
# packaged files, every panel on, both gauge sets of the benchmark car.
make_game() {
  local dir="$1" with_plugin="$2"
  stage_game "$dir"
  rm -f "$dir/Plugins/OSTREL.dll"
  local p="$dir/Plugins/OSTREL"
  cp -r "$root/assets/plugin/." "$p/"
  for t in "$p"/*.ini.default; do [ -e "${t%.default}" ] || cp "$t" "${t%.default}"; done
  [ -e "$p/carDamageHUD" ] || cp -r "$p/carDamageHUD.default" "$p/carDamageHUD"
  mkdir -p "$p/Gauges/Car1"
  cp -r "$root/assets/plugin/Gauges.default/Car1/." "$p/Gauges/Car1/"
  printf '[Gauges]\r\nEnabled=1\r\nRefreshRate=0\r\n' >"$p/gauges.ini"
  cp -r "$root/simhost/bench/overlay/." "$dir/"
  if [ "$with_plugin" = yes ]; then cp "$build/src/OSTREL_counting.dll" "$dir/Plugins/OSTREL.dll"; fi
  if [ "$with_plugin" = baseline ]; then cp "$BENCH_BASELINE" "$dir/Plugins/OSTREL.dll"; fi
  # Telemetry on, both formats, a packet every frame (no listener: what a
  # player pays with the dashboard app closed is the same send).
  if [ "$with_plugin" = telemetry ]; then
    cp "$build/src/OSTREL_counting.dll" "$dir/Plugins/OSTREL.dll"
    printf '\r\n[Telemetry]\r\nEnabled=1\r\nRate=0\r\nTargets=A@127.0.0.1:20777, B@127.0.0.1:4444\r\n' >>"$p/OSTREL.ini"
  fi
}

configs="plugin telemetry host"
if [ -n "${BENCH_BASELINE:-}" ]; then
  [ -f "$BENCH_BASELINE" ] || { echo "bench: no baseline plug-in at $BENCH_BASELINE" >&2; exit 1; }
  configs="plugin baseline telemetry host"
fi

runs=()
for scenario in ${BENCH_SCENARIOS:-full-stage long-drive}; do
  for config in $configs; do
    dir="$out/$scenario-$config"
    case "$config" in
      plugin) make_game "$dir" yes; args="" ;;
      baseline) make_game "$dir" baseline; args="" ;;
      telemetry) make_game "$dir" telemetry; args="" ;;
      *) make_game "$dir" no; args="--no-plugin" ;;
    esac
    cp "$root/simhost/scenarios/$scenario.txt" "$dir/scenario.txt"
    echo "bench: $scenario, $config" >&2
    (cd "$dir" && wine simhost.exe scenario.txt out $pace --count-device $args </dev/null >"$dir/host-output.txt" 2>&1) \
      || { echo "bench: the host failed on $scenario ($config):" >&2; cat "$dir/host-output.txt" >&2; exit 1; }
    runs+=("$scenario:$config:$dir/out")
  done
done

echo "bench: gauge renderer, 1024 x 1024" >&2
mkdir -p "$out/gauge"
(cd "$out/gauge" && wine "$build/simhost/gauge_bench.exe" "$(winepath -w "$root/assets/plugin/Gauges.default/Car1")" \
   "$(winepath -w "$out/gauge/work")" 600 </dev/null >"$out/gauge/gauge.csv" 2>"$out/gauge/stderr.txt") \
  || { echo "bench: the gauge renderer bench failed:" >&2; cat "$out/gauge/stderr.txt" >&2; exit 1; }

echo "bench: damage diagram, whole images and visible texels" >&2
mkdir -p "$out/diagram"
(cd "$out/diagram" && wine "$build/simhost/diagram_bench.exe" \
   "$(winepath -w "$root/assets/plugin/carDamageHUD.default/Standard")" 300 </dev/null >"$out/diagram/diagram.csv" \
   2>"$out/diagram/stderr.txt") \
  || { echo "bench: the diagram bench failed:" >&2; cat "$out/diagram/stderr.txt" >&2; exit 1; }

/usr/bin/python3 "$root/scripts/bench_summary.py" --gauge "$out/gauge/gauge.csv" --diagram "$out/diagram/diagram.csv" \
  --plot "$out/plugin-share.png" --ia32 "$(ia32_mode)" \
  "${runs[@]}" | tee "$out/summary.txt"
