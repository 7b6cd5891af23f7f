#!/usr/bin/env bash
# Many sites at once: 64 simulated panels at wire speed (9600 bit/s), each on
# its own pseudo-terminal behind its own TCP port of one ser2net on loopback,
# as 64 device servers in the field; 64 sites in a fresh working folder's
# book. One panel's read-back is timed alone, then
# `velto318 --su-impianti tutti --leggi` with 16 and with 64 links at once.
# For each run: the time against the ideal (each batch of links as long as one
# panel's read-back: ceil(64/N) of them), the peak memory of the tool and its
# children together (their /proc sampled every 0.2 s: the sum of their RSS,
# and of their PSS, which counts the pages they share once), and the CPU time
# per panel (/usr/bin/time: the tool's and its waited-for children's user and
# system time). Built by scripts/bench.sh; run alone with the tool built.
set -euo pipefail
cd "$(dirname "$0")/.."
PANNELLI=${PANNELLI:-64}
TOOL=$PWD/build/src/app/velto318
SIM=$PWD/build/tools/sim/velto318-sim
SER2NET=$(command -v ser2net || echo /usr/sbin/ser2net)
for f in "$TOOL" "$SIM" "$SER2NET" /usr/bin/time; do
  [ -x "$f" ] || { echo "missing $f (scripts/install-deps.sh ser2net time, scripts/build.sh)" >&2; exit 1; }
done

D=$(mktemp -d)
figli=()
fine() {
  for p in "${figli[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$D"
}
trap fine EXIT

# Free ports: nobody answers on them now.
libera() {
  local p=$1
  while (exec 3<>"/dev/tcp/127.0.0.1/$p") 2>/dev/null; do p=$((p + 1)); done
  echo "$p"
}

mkdir -p "$D/linee" "$D/lavoro"
printf 'rs232;COM1;&45;\r\nEND\r\n' > "$D/lavoro/Seriale318.con"
porta=$((20000 + RANDOM % 20000))
: > "$D/ser2net.yaml"
for i in $(seq -w 0 $((PANNELLI - 1))); do
  "$SIM" --link "$D/linee/p$i" --id '&45' < /dev/null > "$D/linee/p$i.pronto" &
  figli+=($!)
  porta=$(libera $((porta + 1)))
  printf 'connection: &p%s\n  accepter: tcp,127.0.0.1,%s\n  connector: serialdev,%s,9600n81,local\n' \
    "$i" "$porta" "$D/linee/p$i" >> "$D/ser2net.yaml"
  (cd "$D/lavoro" && "$TOOL" --nuovo-impianto "p$i" --porta "tcp://127.0.0.1:$porta" --id '&45' \
    > /dev/null)
done
for i in $(seq -w 0 $((PANNELLI - 1))); do
  for _ in $(seq 100); do grep -q READY "$D/linee/p$i.pronto" && break; sleep 0.05; done
done
"$SER2NET" -n -d -c "$D/ser2net.yaml" > "$D/ser2net.log" 2>&1 &
figli+=($!)
for _ in $(seq 100); do (exec 3<>"/dev/tcp/127.0.0.1/$porta") 2>/dev/null && break; sleep 0.05; done
sleep 0.2

ora() { date +%s.%N; }
echo "$PANNELLI panels at 9600 bit/s, each behind its own port of one ser2net on loopback"
t0=$(ora)
(cd "$D/lavoro" && "$TOOL" --impianto p00 --leggi > "$D/uno.txt" 2>&1)
uno=$(awk -v a="$t0" -v b="$(ora)" 'BEGIN { print b - a }')
printf 'one panel alone (velto318 --impianto p00 --leggi): %.2f s\n' "$uno"

# The CPU time (clock ticks) the simulators and ser2net have taken so far:
# the bench's own side of the line, on the same cores as the tool.
banco() {
  for p in "${figli[@]}"; do cat "/proc/$p/stat"; done | awk '{ t += $14 + $15 } END { print t }'
}

# The peak, over the run, of the RSS and the PSS summed over the tool and its
# children, the most processes seen at once, and the tool's own CPU time
# (clock ticks, without its children) at its last sample.
campiona() {
  local tempo=$1 picco_rss=0 picco_pss=0 picco_n=0 proprio=0 tool figli_ t
  until tool=$(cat "/proc/$tempo/task/$tempo/children" 2>/dev/null) && [ -n "$tool" ]; do
    kill -0 "$tempo" 2>/dev/null || break
    sleep 0.05
  done
  tool=${tool// /}
  while kill -0 "$tool" 2>/dev/null; do
    figli_=$(cat /proc/"$tool"/task/*/children 2>/dev/null || true)
    t=$(for p in $tool $figli_; do echo "/proc/$p/smaps_rollup"; done |
      xargs awk '/^Rss:/ { r += $2; n++ } /^Pss:/ { p += $2 } END { print r + 0, p + 0, n + 0 }' \
        2>/dev/null || true)
    read -r r p n <<< "$t"
    [ "${r:-0}" -gt "$picco_rss" ] && picco_rss=$r
    [ "${p:-0}" -gt "$picco_pss" ] && picco_pss=$p
    [ "${n:-0}" -gt "$picco_n" ] && picco_n=$n
    t=$(awk '{ print $14 + $15 }' "/proc/$tool/stat" 2>/dev/null) && proprio=$t
    sleep 0.25
  done
  echo "$picco_rss $picco_pss $picco_n $proprio"
}

for paralleli in 16 64; do
  rm -f "$D/r.json"
  b0=$(banco)
  (cd "$D/lavoro" && exec /usr/bin/time -f '%e %U %S' -o "$D/tempo" \
    "$TOOL" --su-impianti tutti --leggi --paralleli "$paralleli" --esito "$D/r.json" \
    > "$D/giro.txt" 2> "$D/giro.err") &
  tempo=$!
  campiona "$tempo" > "$D/memoria" &
  wait "$tempo" || true
  wait $! || true
  b1=$(banco)
  read -r e u s < "$D/tempo"
  read -r rss pss n proprio < "$D/memoria"
  lotti=$(((PANNELLI + paralleli - 1) / paralleli))
  echo "--su-impianti tutti --leggi --paralleli $paralleli: $(tail -n 1 "$D/giro.txt")"
  awk -v e="$e" -v u="$u" -v s="$s" -v uno="$uno" -v l="$lotti" -v n="$PANNELLI" \
    -v rss="$rss" -v pss="$pss" -v proc="$n" -v hz="$(getconf CLK_TCK)" -v proprio="$proprio" \
    -v banco="$((b1 - b0))" 'BEGIN {
      printf "  total %.2f s, ideal %d x %.2f s = %.2f s, ratio %.3f (aim <= 1.15)\n",
             e, l, uno, l * uno, e / (l * uno)
      printf "  peak memory of the tool and its children (%d processes): RSS %.1f MiB summed, PSS %.1f MiB\n",
             proc, rss / 1024, pss / 1024
      printf "  CPU %.2f s user + %.2f s system: %.1f ms per panel (the parent itself %.2f s)\n",
             u, s, 1000 * (u + s) / n, proprio / hz
      printf "  on the same cores, the simulators and ser2net %.2f s of CPU\n",
             banco / hz
    }'
  # The result file: its rows, the sites read, and how long a site took.
  awk -F': ' '/"stato"/ { n++; g += ($2 ~ /"giusto"/) }
              /"secondi"/ { x = $2 + 0; t += x; if (x > m) m = x }
              END { printf "  result file: %d rows, %d giusti; a site %.2f s on average, %.2f s at most\n",
                           n, g, n ? t / n : 0, m }' "$D/r.json"
done
