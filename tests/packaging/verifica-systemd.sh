#!/usr/bin/env bash
# The nightly read-back's user service and timer, as the package installs
# them, checked by systemd itself: systemd-analyze verify loads both units as
# a user manager would (no running systemd needed), with the service's
# ExecStart pointing at the tool just built and its Documentation= at the man
# page just built. Any warning fails the check, not only a refused unit.
# Usage: verifica-systemd.sh SERVICE.in TIMER VELTO318 MANPAGE
# Exit 77 (skipped) only where systemd-analyze is not installed.
set -euo pipefail
servizio_in=$1 timer=$2 velto318=$3 pagina=$4

analyze=$(command -v systemd-analyze || true)
if [ -z "$analyze" ]; then
  echo "SKIP: systemd-analyze non installato (pacchetto Debian systemd, scripts/install-deps.sh)"
  exit 77
fi
D=$(mktemp -d)
trap 'rm -rf "$D"' EXIT
# The service as CMake configures it, but running the tool of this build.
sed "s|@CMAKE_INSTALL_FULL_BINDIR@/velto318|$velto318|" "$servizio_in" \
  > "$D/velto318-letture.service"
cp "$timer" "$D/velto318-letture.timer"
# A user manager wants its runtime folder; a container has none.
mkdir -m 700 "$D/run"
export XDG_RUNTIME_DIR=$D/run
# Documentation=man:velto318(1) looked up in the page built here.
opzioni=(--user)
if command -v man >/dev/null; then
  mkdir -p "$D/man/man1"
  cp "$pagina" "$D/man/man1/velto318.1"
  export MANPATH=$D/man
else
  echo "man non installato: Documentation= non controllato"
  opzioni+=(--man=no)
fi
stato=0
"$analyze" verify "${opzioni[@]}" "$D/velto318-letture.service" "$D/velto318-letture.timer" \
  > "$D/uscita" 2>&1 || stato=$?
cat "$D/uscita"
if [ "$stato" -ne 0 ] || [ -s "$D/uscita" ]; then
  echo "FAIL: systemd-analyze verify (uscita $stato)"
  exit 1
fi
# A oneshot service has no start timeout of its own: a run that never ends
# would keep every later night from starting.
if ! grep -q '^TimeoutStartSec=[1-9]' "$servizio_in"; then
  echo "FAIL: velto318-letture.service senza TimeoutStartSec="
  exit 1
fi
echo "OK: velto318-letture.service e velto318-letture.timer"
