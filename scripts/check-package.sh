#!/usr/bin/env bash
# Checks a Velto318 Debian package: lintian without errors, the desktop entry
# and the AppStream metainfo valid, every file in it, its dependencies, and
# the unpacked tool printing the package's version. CI runs it through
# scripts/package.sh.
set -euo pipefail
DEB=${1:?usage: check-package.sh velto318_VERSION_ARCH.deb}
ID=it.velto.velto318
failed=0
fail() { echo "FAILED: $*"; failed=1; }

echo "== lintian"
if ! lintian --fail-on error "$DEB"; then fail "lintian reports errors"; fi

echo "== files"
list=$(dpkg-deb -c "$DEB" | awk '{print $6}')
for f in ./usr/bin/velto318 ./usr/bin/velto318-sim \
         ./usr/share/applications/velto318.desktop \
         ./usr/share/icons/hicolor/scalable/apps/$ID.svg \
         ./usr/share/metainfo/$ID.metainfo.xml \
         ./usr/share/man/man1/velto318.1.gz ./usr/share/man/man1/velto318-sim.1.gz \
         ./usr/share/doc/velto318/copyright ./usr/share/doc/velto318/changelog.gz \
         ./usr/lib/systemd/user/velto318-letture.service \
         ./usr/lib/systemd/user/velto318-letture.timer; do
  grep -qxF "$f" <<<"$list" && echo "ok $f" || fail "missing $f"
done

echo "== dependencies"
depends=$(dpkg-deb -f "$DEB" Depends)
echo "$depends"
for d in libqt6serialport6 libqt6widgets6 libc6 fonts-dejavu-core fonts-liberation2; do
  grep -q "\b$d\b" <<<"$depends" || fail "no dependency on $d"
done

TREE=$(mktemp -d)
trap 'rm -rf "$TREE"' EXIT
dpkg-deb -x "$DEB" "$TREE"

echo "== desktop-file-validate"
desktop-file-validate "$TREE/usr/share/applications/velto318.desktop" && echo ok || fail "desktop entry"
grep -qx "StartupWMClass=velto318" "$TREE/usr/share/applications/velto318.desktop" ||
  fail "desktop entry without the window class velto318"

echo "== appstreamcli validate --no-net"
appstreamcli validate --no-net "$TREE/usr/share/metainfo/$ID.metainfo.xml" || fail "metainfo"

echo "== velto318 --version"
version=$(dpkg-deb -f "$DEB" Version)
printed=$(env -u DISPLAY -u WAYLAND_DISPLAY "$TREE/usr/bin/velto318" --version) || true
echo "$printed"
[ "$printed" = "velto318 $version" ] || fail "--version prints \"$printed\", the package is $version"

if [ $failed -ne 0 ]; then
  echo "Package check FAILED: $DEB"
  exit 1
fi
echo "Package check passed: $DEB"
