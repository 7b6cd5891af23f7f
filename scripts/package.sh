#!/usr/bin/env bash
# Builds the Debian package build/velto318_<version>_<arch>.deb with CPack,
# then checks it (scripts/check-package.sh). Installs what it needs first.
#
# The package is made from build/, the tree the suite runs in
# (scripts/build.sh: Debian's hardening flags, prefix /usr): after
# scripts/test.sh only the packing is left to do; on its own the script
# builds what is missing first.
set -euo pipefail
cd "$(dirname "$0")/.."
# Packing (dpkg-shlibdeps) and checking need their own tools.
bash scripts/install-deps.sh dpkg-dev lintian desktop-file-utils appstream file
bash scripts/build.sh

rm -f build/velto318_*.deb
(cd build && cpack -G DEB >/dev/null)
DEB=$(ls build/velto318_*.deb)
echo "Package: $DEB"
bash scripts/check-package.sh "$DEB"
