#!/usr/bin/env bash
# Dialog gone -> picture settled on the screen: the program's run after the
# dialog (bench_show_file) started under a screen reader that samples the
# middle row and column of the root window every 5 ms, for a 16-megapixel
# and a 1-megapixel side-by-side JPEG; the 16-megapixel figure is compared
# with the codec floor as a fresh process. Medians of 5 runs. Starts its own
# Xvfb. Usage: bench/screen.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target bench_show_file bench_screen_settle bench_convert_file bench_codec_floor >/dev/null
source bench/xvfb.sh

big=/tmp/stereoglass-bench-16mp.jpg
small=/tmp/stereoglass-bench-1mp.jpg
"$build/bench/bench_convert_file" >/dev/null
[ -f "$small" ] || "$build/bench/bench_convert_file" --make "$small" 1414 707

median() { sort -n | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}'; }
settle() {
    for _ in 1 2 3 4 5; do
        cp "$1" "$work/pair.jpg"
        "$build/bench/bench_screen_settle" "$build/bench/bench_show_file" "$work/pair.jpg"
        sleep 0.3
    done | median
}
floor_ms() {
    for _ in 1 2 3 4 5; do
        s=$(date +%s%N); "$build/bench/bench_codec_floor" "$big" "$work/floor.jpg"; e=$(date +%s%N)
        echo $(( (e - s) / 1000000 ))
    done | median
}
b=$(settle "$big"); f=$(floor_ms); s=$(settle "$small")
echo "16 MP: settled after $b ms; codec floor $f ms; ratio $(python3 -c "print(f'{$b / $f:.2f}')")"
echo "1 MP: settled after $s ms"
