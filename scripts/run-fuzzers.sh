#!/usr/bin/env bash
# run-fuzzers.sh BUILD_DIR SECONDS: runs every fuzz_* binary in BUILD_DIR/fuzz
# for SECONDS on a copy of its kept corpus (fuzz/corpus/NAME) and reports
# "fuzz NAME passed" or "fuzz NAME FAILED".
set -uo pipefail
build=$1
seconds=$2
root=$(cd "$(dirname "$0")/.." && pwd)
status=0
for fuzzer in "$build"/fuzz/fuzz_*; do
    [ -x "$fuzzer" ] || continue
    name=$(basename "$fuzzer")
    kept="$root/fuzz/corpus/${name#fuzz_}"
    work="$build/fuzz/work-$name"
    rm -rf "$work"
    mkdir -p "$work"
    [ -d "$kept" ] && cp -r "$kept"/. "$work"/
    if "$fuzzer" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 -print_final_stats=0 \
        "$work" >"$build/fuzz/$name.log" 2>&1; then
        echo "fuzz $name passed"
    else
        tail -40 "$build/fuzz/$name.log"
        echo "fuzz $name FAILED"
        status=1
    fi
done
exit $status
