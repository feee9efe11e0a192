#!/usr/bin/env bash
# The gauge authoring tools under Wine, built first when missing.
#
#   bash scripts/gauge.sh lint [--no-images] PATH...
# Checks gauge definition files (or folders of them) and the images they
# name; one line per problem, "file:section:key: message".
# Exit status: 0 no errors, 1 errors found, 2 bad command line.
#
#   bash scripts/gauge.sh preview DEFINITION [--set NAME=VALUE]... [--out FILE.png]
#   bash scripts/gauge.sh preview DEFINITION --sweep NAME=FROM:TO [--frames N] [--fps F] --out FILE.gif
#   bash scripts/gauge.sh preview --list      every value name
# Renders a gauge definition with the plug-in's own gauge code on a real
# Direct3D 9 device, for car values given here. A sweep renders its frames
# with the spring smoothing stepped at 1/fps and makes an animated GIF of them
# (ImageMagick, else ffmpeg).
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

exe="$build/tools/gauges/gauge-${1:-}.exe"
need_exe() { [ -x "$exe" ] || build_all >&2; }

# No display needed: images are decoded, not drawn. Paths stay as written:
# Wine's current folder is this one (drive Z: is the Unix root), so relative
# and absolute paths both resolve, and the messages name files the way the
# author wrote them.
lint() { need_exe; exec wine "$exe" "$@" </dev/null; }

preview() {
  local args=() out="" sweep=0 fps=30
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

  need_exe
  start_wine_session
  [ -n "$frames" ] && trap 'rm -rf "$frames"; stop_xvfb' EXIT

  wine "$exe" "${args[@]}" </dev/null || exit $?
  [ -n "$frames" ] || exit 0

  # One GIF frame per rendered frame, shown for 1/fps seconds, looping.
  local delay
  delay=$(awk -v f="$fps" 'BEGIN { d = 100 / f; printf "%d", (d < 2 ? 2 : d + 0.5) }')
  shopt -s nullglob
  local pngs=("$frames"/frame-*.png)
  if command -v convert >/dev/null 2>&1; then
    convert -delay "$delay" -loop 0 "${pngs[@]}" -layers OptimizeTransparency "$out"
  else
    ffmpeg -loglevel error -y -framerate "$fps" -i "$frames/frame-%04d.png" \
      -vf "split[a][b];[a]palettegen[p];[b][p]paletteuse" "$out"
  fi
  echo "wrote $out (${#pngs[@]} frames at $fps fps)"
}

case "${1:-}" in
  lint) shift; lint "$@" ;;
  preview) shift; preview "$@" ;;
  *) echo "usage: gauge.sh lint [--no-images] PATH... | gauge.sh preview DEFINITION [OPTIONS]" >&2; exit 2 ;;
esac
