#!/usr/bin/env bash
# Makes the screenshots of docs/ (shown by the README and listed in the
# metainfo): test mode, the programming window after a message file was sent
# and verified, the windows of its context menu, and the message editor with
# its guide. The tool runs under a virtual display (Xvfb) against the
# panel simulator, driven by tools/schermate/schermate.cpp. BUILD names the
# build folder (build by default).
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
BUILD=$ROOT/${BUILD:-build}
bash scripts/install-deps.sh
cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD" -j"$(nproc)" --target velto318-sim velto318-schermate

# The start-up folder, named as the menu start names it.
BASE=${TMPDIR:-/tmp}/velto318-schermate
rm -rf "$BASE"
DIR=$BASE/Velto318
mkdir -p "$DIR"
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d)}
printf 'rs232;COM1;&45;\r\nEND\r\n' > "$DIR/Seriale318.con"
cp scripts/demo/esempio.vlt "$DIR/"
mkfifo "$DIR/sim.in"
"$BUILD/tools/sim/velto318-sim" --link "$DIR/COM1" --file "$DIR/esempio.vlt" --fast \
    --log "$DIR/sim.log" < "$DIR/sim.in" > "$DIR/sim.out" &
SIM=$!
exec 3> "$DIR/sim.in"
cleanup() { exec 3>&- || true; kill "$SIM" 2>/dev/null || true; rm -rf "$BASE"; }
trap cleanup EXIT
for _ in $(seq 50); do [ -e "$DIR/COM1" ] && break; sleep 0.1; done

# A panel at rest with two inputs active and a key pressed.
printf 'input 5 C\ninput 23 C\nkey A\n' >&3

mkdir -p docs
cd "$DIR"
xvfb-run -a -s "-screen 0 1024x768x24" "$BUILD/tools/schermate/velto318-schermate" \
    "$DIR/sim.log" esempio.vlt "$ROOT/docs/velto318-test.png" \
    "$ROOT/docs/velto318-programmazione.png" "$ROOT/docs/velto318-confronto.png" \
    "$ROOT/docs/velto318-cerca.png" "$ROOT/docs/velto318-porta.png" \
    "$ROOT/docs/velto318-editor.png" "$ROOT/docs/velto318-prova.png"
echo "Screenshots: docs/velto318-test.png docs/velto318-programmazione.png" \
    "docs/velto318-confronto.png docs/velto318-cerca.png docs/velto318-porta.png" \
    "docs/velto318-editor.png docs/velto318-prova.png"
