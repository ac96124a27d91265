#!/usr/bin/env bash
# Runs the end-to-end tests again and again, three at a time, while a CPU hog keeps every core
# busy, and prints "N passed, M failed" over all runs. A flaky test shows here, not in CI.
#   tools/stress-tests.sh [-n RUNS] [-R REGEX] [-b BUILD]
#     -n RUNS   runs of the e2e label (default 5)
#     -R REGEX  only the tests whose names match, as for ctest -R
#     -b BUILD  a build folder made by ./test (default build/ci)
# Not part of ./test. The hog is ours alone: started and stopped here, by pid.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=5 filter= build=build/ci
while getopts "n:R:b:" option; do
  case "$option" in
    n) runs=$OPTARG ;;
    R) filter=$OPTARG ;;
    b) build=$OPTARG ;;
    *) sed -n '2,8p' "$0"; exit 2 ;;
  esac
done
if [ ! -f "$build/CTestTestfile.cmake" ]; then
  echo "stress-tests: $build holds no build; run ./test first" >&2
  exit 2
fi

hogs=()
stop_hogs() {
  for pid in "${hogs[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${hogs[@]}"; do wait "$pid" 2>/dev/null || true; done
}
trap stop_hogs EXIT
for _ in $(seq "$(nproc)"); do
  bash -c 'while :; do :; done' &
  hogs+=($!)
done

log=$(mktemp -d /tmp/tamovox-stress-XXXXXX)
passed=0 failed=0 start=$SECONDS
for run in $(seq "$runs"); do
  args=(--test-dir "$build" -L e2e -j3 --timeout 300 --output-on-failure)
  [ -n "$filter" ] && args+=(-R "$filter")
  ctest "${args[@]}" > "$log/run-$run.log" 2>&1 || true
  summary=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log/run-$run.log" || true)
  if [ -z "$summary" ]; then
    echo "run $run: ctest gave no summary (see $log/run-$run.log)"
    failed=$((failed + 1))
    continue
  fi
  total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$summary")
  bad=$(sed -E 's/.*passed, ([0-9]+) tests? failed.*/\1/' <<<"$summary")
  passed=$((passed + total - bad)) failed=$((failed + bad))
  echo "run $run: $summary"
  grep -E '^\s+[0-9]+ - .* \(' "$log/run-$run.log" | sed 's/^/  failed:/' || true
done
echo "logs in $log; $((SECONDS - start)) s"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
