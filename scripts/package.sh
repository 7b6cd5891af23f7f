#!/usr/bin/env bash
# Builds the Debian package build/velto318_<version>_<arch>.deb with CPack,
# then checks it (scripts/check-package.sh). Installs what it needs first.
#
# The package's binaries are built apart, in build/pkg, with Debian's
# hardening flags and without the tests.
set -euo pipefail
cd "$(dirname "$0")/.."
# Packing (dpkg-shlibdeps) and checking need their own tools.
bash scripts/install-deps.sh dpkg-dev lintian desktop-file-utils appstream file

export DEB_BUILD_MAINT_OPTIONS=hardening=+all
CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
LDFLAGS="$(dpkg-buildflags --get LDFLAGS)"
export CXXFLAGS LDFLAGS

OUT=build/pkg
cmake -S . -B "$OUT" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr \
      -DBUILD_TESTING=OFF >/dev/null
cmake --build "$OUT" -j"$(nproc)"
rm -f "$OUT"/velto318_*.deb
(cd "$OUT" && cpack -G DEB >/dev/null)
DEB=$(ls "$OUT"/velto318_*.deb)
rm -f build/velto318_*.deb
cp "$DEB" build/
DEB=build/$(basename "$DEB")
echo "Package: $DEB"
bash scripts/check-package.sh "$DEB"
