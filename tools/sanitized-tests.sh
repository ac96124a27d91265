#!/usr/bin/env bash
# Builds one sanitizer preset and runs the unit and e2e labels with it; fails on any report from
# any process the tests start (the clients and servers too), printing each.
#   tools/sanitized-tests.sh asan|tsan
# asan is AddressSanitizer with UndefinedBehaviorSanitizer, tsan ThreadSanitizer (its
# suppressions of library internals: tools/tsan.supp).
set -euo pipefail
cd "$(dirname "$0")/.."
preset=$1
build=build/$preset
cmake --preset "$preset" -DTAMOVOX_BENCH=OFF >/dev/null
ninja -C "$build" -j2
reports=$(mktemp -d "/tmp/tamovox-$preset-reports-XXXXXX")
# Every process writes its reports to a file of its own; a report fails the run even when the
# process that made it was a client the test did not wait for.
export ASAN_OPTIONS="log_path=$reports/asan:detect_stack_use_after_return=1"
export UBSAN_OPTIONS="log_path=$reports/ubsan:print_stacktrace=1"
export LSAN_OPTIONS="suppressions=$PWD/tools/lsan.supp:print_suppressions=0"
export TSAN_OPTIONS="log_path=$reports/tsan"
# Instrumented programs run several times slower: waits for what must come stretch, none shortens.
export TAMOVOX_TEST_DEADLINE_SCALE=4
status=0
ctest --test-dir "$build" -L 'unit|e2e' --output-on-failure -j2 --timeout 900 || status=$?
shopt -s nullglob
found=("$reports"/*)
if ((${#found[@]})); then
  for report in "${found[@]}"; do
    echo "==== $preset report: $report"
    cat "$report"
  done
  echo "$preset: ${#found[@]} report(s) from the processes the tests started"
  status=1
fi
[ "$status" -eq 0 ] && rm -rf "$reports" && echo "$preset: every test passed, no report"
exit "$status"
