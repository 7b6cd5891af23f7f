#!/usr/bin/env bash
# Builds and runs the benchmarks against the simulator at real wire speed: the
# link (time and CPU per exchange) and test mode (the share of a core it takes
# at rest and not at rest, its window painted off screen and on an X server,
# and the system calls of an exchange at rest, counted by strace); and the
# same through ser2net on loopback, against an ideal network client; and a
# send that reads a copy of the panel's texts first, against one that does not;
# and 64 panels read back at once, each behind its own ser2net port.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh strace ser2net time >/dev/null
bash scripts/build.sh >/dev/null
./build/bench/bench_scambi
# A send that keeps a copy of the panel's texts first, against today's send.
./build/bench/bench_invio
QT_QPA_PLATFORM=offscreen ./build/bench/bench_modotest
# Where an operator runs it: a real X server (Xvfb), each repaint sent to it.
xvfb-run -a ./build/bench/bench_modotest
xvfb-run -a ./build/bench/bench_modotest --strace
# The walk test's memory over 200000 input changes.
./build/bench/bench_registro
# A panel behind a serial device server.
xvfb-run -a ./build/bench/bench_rete
# 64 sites of the book read back side by side, 16 and 64 links at once.
bash scripts/bench-impianti.sh

# The walk test from the command line at rest, against the simulator at wire
# speed: its share of a core over 15 s once its texts are loaded.
D=$(mktemp -d)
printf 'rs232;COM1;&45;\r\nEND\r\n' > "$D/Seriale318.con"
./build/tools/sim/velto318-sim --link "$D/COM1" --file scripts/demo/esempio.vlt >/dev/null &
SIM=$!
for _ in $(seq 50); do [ -e "$D/COM1" ] && break; sleep 0.1; done
TOOL=$PWD/build/src/app/velto318
(cd "$D" && exec "$TOOL" --prova --durata 30 >/dev/null 2>"$D/err") &
PROVA=$!
until grep -q '^Giornale' "$D/err" 2>/dev/null; do sleep 0.1; done
cpu() { awk '{ print $14 + $15 }' "/proc/$PROVA/stat"; }
c0=$(cpu); t0=$(date +%s.%N); sleep 15; c1=$(cpu); t1=$(date +%s.%N)
awk -v c="$((c1 - c0))" -v hz="$(getconf CLK_TCK)" -v t0="$t0" -v t1="$t1" \
    'BEGIN { printf "--prova at rest, 15 s:  %.2f %% of a core\n", 100 * c / hz / (t1 - t0) }'
kill "$PROVA" "$SIM" 2>/dev/null || true
wait 2>/dev/null || true
rm -rf "$D"
