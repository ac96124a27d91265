#!/usr/bin/env bash
# CPU used by an idle client (every timer running, nobody talking) over a measured window, on a
# private X server and sound daemon: the client's own share of a core and the X server's.
#   bench/paint/idle_cpu.sh [BUILD_DIR] [SECONDS]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(realpath -m "${1:-$root/build/debug}")
seconds=${2:-30}
display=
for n in $(seq 141 190); do
  if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then display=$n; break; fi
done
work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  "$root/tools/pulse-private.sh" stop "$work/pulse" || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
Xvfb ":$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
pids+=("$xvfb")
for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.05; done
eval "$("$root/tools/pulse-private.sh" start "$work/pulse")"
(cd "$build/skin-files" && DISPLAY=":$display" TAMOVOX_UNATTENDED=1 PULSE_SERVER=$PULSE_SERVER \
   TAMOVOX_MACHINE_ID=0000000000004243 exec "$build/bin/tamovox") >"$work/client.log" 2>&1 &
client=$!
pids=("$client" "${pids[@]}")
sleep 5  # start-up and its boxes
# utime + stime; the command name may hold spaces, so count fields from the closing parenthesis.
ticks() { sed 's/.*) //' "$1" | awk '{print $12 + $13}'; }
hz=$(getconf CLK_TCK)
c0=$(ticks "/proc/$client/stat") m0=$(ticks "/proc/$client/task/$client/stat") x0=$(ticks "/proc/$xvfb/stat")
sleep "$seconds"
c1=$(ticks "/proc/$client/stat") m1=$(ticks "/proc/$client/task/$client/stat") x1=$(ticks "/proc/$xvfb/stat")
# The main thread runs every timer and all the drawing; the rest are the audio and network workers.
awk -v c=$((c1 - c0)) -v m=$((m1 - m0)) -v x=$((x1 - x0)) -v hz="$hz" -v s="$seconds" \
  'BEGIN { printf "idle over %d s: client %.2f %% of a core (main thread, all drawing: %.2f %%), X server %.2f %%\n",
           s, 100 * c / hz / s, 100 * m / hz / s, 100 * x / hz / s }'
