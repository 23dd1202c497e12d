#!/usr/bin/env bash
# Batch throughput: 50 copies of a 4-megapixel side-by-side pair converted by
# "stereoglass -c" with one worker and with two, timed by hyperfine.
#   bench/batch.sh [build folder]      (default: build)
# Needs hyperfine and ImageMagick (convert).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
program=$(realpath "$build/stereoglass")
work=$(mktemp -d /tmp/sg-batch-bench-XXXXXX)
trap 'rm -rf "$work"' EXIT

# A 2828 x 1414 pair (4.0 megapixels) made from the figure sample.
convert tests/data/figure-sbs.jps -resize '2828x1414!' -quality 95 "$work/pair.jpg"
mkdir "$work/in"
for i in $(seq -w 1 50); do cp "$work/pair.jpg" "$work/in/pair$i.jpg"; done
echo "$(identify -format '%w x %h' "$work/pair.jpg"), 50 copies, $(nproc) cores"

cd "$work"
unset DISPLAY
hyperfine --warmup 1 --runs "${SG_BENCH_RUNS:-5}" \
    --prepare 'rm -rf out' \
    -n '1 worker' "$program -c -q --jobs 1 in -o out/" \
    -n '2 workers' "$program -c -q --jobs 2 in -o out/"
