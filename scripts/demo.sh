#!/usr/bin/env bash
# Builds Velto318 and runs it against the simulated panel.
#
# A demo start-up folder (build/demo) gets a configuration file, a sample
# message file and a link COM1 to the simulator's pseudo-terminal. With a
# display the tool opens there and runs until you leave it; without one it
# runs under a virtual display for a few seconds, saves a screenshot of test
# mode and says where it is.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
bash scripts/install-deps.sh
bash scripts/build.sh

DEMO=$ROOT/build/demo
mkdir -p "$DEMO"
printf 'rs232;COM1;&45;\r\nEND\r\n' > "$DEMO/Seriale318.con"
cp scripts/demo/esempio.vlt "$DEMO/"
: > "$DEMO/sim.log"
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d)}
FIFO=$DEMO/sim.in
rm -f "$FIFO" && mkfifo "$FIFO"

"$ROOT/build/tools/sim/velto318-sim" --link "$DEMO/COM1" --file "$DEMO/esempio.vlt" \
    --log "$DEMO/sim.log" < "$FIFO" > "$DEMO/sim.out" &
SIM=$!
exec 3> "$FIFO"
cleanup() { exec 3>&- || true; kill "$SIM" 2>/dev/null || true; kill "${DRIVER:-}" 2>/dev/null || true; }
trap cleanup EXIT
for _ in $(seq 50); do [ -e "$DEMO/COM1" ] && break; sleep 0.1; done

# The panel comes alive: inputs, rest state and keys change every second or two.
(
  while true; do
    sleep 2; echo "input 5 C" >&3; echo "key A" >&3
    sleep 2; echo "status A" >&3; echo "input 23 C" >&3; echo "input 45 C" >&3
    sleep 2; echo "status R" >&3; echo "input 5 -" >&3; echo "key @" >&3
    sleep 2; echo "input 23 -" >&3; echo "input 45 -" >&3
  done
) &
DRIVER=$!

cd "$DEMO"
if [ -n "${DISPLAY:-}" ] && [ -z "${CI:-}" ]; then
  "$ROOT/build/src/app/velto318"
else
  SHOT=$DEMO/velto318-test.png
  xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
    "$1" & APP=$!
    sleep 14
    import -window root -crop 750x488+0+0 +repage "$2"
    kill -TERM $APP; wait $APP 2>/dev/null || true
  ' _ "$ROOT/build/src/app/velto318" "$SHOT"
  echo "Screenshot of test mode: $SHOT"
  echo "Commands the simulated panel received: $(wc -l < "$DEMO/sim.log") (log: $DEMO/sim.log)"
fi
