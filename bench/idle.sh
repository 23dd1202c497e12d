#!/usr/bin/env bash
# The result window waiting for a key: CPU over 10 s (utime + stime from
# /proc/PID/stat), context switches of all its threads, and how soon a key
# ends the run. Starts its own Xvfb. Usage: bench/idle.sh [SHOW_FILE_BINARY]
set -euo pipefail
cd "$(dirname "$0")/.."
binary=${1:-}
if [ -z "$binary" ]; then
    cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build build -j"$(nproc)" --target bench_show_file >/dev/null
    binary=build/bench/bench_show_file
fi
source bench/xvfb.sh
cp tests/data/figure-sbs.jps "$work/pair.jps"

ticks=$(getconf CLK_TCK)
cpu() { awk '{print $14 + $15}' "/proc/$1/stat"; }
switches() { cat /proc/"$1"/task/*/status | awk '/voluntary_ctxt_switches/ {s += $2} END {print s}'; }

"$binary" "$work/pair.jps" &
pid=$!
sleep 3 # converted, shown and settled
c0=$(cpu $pid); s0=$(switches $pid)
sleep 10
c1=$(cpu $pid); s1=$(switches $pid)
python3 -c "print(f'idle: {($c1 - $c0) / $ticks / 10 * 100:.2f} % of one core over 10 s, {($s1 - $s0) / 10:.0f} context switches a second')"

start=$(date +%s%N)
xdotool key a
while kill -0 $pid 2>/dev/null; do
    if [ -r /proc/$pid/stat ] && [ "$(awk '{print $3}' /proc/$pid/stat)" = Z ]; then break; fi
    sleep 0.001
done
end=$(date +%s%N)
wait $pid || true
echo "key to exit: $(( (end - start) / 1000000 )) ms"
