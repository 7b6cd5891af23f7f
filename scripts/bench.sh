#!/usr/bin/env bash
# Builds and runs the benchmarks against the simulator at real wire speed: the
# link (time and CPU per exchange) and test mode (the share of a core it takes
# at rest and not at rest, its window painted).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh >/dev/null
./build/bench/bench_scambi
# Without a display the test window is painted off screen.
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
fi
./build/bench/bench_modotest
