#!/usr/bin/env bash
# Every benchmark of the project in one run, from an existing build: bench/run_all.sh [build-dir]
set -euo pipefail
build=${1:-build}
"$build/bench/bench_cookiepoll" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
"$build/bench/bench_print" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
"$(dirname "$0")/idle_cpu.sh" "$build"
"$build/bench/command_latency"
ORVANE_BINARY_DIR="$(realpath "$build")" "$build/bench/display_latency"
# The extension's route is measured on a desk root: the package installed in a private mount namespace.
"$(dirname "$0")/../scripts/in-desk-root.sh" "$build" "$(realpath "$build")/bench/browser_latency"
