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
# Each method is timed right beside colour, in its own hyperfine run, so that
# a busy machine's drift weighs on both alike.
command_for() {
  echo "$build/stereoglass -c -q --glasses $1 --method $2 -o $work/out.jpg $source"
}
colour=$(command_for red-cyan colour)
for m in "${methods[@]:1}"; do
  read -r glasses method <<<"$m"
  hyperfine -N --warmup 2 --runs "${RUNS:-10}" --export-json "$work/$glasses-$method.json" \
    -n "red-cyan colour" "$colour" -n "$glasses $method" "$(command_for "$glasses" "$method")" >/dev/null
done
python3 - "$work"/*.json <<'PY'
import json, sys
# Wall time, and the processor time (user + system), which a busy machine
# disturbs less.
worst = worstCpu = 0
for path in sys.argv[1:]:
    colour, method = json.load(open(path))["results"]
    ratio = method["median"] / colour["median"]
    cpu, colourCpu = method["user"] + method["system"], colour["user"] + colour["system"]
    worst, worstCpu = max(worst, ratio), max(worstCpu, cpu / colourCpu)
    print(f"{method['command']:<26} median {method['median']*1000:4.0f} ms vs colour {colour['median']*1000:4.0f} ms:"
          f" {ratio:.2f} x;  cpu {cpu*1000:4.0f} vs {colourCpu*1000:4.0f} ms: {cpu/colourCpu:.2f} x")
print(f"slowest method: {worst:.2f} x colour in wall time, {worstCpu:.2f} x in cpu time (target <= 1.30)")
PY
