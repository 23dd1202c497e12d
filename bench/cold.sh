#!/usr/bin/env bash
# One conversion as a fresh process against the codec floor run as a fresh
# process on the same 16-megapixel side-by-side JPEG, and the peak memory of
# each. Run from a checkout: bench/cold.sh [BUILD_DIR]
# Needs hyperfine and /usr/bin/time (Debian: hyperfine, time).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target bench_convert_file bench_codec_floor >/dev/null
source=/tmp/stereoglass-bench-16mp.jpg
"$build/bench/bench_convert_file" >/dev/null # makes the sample once
program="$build/bench/bench_convert_file $source /tmp/stereoglass-cold_anaglyph"
floor="$build/bench/bench_codec_floor $source /tmp/stereoglass-cold-floor.jpg"

json=$(mktemp)
trap 'rm -f "$json"' EXIT
hyperfine -N --warmup 2 --runs 10 --export-json "$json" "$floor" "$program"
python3 - "$json" <<'PY'
import json, sys
r = json.load(open(sys.argv[1]))["results"]
floor, program = (x["median"] for x in r)
print(f"fresh-process conversion: {program*1000:.0f} ms, floor {floor*1000:.0f} ms (medians), ratio {program/floor:.2f}")
PY
pixels=$(python3 -c "import struct;d=open('$source','rb').read();i=2
while True:
    m=d[i+1];l=struct.unpack('>H',d[i+2:i+4])[0]
    if m in (0xC0,0xC1,0xC2):
        h,w=struct.unpack('>HH',d[i+5:i+9]);print(w*h);break
    i+=2+l")
for name in floor program; do
    kb=$(/usr/bin/time -f %M ${!name} 2>&1 >/dev/null | tail -1)
    echo "$name peak: $((kb / 1024)) MiB, $(python3 -c "print(f'{$kb*1024/$pixels:.1f}')") bytes per source pixel"
done
