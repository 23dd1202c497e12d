#!/usr/bin/env bash
# --align and --shift auto: their cost as a fresh process on a 16-megapixel
# side-by-side pair (two 3264 x 2448 views, the 3DS sample's views scaled up
# with Lanczos, right view given a 1.2 degree roll, a 1.5 % zoom and a
# 12-row offset), against the same conversion without them, in one run;
# their peak memory per source pixel; the interpolations' quality and cost;
# and the accuracy table beside Hugin's align_image_stack, then once more on
# the pairs scaled up to 16-megapixel JPEGs.
# Run from a checkout: bench/align.sh [BUILD_DIR] [--speed-only]
# Needs hyperfine, /usr/bin/time, python3-opencv, python3-pil, hugin-tools.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target stereoglass >/dev/null
program=$(realpath "$build/stereoglass")
work=$(mktemp -d /tmp/stereoglass-align.XXXXXX)
trap 'rm -rf "$work"' EXIT
py=/usr/bin/python3 # Debian's, which has the cv2 and PIL modules

echo "(set-up) making the 16-megapixel pair"
"$py" bench/align_make_pair.py "$work/pair16.jpg"

base="$program -c -q -o $work/out.jpg $work/pair16.jpg"
align="$program -c -q --align -o $work/out.jpg $work/pair16.jpg"
auto="$program -c -q --shift auto -o $work/out.jpg $work/pair16.jpg"
json="$work/times.json"
hyperfine -N --warmup 2 --runs 15 --export-json "$json" "$base" "$align" "$auto"
"$py" - "$json" <<'PY'
import json, sys
r = json.load(open(sys.argv[1]))["results"]
base, align, auto = (x["median"] for x in r)
print(f"fresh process, medians: plain {base*1000:.0f} ms, --align {align*1000:.0f} ms ({align/base:.2f}x), "
      f"--shift auto {auto*1000:.0f} ms ({auto/base:.2f}x)")
# Processor time (user + system) is less swayed by other work on the machine.
cb, ca, cs = (x["user"] + x["system"] for x in r)
print(f"processor time, means: plain {cb*1000:.0f} ms, --align {ca*1000:.0f} ms ({ca/cb:.2f}x), "
      f"--shift auto {cs*1000:.0f} ms ({cs/cb:.2f}x)")
PY
pixels=$((6528 * 2448))
for name in base align auto; do
    kb=$(/usr/bin/time -f %M ${!name} 2>&1 >/dev/null | tail -1)
    echo "$name peak: $((kb / 1024)) MiB, $("$py" -c "print(f'{$kb*1024/$pixels:.2f}')") bytes per source pixel"
done
$program -c -q --align --shift auto -o "$work/out.jpg" "$work/pair16.jpg" 2>&1 | sed 's/^/  note: /'
[ "${2:-}" = "--speed-only" ] && exit 0

echo
"$py" bench/align_interpolation.py tests/data/treetrunk-sbs-rgba.png
echo
"$py" bench/align_accuracy.py "$program" "${SAMPLES:-tests/data}" "$work/accuracy"
# The same pairs scaled up to 16-megapixel side-by-side JPEGs: the path that
# measures on a reduced decode and writes by bands.
echo
echo "(16-megapixel JPEG pairs, views 3264 wide)"
"$py" bench/align_accuracy.py "$program" "${SAMPLES:-tests/data}" "$work/accuracy-jpeg" --jpeg-views 3264
