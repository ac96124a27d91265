#!/usr/bin/env bash
# Regenerates the README screenshot: runs the client on a private X server (and a private sound
# daemon) for a few seconds, captures the 550 x 730 window, stops everything it started.
#   tools/screenshot.sh [BUILD_DIR] [OUTPUT_PNG] [SECONDS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$root/build/debug}")
out=$(realpath -m "${2:-$root/docs/screenshot.png}")
seconds=${3:-6}
client=$build/bin/tamovox
[ -x "$client" ] || { echo "screenshot: no client at $client (build it first)" >&2; exit 1; }
[ -d "$build/skin-files" ] || { echo "screenshot: no skin in $build/skin-files" >&2; exit 1; }

display=
for n in $(seq 90 140); do
  if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then display=$n; break; fi
done
[ -n "$display" ] || { echo "screenshot: no free X display" >&2; exit 1; }

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  "$root/tools/pulse-private.sh" stop "$work/pulse" || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

width=1280 height=800
Xvfb ":$display" -screen 0 "${width}x${height}x24" -nolisten tcp >"$work/xvfb.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.05; done
eval "$("$root/tools/pulse-private.sh" start "$work/pulse")"

# The client opens its skin by bare name in its working folder; boxes close themselves.
(cd "$build/skin-files" && DISPLAY=":$display" TAMOVOX_UNATTENDED=1 PULSE_SERVER=$PULSE_SERVER \
   TAMOVOX_MACHINE_ID=${TAMOVOX_MACHINE_ID:-0000000000004242} exec "$client") >"$work/client.log" 2>&1 &
client_pid=$!
pids=("$client_pid" "${pids[@]}")
sleep "$seconds"
kill -0 "$client_pid" 2>/dev/null || { echo "screenshot: the client ended early:" >&2; cat "$work/client.log" >&2; exit 1; }

# The window is centred on the screen.
x=$((width / 2 - 550 / 2)) y=$((height / 2 - 730 / 2))
mkdir -p "$(dirname "$out")"
DISPLAY=":$display" import -window root -crop "550x730+$x+$y" +repage "$out"
echo "screenshot: $out"
