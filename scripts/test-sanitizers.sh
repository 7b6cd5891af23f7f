#!/usr/bin/env bash
# Builds everything with clang, AddressSanitizer and UndefinedBehaviorSanitizer
# into build-asan and runs the whole test suite there. Every process started
# by a test (the simulator, the tool itself) inherits the options below and
# writes its reports into one folder; the run fails when that folder holds any
# report, even if the test that started the process passed.
#
# The tree is configured as scripts/fuzz.sh configures it (the libFuzzer
# targets on top of the same instrumentation), so that the fuzzing after the
# suite builds only its own targets.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
BUILD=${BUILD_ASAN:-$ROOT/build-asan}
bash scripts/install-ci-deps.sh

CC=clang CXX=clang++ cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVELTO_SANITIZE=ON -DVELTO_FUZZ=ON -DVELTO_STRUMENTI=OFF >/dev/null
cmake --build "$BUILD" -j"$(nproc)"

LOGS=$BUILD/sanitizer-logs
rm -rf "$LOGS" && mkdir -p "$LOGS"
export ASAN_OPTIONS="detect_leaks=1:log_path=$LOGS/asan:strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:log_path=$LOGS/ubsan"
export LSAN_OPTIONS="suppressions=$ROOT/scripts/lsan.supp:print_suppressions=0"
export QT_QPA_PLATFORM=offscreen

status=0
# The suites wait on the simulated line far more than they compute: they run
# side by side, each on its own pseudo-terminal.
ctest --test-dir "$BUILD" --output-on-failure -j8 || status=$?

shopt -s nullglob
reports=("$LOGS"/*)
if [ ${#reports[@]} -gt 0 ]; then
  for r in "${reports[@]}"; do
    echo "==== $r"
    cat "$r"
  done
  echo "Sanitizer reports: ${#reports[@]} (in $LOGS)" >&2
  status=1
fi
exit "$status"
