#!/usr/bin/env bash
# What a fresh process pays for two hostile files (/usr/bin/time -v: wall
# time and peak memory): an MPO whose index names 4,090 stereo views that
# all lie on one 2 MB picture (each found past zero padding), and a 20 KB
# JPEG followed by 1.5 GB of zeros (a sparse file). Both should be answered
# in well under a second, in a few tens of MB.
# Run from a checkout: bench/hostile_files.sh [BUILD_DIR] [PROGRAM]
#   PROGRAM defaults to BUILD_DIR/stereoglass; pass an older build's to compare.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
program=${2:-$build/stereoglass}
if [ -z "${2:-}" ]; then
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$build" -j"$(nproc)" --target stereoglass >/dev/null
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME=$work/config
/usr/bin/python3 - "$work" <<'PY'
import io, random, struct, sys
from PIL import Image
work = sys.argv[1]
random.seed(2)
noise = Image.frombytes('RGB', (160, 120), bytes(random.getrandbits(8) for _ in range(160 * 120 * 3)))
b = io.BytesIO(); noise.save(b, 'JPEG', quality=90); small = b.getvalue()
with open(work + '/padded.jpg', 'wb') as f:
    f.write(small); f.truncate(len(small) + 1500 * 1024 * 1024)

def mpf(entries):
    table = 8 + 2 + 3 * 12 + 4
    block = b'II*\x00' + struct.pack('<IH', 8, 3)
    block += struct.pack('<HHI4s', 0xB000, 7, 4, b'0100')
    block += struct.pack('<HHII', 0xB001, 4, 1, len(entries))
    block += struct.pack('<HHII', 0xB002, 7, 16 * len(entries), table) + struct.pack('<I', 0)
    for attribute, size, offset in entries:
        block += struct.pack('<IIIHH', attribute, size, offset, 0, 0)
    segment = b'MPF\x00' + block
    return b'\xff\xe2' + struct.pack('>H', len(segment) + 2) + segment

n = 4090
big = b'\xff\xd8\xff\xda\x00\x08\x01\x01\x00\x00\x3f\x00' + b'\xff\x00' * (1 << 20) + b'\xff\xd9'
first_size = len(small) + len(mpf([(0, 0, 0)] * n))
block_at = 2 + 4 + 4  # SOI, APP2 marker and length, "MPF\0"
total = first_size + n + len(big)
entries = [(0x020002, total - (first_size + i), first_size + i - block_at) for i in range(n)]
with open(work + '/index.mpo', 'wb') as f:
    f.write(small[:2] + mpf(entries) + small[2:] + b'\x00' * n + big)
PY
for name in index.mpo padded.jpg; do
  echo "== $name"
  /usr/bin/time -v "$program" -c -q -o "$work/out.jpg" "$work/$name" 2>&1 |
    grep -E 'stereoglass:|Elapsed|Maximum resident' || true
done
