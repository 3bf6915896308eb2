#!/usr/bin/env bash
# Builds rwbridge, installs it with our ReWire library into a folder of the build tree, and
# renders the demo song through the plug-in and the demo synthesizer to a WAV file.
# Usage: scripts/demo.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
# shellcheck disable=SC2086
rwb_install_missing $RWB_BUILD_PACKAGES

build=${1:-build}
# a relative folder is taken from the project's folder, an absolute one as it is
[[ $build == /* ]] || build="$PWD/$build"
cmake -S . -B "$build" -G Ninja -DRWB_BUILD_TESTS=OFF
cmake --build "$build"
prefix="$build/demo-install"
cmake --install "$build" --prefix "$prefix" > /dev/null

# The plug-in finds the ReWire library through this folder list instead of /usr/local/lib.
export REWIRE_SUPPORT_PATH="$prefix/lib"
out="$build/demo.wav"
echo "Rendering demo/demo.mid through rwbridge.so and the demo synthesizer (device 0):"
"$prefix/bin/rwhost" render "$prefix/lib/vst/rwbridge.so" --midi demo/demo.mid --out "$out" \
    --device 0
echo "Wrote $out (8 channels, 32-bit float)."
