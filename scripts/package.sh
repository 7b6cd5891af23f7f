#!/usr/bin/env bash
# Builds the Debian package build/velto318_<version>_<arch>.deb with CPack,
# then checks it (scripts/check-package.sh). Installs what it needs first.
#
# The package's binaries are built apart, in build/pkg, with Debian's
# hardening flags and without the tests.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

# Packing (dpkg-shlibdeps) and checking.
PACKAGES=(dpkg-dev lintian desktop-file-utils appstream file)
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
