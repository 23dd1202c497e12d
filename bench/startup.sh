#!/usr/bin/env bash
# Start-up of "stereoglass -c" on a missing file as a fresh process against a
# bare C++ program linked against the codecs alone, in one hyperfine run, and
# the shared libraries each loads (the loader's own list, LD_DEBUG=files).
# Run from a checkout: bench/startup.sh [BUILD_DIR] [EARLIER_PROGRAM]
# EARLIER_PROGRAM, when given, is another build of the program (say, one
# from before a change) measured and counted in the same run.
# Needs hyperfine (Debian: hyperfine).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
earlier=${2:-}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target stereoglass bench_bare_codecs >/dev/null
missing=/tmp/stereoglass-startup-missing.jpg
rm -f "$missing"
program="$build/stereoglass -c $missing"
bare="$build/bench/bench_bare_codecs $missing"

libraries() { # the number of shared libraries a run loads, and the desktop ones among them
    local log
    log=$(LD_DEBUG=files "$@" 2>&1 >/dev/null || true)
    local all desktop
    all=$(grep -c 'generating link map' <<<"$log" || true)
    desktop=$(grep 'generating link map' <<<"$log" | grep -cE 'libgtk|libgdk|libX11' || true)
    echo "$all shared libraries ($desktop of GTK, GDK or X11)"
}

commands=("$bare" "$program")
[ -n "$earlier" ] && commands+=("$earlier -c $missing")
json=$(mktemp)
trap 'rm -f "$json"' EXIT
hyperfine -N -i --warmup 5 --runs 100 --export-json "$json" "${commands[@]}"
python3 - "$json" <<'PY'
import json, sys
r = json.load(open(sys.argv[1]))["results"]
bare, program = r[0]["median"], r[1]["median"]
print(f"start-up on a missing file: stereoglass -c {program*1000:.1f} ms, bare codecs program {bare*1000:.1f} ms"
      f" (medians), ratio {program/bare:.2f} (goal at most 1.5)")
if len(r) > 2:
    print(f"earlier program: {r[2]['median']*1000:.1f} ms, ratio {r[2]['median']/bare:.2f}")
PY
echo "bare codecs program: $(libraries $bare)"
echo "stereoglass -c:      $(libraries $program)"
[ -n "$earlier" ] && echo "earlier program -c:  $(libraries $earlier -c $missing)"
# What a window run and the first copy of a source's metadata add: the
# private library and the libraries it needs that the -c run has not loaded
# already.
loaded=$(LD_DEBUG=files $program 2>&1 >/dev/null | sed -n 's/.*file=\([^ ]*\) .*generating link map.*/\1/p' | sort -u || true)
adds() { # WHAT LIBRARY
    local added
    added=$(ldd "$2" | awk '/=>/ {print $1}' | sort -u | comm -23 - <(echo "$loaded") | wc -l)
    printf '%-20s %s\n' "$1 adds:" "$((added + 1)) shared libraries ($(basename "$2") and $added it needs)"
}
adds "a window run" "$build/lib/stereoglass/libstereoglass-desktop.so"
adds "a metadata copy" "$build/lib/stereoglass/libstereoglass-metadata.so"
