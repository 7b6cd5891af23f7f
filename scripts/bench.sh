#!/usr/bin/env bash
# Builds and runs the benchmarks against the simulator at real wire speed: the
# link (time and CPU per exchange) and test mode (the share of a core it takes
# at rest and not at rest, its window painted off screen and on an X server,
# and the system calls of an exchange at rest, counted by strace); and the
# same through ser2net on loopback, against an ideal network client.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh strace ser2net >/dev/null
bash scripts/build.sh >/dev/null
./build/bench/bench_scambi
QT_QPA_PLATFORM=offscreen ./build/bench/bench_modotest
# Where an operator runs it: a real X server (Xvfb), each repaint sent to it.
xvfb-run -a ./build/bench/bench_modotest
xvfb-run -a ./build/bench/bench_modotest --strace
# A panel behind a serial device server.
xvfb-run -a ./build/bench/bench_rete
