#!/usr/bin/env bash
# Installs what a fresh Debian machine lacks, builds with warnings as errors and runs every test.
#   ./test.sh              build and run the tests
#   ./test.sh --sanitize   the same with AddressSanitizer and UndefinedBehaviorSanitizer
set -euo pipefail
cd "$(dirname "$0")"
source scripts/setup.sh
orvane_install_packages

build_dir=build
sanitize=OFF
for arg in "$@"; do
    case "$arg" in
        --sanitize) build_dir=build-sanitize; sanitize=ON ;;
        *) echo "unknown option: $arg" >&2; exit 2 ;;
    esac
done

cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVANE_WERROR=ON \
    -DORVANE_SANITIZE="$sanitize" >/dev/null
cmake --build "$build_dir" -j "$(nproc)"
cd "$build_dir"
ctest --output-on-failure -j "$(nproc)"
