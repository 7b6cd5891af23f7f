#!/usr/bin/env bash
# Installs what CI needs beyond scripts/install-deps.sh: clang with its
# sanitizer and libFuzzer runtimes, and llvm-symbolizer for readable reports.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
PACKAGES=(clang libclang-rt-dev llvm)
missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
