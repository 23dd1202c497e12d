#!/usr/bin/env bash
# The file managers' preview of a 27-megapixel side-by-side JPEG as a fresh
# process (--thumbnail 256, decoded at a reduced scale) against the same
# program decoding the picture whole for its anaglyph (-c), and the peak
# memory of each. Run from a checkout: bench/thumbnail.sh [BUILD_DIR]
# Needs hyperfine, ImageMagick and /usr/bin/time (Debian: hyperfine,
# imagemagick, time).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target stereoglass >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
source=$work/big-sbs.jpg
convert tests/data/figure-sbs.jps -resize 600% -quality 92 "$source"
export XDG_CONFIG_HOME=$work # no settings file
preview="$build/stereoglass --thumbnail 256 $source $work/preview.png"
whole="$build/stereoglass -c -q -o $work/whole.jpg $source"

json=$work/times.json
hyperfine -N --warmup 2 --runs 10 --export-json "$json" "$whole" "$preview"
python3 - "$json" <<'PY'
import json, sys
r = json.load(open(sys.argv[1]))["results"]
whole, preview = (x["median"] for x in r)
print(f"preview {preview*1000:.0f} ms, whole-picture anaglyph {whole*1000:.0f} ms (medians), ratio {whole/preview:.1f}")
PY
for name in whole preview; do
    kb=$(/usr/bin/time -f %M ${!name} 2>&1 >/dev/null | tail -1)
    echo "$name peak: $((kb / 1024)) MiB"
done
