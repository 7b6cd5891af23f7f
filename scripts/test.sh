#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test (headless).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh
export QT_QPA_PLATFORM=offscreen
# The suites wait on the simulated line far more than they compute: they run
# side by side, each on its own pseudo-terminal.
ctest --test-dir build --output-on-failure -j8
