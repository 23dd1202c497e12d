#!/usr/bin/env bash
# The whole suite: a plain build, an ASan + UBSan build, a ThreadSanitizer
# build of the threaded tests, and a bounded libFuzzer run of each decoder.
# Each build has its own folder, so one never rebuilds another.
set -uo pipefail
cd "$(dirname "$0")/.."
# Called from make: keep the inner builds from printing every directory.
unset MAKEFLAGS MAKELEVEL MFLAGS
root=$(pwd)
jobs=$(nproc)
passed=0
failed=0
status=0

# Adds a ctest log's counts to the totals.
count() {
    local line
    line=$(grep -E "tests passed, [0-9]+ tests failed out of [0-9]+" "$1" | tail -1)
    if [ -n "$line" ]; then
        local total bad
        total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$line")
        bad=$(sed -E 's/.* ([0-9]+) tests failed.*/\1/' <<<"$line")
        passed=$((passed + total - bad))
        failed=$((failed + bad))
    fi
}

stage() {
    echo
    echo "=== $*"
}

# configure DIR [cmake options...]
configure() {
    local dir=$1
    shift
    cmake -S . -B "$dir" "$@" >"$dir.configure.log" 2>&1 || {
        cat "$dir.configure.log"
        return 1
    }
}

mkdir -p build

stage "plain build (build/)"
if configure build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSG_WERROR=ON && cmake --build build -j"$jobs"; then
    ctest --test-dir build -j"$jobs" --output-on-failure 2>&1 | tee build/ctest.log
    [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
    count build/ctest.log
else
    status=1
fi

stage "AddressSanitizer + UndefinedBehaviorSanitizer build (build-asan/)"
export ASAN_OPTIONS="halt_on_error=1:abort_on_error=0:detect_leaks=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0"
mkdir -p build-asan
if configure build-asan -DCMAKE_BUILD_TYPE=Debug -DSG_SANITIZE=address -DSG_WERROR=ON && cmake --build build-asan -j"$jobs"; then
    ctest --test-dir build-asan -j"$jobs" --output-on-failure 2>&1 | tee build-asan/ctest.log
    [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
    count build-asan/ctest.log
else
    status=1
fi
unset ASAN_OPTIONS UBSAN_OPTIONS LSAN_OPTIONS

stage "ThreadSanitizer build of the threaded tests (build-tsan/)"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$root/tests/tsan.supp"
mkdir -p build-tsan
if configure build-tsan -DCMAKE_BUILD_TYPE=Debug -DSG_SANITIZE=thread -DSG_WERROR=ON && cmake --build build-tsan -j"$jobs" --target threaded_tests; then
    ctest --test-dir build-tsan -L threads -j"$jobs" --output-on-failure 2>&1 | tee build-tsan/ctest.log
    [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
    count build-tsan/ctest.log
else
    status=1
fi
unset TSAN_OPTIONS

stage "libFuzzer runs (build-fuzz/)"
mkdir -p build-fuzz
if configure build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DSG_FUZZ=ON -DSG_BENCH=OFF -DSG_WERROR=OFF && cmake --build build-fuzz -j"$jobs" --target fuzzers; then
    if ! scripts/run-fuzzers.sh build-fuzz "${SG_FUZZ_SECONDS:-30}" 2>&1 | tee build-fuzz/fuzz.log; then
        status=1
    fi
    passed=$((passed + $(grep -c '^fuzz .* passed$' build-fuzz/fuzz.log)))
    failed=$((failed + $(grep -c '^fuzz .* FAILED$' build-fuzz/fuzz.log)))
else
    status=1
fi

echo
echo "make test: $passed passed, $failed failed"
exit $status
