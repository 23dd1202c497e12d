#!/usr/bin/env bash
# Every anaglyph method's fresh-process conversion of the 16-megapixel
# side-by-side JPEG, timed with hyperfine against red-cyan colour (the mask
# path). The target: no method above 1.3 times colour.
# Run from a checkout: bench/methods.sh [BUILD_DIR]   (needs hyperfine)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target stereoglass bench_convert_file >/dev/null
source=/tmp/stereoglass-bench-16mp.jpg
"$build/bench/bench_convert_file" >/dev/null # makes the sample once

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# An empty settings folder, so that the user's defaults change nothing.
export XDG_CONFIG_HOME=$work/config
methods=(
  "red-cyan colour" "red-cyan half-colour" "red-cyan grey" "red-cyan optimised" "red-cyan dubois"
  "green-magenta colour" "green-magenta half-colour" "green-magenta grey" "green-magenta dubois"
  "amber-blue colour" "amber-blue half-colour" "amber-blue grey" "amber-blue dubois"
)
commands=()
for m in "${methods[@]}"; do
  read -r glasses method <<<"$m"
  commands+=(-n "$glasses $method"
             "$build/stereoglass -c -q --glasses $glasses --method $method -o $work/out.jpg $source")
done
hyperfine -N --warmup 2 --runs "${RUNS:-10}" --export-json "$work/times.json" "${commands[@]}" >/dev/null
python3 - "$work/times.json" <<'PY'
import json, sys
results = json.load(open(sys.argv[1]))["results"]
# Wall time, and the processor time (user + system), which a busy machine
# disturbs less.
colour = results[0]["median"]
colourCpu = results[0]["user"] + results[0]["system"]
worst = worstCpu = 0
for r in results:
    ratio = r["median"] / colour
    cpu = r["user"] + r["system"]
    worst, worstCpu = max(worst, ratio), max(worstCpu, cpu / colourCpu)
    print(f"{r['command']:<26} median {r['median']*1000:5.0f} ms (+/- {r['stddev']*1000:3.0f}) {ratio:.2f} x colour;"
          f"  cpu {cpu*1000:5.0f} ms {cpu/colourCpu:.2f} x")
print(f"slowest method: {worst:.2f} x colour in wall time, {worstCpu:.2f} x in cpu time (target <= 1.30)")
PY
