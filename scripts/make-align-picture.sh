#!/usr/bin/env bash
# Makes doc/align.png, the README's picture of --align: the figure sample's
# right view given a 2 degree roll, a 2 % zoom, a 14-row offset and a 1.5 %
# keystone, shown as the program's own grey anaglyph before and after
# --align (with --shift auto), side by side. Needs ImageMagick and
# python3-opencv.
#
#     scripts/make-align-picture.sh [build/stereoglass]
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
program=${1:-$root/build/stereoglass}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME=$work/config # the user's defaults change nothing

/usr/bin/python3 - "$root" "$work/pair.png" <<'PY'
import sys
sys.path.insert(0, sys.argv[1] + "/bench")
import cv2, numpy as np
import align_accuracy as a
left, right = a.views_of(sys.argv[1] + "/tests/data/figure-sbs.jps")
left, right = a.distorted(left, right, roll_deg=2.0, zoom=1.02, dy=14, keystone=0.015)
cv2.imwrite(sys.argv[2], np.hstack([left, right]))
PY
"$program" -c -q --method grey -o "$work/before.png" "$work/pair.png"
"$program" -c -q --method grey --align --shift auto -o "$work/after.png" "$work/pair.png" 2>"$work/notes.txt"
cat "$work/notes.txt"
for name in before after; do
  convert "$work/$name.png" -resize 300x "$work/$name-small.png"
done
montage -label "as shot (grey anaglyph)" "$work/before-small.png" -label "--align --shift auto" "$work/after-small.png" \
  -tile 2x1 -geometry +8+8 -pointsize 13 -background white "$root/doc/align.png"
echo "wrote $root/doc/align.png"
