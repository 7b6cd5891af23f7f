#!/usr/bin/env bash
# Configures and builds everything into build/, with Debian's hardening flags
# and /usr as the prefix: the Debian package is made from this same tree
# (scripts/package.sh), so the binaries the suite tests are the ones packed.
set -euo pipefail
cd "$(dirname "$0")/.."
CXXFLAGS_DEB="" LDFLAGS_DEB=""
if command -v dpkg-buildflags >/dev/null; then
  export DEB_BUILD_MAINT_OPTIONS=hardening=+all
  CXXFLAGS_DEB="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
  LDFLAGS_DEB="$(dpkg-buildflags --get LDFLAGS)"
fi
# Given on every run, so that a tree configured earlier gets them too.
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr \
      -DCMAKE_CXX_FLAGS="$CXXFLAGS_DEB" -DCMAKE_EXE_LINKER_FLAGS="$LDFLAGS_DEB" >/dev/null
cmake --build build -j"$(nproc)"
