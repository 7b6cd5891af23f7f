#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ into build-asan and runs them.
#
#   scripts/fuzz.sh TARGET SECONDS   runs one target (fuzz_messaggi, ...) that long
#   scripts/fuzz.sh all SECONDS      runs every target that long, all side by side
#
# The tree is the one scripts/test-sanitizers.sh builds, configured the same
# way: after the checked suite only the targets are left to link.
#
# Each run starts from the seeds in fuzz/corpus/TARGET (never written to) and
# keeps what it learns in build-asan/corpus/TARGET. A crash, a sanitizer report
# or a broken property stops the run, leaves the input that caused it in
# build-asan/findings/ and makes the script fail. Executions per target are
# printed at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
if [ $# -ne 2 ] || ! [[ $2 =~ ^[0-9]+$ ]] || [ "$2" -lt 1 ]; then
  echo "usage: $0 TARGET|all SECONDS" >&2
  exit 2
fi
WHICH=$1
SECONDS_EACH=$2
BUILD=${BUILD_FUZZ:-$ROOT/build-asan}

ALL=()
for f in fuzz/fuzz_*.cpp; do
  ALL+=("$(basename "$f" .cpp)")
done
if [ "$WHICH" = all ]; then
  TARGETS=("${ALL[@]}")
elif [[ " ${ALL[*]} " == *" $WHICH "* ]]; then
  TARGETS=("$WHICH")
else
  echo "unknown target $WHICH; targets: ${ALL[*]}" >&2
  exit 2
fi

bash scripts/install-ci-deps.sh
CC=clang CXX=clang++ cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVELTO_SANITIZE=ON -DVELTO_FUZZ=ON -DVELTO_STRUMENTI=OFF >/dev/null
cmake --build "$BUILD" -j"$(nproc)" --target "${TARGETS[@]}"

export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
# The targets that write files do it in a temporary folder, in memory where
# the system offers it; it goes away with the script, whatever the targets did.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then
  TMPDIR=$(mktemp -d /dev/shm/velto-fuzz.XXXXXX)
else
  TMPDIR=$(mktemp -d)
fi
export TMPDIR
pids=()
# A script stopped early stops the targets it started.
fine() {
  for p in "${pids[@]}"; do
    kill "$p" 2>/dev/null || true
  done
  rm -rf "$TMPDIR"
}
trap fine EXIT
FINDINGS=$BUILD/findings
mkdir -p "$FINDINGS"
echo "== ${TARGETS[*]}: ${SECONDS_EACH} s each, side by side"
for t in "${TARGETS[@]}"; do
  corpus=$BUILD/corpus/$t
  mkdir -p "$corpus"
  "$BUILD/fuzz/$t" -max_total_time="$SECONDS_EACH" -print_final_stats=1 -timeout=10 \
      -rss_limit_mb=2048 -max_len=4096 -artifact_prefix="$FINDINGS/$t-" \
      "$corpus" "fuzz/corpus/$t" >"$BUILD/$t.log" 2>&1 &
  pids+=("$!")
done
summary=()
status=0
for i in "${!TARGETS[@]}"; do
  t=${TARGETS[$i]}
  log=$BUILD/$t.log
  rc=0
  wait "${pids[$i]}" || rc=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  if [ "$rc" -ne 0 ]; then
    status=1
    echo "==== $t"
    tail -n 60 "$log"
    summary+=("$t: FAILED after ${runs:-?} executions (log $log, input in $FINDINGS)")
  else
    summary+=("$t: ${runs:-?} executions in ${SECONDS_EACH} s")
  fi
done
pids=()
echo "== fuzzing summary"
printf '%s\n' "${summary[@]}"
exit "$status"
