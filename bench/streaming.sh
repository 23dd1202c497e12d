#!/usr/bin/env bash
# The anaglyph of a side-by-side JPEG band by band on both cores, as a user
# pays for it: "stereoglass -c" as a fresh process against the single-thread
# codec floor (bench/codec_floor.cpp) in one hyperfine run on the
# 16-megapixel picture, the peak memory per source pixel (/usr/bin/time) on
# it and on a 200-megapixel one (20000 x 10000), and the batch throughput of
# 50 copies of a 4-megapixel pair with two workers against one.
#   bench/streaming.sh [BUILD_DIR]      (default: build)
# Needs hyperfine, /usr/bin/time, taskset, ImageMagick (convert) and Pillow. The pictures are
# made here from the figure sample and removed at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
nice cmake --build "$build" -j2 --target stereoglass bench_codec_floor >/dev/null
program=$(realpath "$build/stereoglass")
floor=$(realpath "$build/bench/bench_codec_floor")
work=$(mktemp -d /tmp/sg-streaming-bench-XXXXXX)
trap 'rm -rf "$work"' EXIT
unset DISPLAY

big=$work/big.jpg      # 6528 x 2448, 16 megapixels
huge=$work/huge.jpg    # 20000 x 10000, 200 megapixels
pair=$work/pair.jpg    # 2828 x 1414, 4 megapixels
convert tests/data/figure-sbs.jps -resize '6528x2448!' -quality 92 "$big"
convert tests/data/figure-sbs.jps -resize '2828x1414!' -quality 95 "$pair"

json=$work/times.json
hyperfine -N --warmup 2 --runs "${SG_BENCH_RUNS:-15}" --export-json "$json" \
    -n floor "$floor $big $work/floor.jpg" \
    -n 'stereoglass -c' "$program -c -q $big -o $work/anaglyph.jpg"
python3 - "$json" <<'PY'
import json, sys
r = {x["command"]: x["median"] for x in json.load(open(sys.argv[1]))["results"]}
f, p = r["floor"], r["stereoglass -c"]
print(f"16 MP, fresh process: stereoglass -c {p*1000:.0f} ms, floor {f*1000:.0f} ms (medians): {p/f:.2f}x the floor (goal at most 0.75x)")
PY

peak() { # picture width height: prints bytes per source pixel of "stereoglass -c"
    local kb
    kb=$(/usr/bin/time -f %M "$program" -c -q "$1" -o "$work/peak.jpg" 2>&1 >/dev/null | tail -1)
    python3 -c "print(f'{$kb * 1024 / ($2 * $3):.2f} bytes per source pixel ({$kb // 1024} MiB)')"
}
echo "16 MP peak memory: $(peak "$big" 6528 2448) (goal at most 2.5)"
# ImageMagick's Debian policy refuses 200 megapixels; Pillow makes it.
/usr/bin/python3 -c "from PIL import Image; Image.open('$big').resize((20000, 10000)).save('$huge', quality=92)"
echo "200 MP peak memory: $(peak "$huge" 20000 10000) (goal within 3)"
rm -f "$huge"

mkdir "$work/in"
for i in $(seq -w 1 50); do cp "$pair" "$work/in/pair$i.jpg"; done
cd "$work"
# One worker's throughput is one core's: --jobs 1 held to one core. Unheld,
# a lone worker streams each picture on both cores, which is shown too.
hyperfine --warmup 1 --runs "${SG_BENCH_BATCH_RUNS:-5}" --export-json batch.json --prepare 'rm -rf out' \
    -n '1 worker, one core' "taskset -c 0 $program -c -q --jobs 1 in -o out/" \
    -n '1 worker' "$program -c -q --jobs 1 in -o out/" \
    -n '2 workers' "$program -c -q --jobs 2 in -o out/"
python3 - batch.json <<'PY'
import json, sys
r = {x["command"]: x["median"] for x in json.load(open(sys.argv[1]))["results"]}
core, one, two = r["1 worker, one core"], r["1 worker"], r["2 workers"]
print(f"batch, 50 x 4 MP (medians): 1 worker on one core {core:.2f} s, 1 worker {one:.2f} s, 2 workers {two:.2f} s: "
      f"2 workers {core/two:.2f}x one worker on one core (goal at least 1.9x), {one/two:.2f}x an unheld one")
PY
