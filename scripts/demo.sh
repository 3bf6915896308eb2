#!/usr/bin/env bash
# Builds rwbridge and runs the demo. Usage: scripts/demo.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
# shellcheck disable=SC2086
rwb_install_missing $RWB_BUILD_PACKAGES

build=${1:-build}
cmake -S . -B "$build" -G Ninja
cmake --build "$build"
echo "rwbridge builds; the plug-in, the ReWire library and the rwhost demo are not there yet,"
echo "so there is no demo to run."
