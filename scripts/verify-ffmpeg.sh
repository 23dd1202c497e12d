#!/usr/bin/env bash
# Cross-checks the anaglyph methods against ffmpeg's stereo3d filter: on an
# even-width PNG pair, grey, half-colour and colour for red-cyan and
# green-magenta must agree within 1 per channel (ffmpeg truncates where
# Stereoglass rounds). Not a CI test; run it by hand after building:
#
#     scripts/verify-ffmpeg.sh [build/stereoglass] [SAMPLE]
#
# Needs ffmpeg and ImageMagick's compare. Exits 1 when a method disagrees.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
program=${1:-$root/build/stereoglass}
sample=${2:-$root/tests/data/figure-sbs.jps}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# An empty settings folder, so that the user's defaults change nothing.
export XDG_CONFIG_HOME=$work/config

# Both sides read the same lossless pixels.
ffmpeg -v error -y -i "$sample" -pix_fmt rgb24 "$work/pair.png"
width=$(identify -format '%w' "$work/pair.png")
if (( width % 2 )); then
  echo "the pair must have an even width; $sample is $width pixels wide" >&2
  exit 2
fi

# glasses method ffmpeg-mode
checks=(
  "red-cyan grey arcg"
  "red-cyan half-colour arch"
  "red-cyan colour arcc"
  "green-magenta grey agmg"
  "green-magenta half-colour agmh"
  "green-magenta colour agmc"
)
failed=0
for check in "${checks[@]}"; do
  read -r glasses method mode <<<"$check"
  "$program" -c -q --glasses "$glasses" --method "$method" -o "$work/ours.png" "$work/pair.png"
  ffmpeg -v error -y -i "$work/pair.png" -vf "stereo3d=sbsl:$mode" -pix_fmt rgb24 "$work/theirs.png"
  # Peak absolute error, normalised to 0..1; times 255 it is in channel units.
  # (compare exits 1 when the pictures differ at all.)
  normalised=$( (compare -metric PAE "$work/ours.png" "$work/theirs.png" null: 2>&1 || true) | sed -n 's/.*(\(.*\)).*/\1/p')
  if [[ -z $normalised ]]; then
    echo "compare could not measure $glasses $method" >&2
    exit 2
  fi
  peak=$(awk -v n="$normalised" 'BEGIN { printf "%.0f", n * 255 }')
  verdict=ok
  if (( peak > 1 )); then
    verdict=DIFFERS
    failed=1
  fi
  printf '%-14s %-12s vs %-5s largest difference %s  %s\n' "$glasses" "$method" "$mode" "$peak" "$verdict"
done
exit $failed
