#!/usr/bin/env bash
# Installs what a fresh Debian machine lacks, builds with warnings as errors and runs every test.
#   ./test.sh              build and run the tests
#   ./test.sh --sanitize   the same built by clang with AddressSanitizer and UndefinedBehaviorSanitizer
#                          (build-sanitize/)
#   ./test.sh --bench      build the benchmarks under bench/ too (build/bench/; bench/run_all.sh runs them)
#   ./test.sh --fuzz       build the libFuzzer targets with clang and run each for a bounded time
#                          (ORVANE_FUZZ_SECONDS, default 30) from the seeds in fuzz/seeds/
#   ./test.sh -L unit      any other arguments go to ctest: -L unit (quick suites), -L window, -L peer,
#                          -R tst_receipt ...
set -euo pipefail
cd "$(dirname "$0")"
source scripts/setup.sh

mode=test
bench=OFF
ctest_args=()
for arg in "$@"; do
    case "$arg" in
        --sanitize) mode=sanitize ;;
        --fuzz) mode=fuzz ;;
        --bench) bench=ON ;;
        *) ctest_args+=("$arg") ;;
    esac
done

if [ "$mode" = fuzz ]; then
    orvane_install_packages clang libclang-rt-14-dev
    CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVANE_FUZZ=ON \
        -DCMAKE_COMPILE_WARNING_AS_ERROR=ON -DBUILD_TESTING=OFF -DORVANE_BENCH=OFF >/dev/null
    cmake --build build-fuzz -j "$(nproc)"
    seconds=${ORVANE_FUZZ_SECONDS:-30}
    status=0
    for target in fuzz_settings fuzz_commands fuzz_dialcheck fuzz_nativeframes; do
        corpus="build-fuzz/corpus/$target"
        mkdir -p "$corpus"
        log="build-fuzz/$target.log"
        if ./build-fuzz/fuzz/"$target" "$corpus" "fuzz/seeds/$target" -max_total_time="$seconds" \
            -print_final_stats=1 -artifact_prefix="build-fuzz/$target-" >"$log" 2>&1; then
            result="no crash"
        else
            result="CRASH (see $log)"
            status=1
        fi
        runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
        echo "$target: ${runs:-?} executions in ${seconds} s, $result"
    done
    exit "$status"
fi

orvane_install_packages
build_dir=build
sanitize=OFF
if [ "$mode" = sanitize ]; then
    orvane_install_packages clang libclang-rt-14-dev
    export CC=clang CXX=clang++
    build_dir=build-sanitize
    sanitize=ON
    # Qt keeps some allocations until exit; undefined behaviour fails the test that shows it.
    export ASAN_OPTIONS=detect_leaks=0
    export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
fi
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_COMPILE_WARNING_AS_ERROR=ON \
    -DORVANE_SANITIZE="$sanitize" -DORVANE_BENCH="$bench" >/dev/null
cmake --build "$build_dir" -j "$(nproc)"
cd "$build_dir"
ctest --output-on-failure -j "$(nproc)" ${ctest_args[@]+"${ctest_args[@]}"}
