#!/usr/bin/env bash
# Installs what CI needs beyond scripts/install-deps.sh: clang with its
# sanitizer and libFuzzer runtimes, and llvm-symbolizer for readable reports.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh clang libclang-rt-dev llvm
