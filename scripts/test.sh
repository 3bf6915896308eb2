#!/usr/bin/env bash
# Builds rwbridge and runs every test. Usage: scripts/test.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
# shellcheck disable=SC2086
rwb_install_missing $RWB_BUILD_PACKAGES $RWB_TEST_PACKAGES

build=${1:-build}
cmake -S . -B "$build" -G Ninja -DRWB_BUILD_TESTS=ON
cmake --build "$build"
ctest --test-dir "$build" --output-on-failure -j "$(nproc)"
