#!/usr/bin/env bash
# Dialog gone -> picture settled, as the user sees it: the real program
# started with no arguments under Xvfb and openbox; xdotool types the
# picture's path into the "Select File" dialog and bench_dialog_settle
# presses Enter and reads the middle row and column of the root window every
# 2 ms, from the first change (the dialog going) to the last (the picture
# settled). For the 16-megapixel side-by-side JPEG, against the codec floor
# as a fresh process in the same run, and for a 1-megapixel one. Medians of
# SG_SCREEN_RUNS runs (9). Usage: bench/dialog_to_screen.sh [BUILD_DIR [PROGRAM...]]; more
# than one PROGRAM (copies of other builds) are measured side by side.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
shift || true
programs=("$@")
[ ${#programs[@]} -gt 0 ] || programs=("$PWD/$build/stereoglass")
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
nice cmake --build "$build" -j2 --target stereoglass bench_dialog_settle bench_codec_floor >/dev/null
source bench/xvfb.sh
openbox >/dev/null 2>&1 &
extra_pids=$!
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config"
mkdir -p "$HOME" "$work/big" "$work/small"
# The 16-megapixel pair (6528 x 2448) is made from the figure sample, as in
# bench/streaming.sh; BIG names another picture instead.
if [ -n "${BIG:-}" ]; then cp "$BIG" "$work/big/pair.jpg"
else convert tests/data/figure-sbs.jps -resize '6528x2448!' -quality 92 "$work/big/pair.jpg"; fi
convert "$work/big/pair.jpg" -resize 1414x707! -quality 92 "$work/small/pair.jpg"
sleep 1 # openbox is up

median() { sort -n | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}'; }

# One run: prints "gone settled" in ms from Enter.
run_once() {
    local program=$1 picture=$2
    rm -f "${picture%/*}/pair_anaglyph.jpg"
    (cd "$work" && exec "$program") >/dev/null 2>&1 &
    local pid=$!
    xdotool search --sync --onlyvisible --name "^Select File$" >/dev/null
    sleep 0.5
    xdotool key ctrl+l
    xdotool type --delay 5 "$picture"
    sleep 0.7 # the location's completion has settled
    "$build/bench/bench_dialog_settle" xdotool key Return
    xdotool key a || true
    wait $pid 2>/dev/null || true
    sleep 0.3
}
# The median of settled - gone over SG_SCREEN_RUNS runs (default 9).
runs=${SG_SCREEN_RUNS:-9}
settle() {
    for _ in $(seq "$runs"); do run_once "$1" "$2"; done | awk '{print $2 - $1}' | median
}
floor_ms() {
    for _ in $(seq "$runs"); do
        s=$(date +%s%N); "$build/bench/bench_codec_floor" "$work/big/pair.jpg" "$work/floor.jpg"; e=$(date +%s%N)
        echo $(( (e - s) / 1000000 ))
    done | median
}
f=$(floor_ms)
for program in "${programs[@]}"; do
    b=$(settle "$program" "$work/big/pair.jpg")
    s=$(settle "$program" "$work/small/pair.jpg")
    echo "$program"
    echo "  16 MP: dialog gone -> settled $b ms; codec floor $f ms; ratio $(python3 -c "print(f'{$b / $f:.2f}')") (goal 1.2)"
    echo "  1 MP: dialog gone -> settled $s ms (goal 100)"
done
echo "codec floor again: $(floor_ms) ms"
