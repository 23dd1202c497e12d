#!/usr/bin/env bash
# CPU while the "Select File" dialog waits for the user, against
# `zenity --file-selection` on the same display: utime + stime over 10 s
# from /proc/PID/stat. Starts its own Xvfb and openbox. Needs zenity.
# Usage: bench/dialog_idle.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target stereoglass >/dev/null
source bench/xvfb.sh
openbox >/dev/null 2>&1 &
extra_pids=$!
sleep 1

ticks=$(getconf CLK_TCK)
cpu() { awk '{print $14 + $15}' "/proc/$1/stat"; }
measure() {
    (cd "$work" && exec "$@") >/dev/null 2>&1 &
    local pid=$!
    sleep 3 # the dialog is up and settled
    local c0 c1
    c0=$(cpu $pid)
    sleep 10
    c1=$(cpu $pid)
    kill $pid 2>/dev/null || true
    wait $pid 2>/dev/null || true
    python3 -c "print(f'{($c1 - $c0) / $ticks / 10 * 100:.2f}')"
}
ours=$(measure "$PWD/$build/stereoglass")
zenity=$(measure zenity --file-selection)
echo "dialog open, % of one core over 10 s: stereoglass $ours, zenity --file-selection $zenity"
