#!/usr/bin/env bash
# Builds and runs the link benchmark against the simulator at real wire speed.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh >/dev/null
./build/bench/bench_scambi
