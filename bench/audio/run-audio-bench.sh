#!/usr/bin/env bash
# Builds the client, the voice server and the call benchmark in release mode and runs it:
# mouth-to-ear latency over 20 presses beside the design floor, client CPU and memory.
#   bench/audio/run-audio-bench.sh [BUILD_DIR]      (default build/release)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build/release}
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
ninja -C "$build" -j2 audio_call_bench
"$build/bench/audio_call_bench"
