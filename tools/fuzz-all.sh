#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time (FUZZ_SECONDS, default 20).
set -euo pipefail
cd "$(dirname "$0")/.."
build=build/fuzz
seconds=${FUZZ_SECONDS:-20}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DTAMOVOX_FUZZ=ON >/dev/null
ninja -C "$build" -j2 fuzz_all
shopt -s nullglob
for fuzzer in "$build"/fuzzers/fuzz_*; do
  name=$(basename "$fuzzer")
  corpus="$build/corpus/$name"
  mkdir -p "$corpus"
  seeds=tests/data/fuzz/$name
  [ -d "$seeds" ] && cp -n "$seeds"/* "$corpus"/ 2>/dev/null || true
  echo "fuzz: $name for ${seconds}s"
  "$fuzzer" -max_total_time="$seconds" -print_final_stats=0 "$corpus" > "$build/$name.log" 2>&1 || {
    tail -40 "$build/$name.log"; echo "fuzz: $name found a fault"; exit 1; }
done
echo "fuzz: every target ran clean"
