#!/usr/bin/env bash
# Makes doc/methods.png, the README's picture of every method side by side:
# each tile is the program's own anaglyph of one small side-by-side sample,
# one row per pair of glasses. Needs ImageMagick (convert, montage).
#
#     scripts/make-methods-picture.sh [build/stereoglass] [SAMPLE]
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
program=${1:-$root/build/stereoglass}
sample=${2:-$root/tests/data/treetrunk-sbs-rgba.png}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME=$work/config # the user's defaults change nothing

# Small and opaque, both halves scaled alike.
convert "$sample" -background black -alpha remove -resize 280x140! "$work/pair.png"

tiles=()
for glasses in red-cyan green-magenta amber-blue; do
  for method in colour half-colour grey dubois optimised; do
    out="$work/$glasses-$method.png"
    if "$program" -c -q --glasses "$glasses" --method "$method" -o "$out" "$work/pair.png" 2>/dev/null; then
      tiles+=(-label "$glasses $method" "$out")
    else
      tiles+=(-label "" "null:") # optimised is for red-cyan only
    fi
  done
done
montage "${tiles[@]}" -tile 5x3 -geometry +6+6 -pointsize 11 -background white "$root/doc/methods.png"
echo "wrote $root/doc/methods.png"
