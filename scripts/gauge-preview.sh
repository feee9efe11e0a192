#!/usr/bin/env bash
# Renders a gauge definition with the plug-in's own gauge code on a real
# Direct3D 9 device under Wine, for car values given here.
#   bash scripts/gauge-preview.sh DEFINITION [--set NAME=VALUE]... [--out FILE.png]
#   bash scripts/gauge-preview.sh DEFINITION --sweep NAME=FROM:TO [--frames N] [--fps F] --out FILE.gif
#   bash scripts/gauge-preview.sh --list      every value name
# A sweep renders its frames with the spring smoothing stepped at 1/fps and
# makes an animated GIF of them (ImageMagick, else ffmpeg).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${OSTREL_BUILD:-$root/build}"
exe="$build/tools/gauges/gauge-preview.exe"

args=()
out=""
sweep=0
fps=30
while [ $# -gt 0 ]; do
  case "$1" in
    --out) out="${2:-}"; shift 2 || { echo "gauge-preview: --out needs a value" >&2; exit 2; } ;;
    --sweep) sweep=1; args+=("$1" "${2:-}"); shift 2 || shift ;;
    --fps) fps="${2:-}"; args+=("$1" "${2:-}"); shift 2 || shift ;;
    *) args+=("$1"); shift ;;
  esac
done

frames=""
if [ "$sweep" = 1 ]; then
  out="${out:-gauge-preview.gif}"
  case "$out" in
    *.gif|*.GIF) ;;
    *) echo "gauge-preview: a sweep makes an animation: give --out NAME.gif" >&2; exit 2 ;;
  esac
  frames="$(mktemp -d "${TMPDIR:-/tmp}/gauge-preview.XXXXXX")"
  trap 'rm -rf "$frames"; stop_xvfb' EXIT
  args+=(--frames-dir "$frames")
elif [ -n "$out" ]; then
  args+=(--out "$out")
fi

[ -x "$exe" ] || bash "$root/scripts/build.sh" >&2
. "$root/scripts/wine-session.sh"
start_wine_session
[ -n "$frames" ] && trap 'rm -rf "$frames"; stop_xvfb' EXIT

status=0
wine "$exe" "${args[@]}" </dev/null || status=$?
[ "$status" -eq 0 ] || exit "$status"
[ -n "$frames" ] || exit 0

# One GIF frame per rendered frame, shown for 1/fps seconds, looping.
delay=$(awk -v f="$fps" 'BEGIN { d = 100 / f; printf "%d", (d < 2 ? 2 : d + 0.5) }')
shopt -s nullglob
pngs=("$frames"/frame-*.png)
if command -v convert >/dev/null 2>&1; then
  convert -delay "$delay" -loop 0 "${pngs[@]}" -layers OptimizeTransparency "$out"
else
  ffmpeg -loglevel error -y -framerate "$fps" -i "$frames/frame-%04d.png" \
    -vf "split[a][b];[a]palettegen[p];[b][p]paletteuse" "$out"
fi
echo "wrote $out (${#pngs[@]} frames at $fps fps)"
