#!/usr/bin/env bash
# Installs the Debian packages needed to build, test and run Velto318, and
# any further packages named as arguments (the other scripts' own needs).
set -euo pipefail
PACKAGES=(build-essential cmake qt6-base-dev qt6-serialport-dev qt6-svg-dev libgl-dev e2fsprogs
          xvfb xauth imagemagick fonts-dejavu-core fonts-liberation2 ser2net poppler-utils qt6-translations-l10n
          systemd "$@") # systemd: systemd-analyze checks the nightly read-back's units
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
