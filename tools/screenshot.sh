#!/usr/bin/env bash
# Regenerates the README screenshot: runs the client on a private X server (and a private sound
# daemon) for a few seconds, captures the 550 x 730 window, stops everything it started. When the
# build has the voice server, a second client on its own X server talks on channel 1 (space bar
# held, the sound daemon's sine as its microphone) and the picture shows the first one listening.
#   tools/screenshot.sh [BUILD_DIR] [OUTPUT_PNG] [SECONDS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$root/build/debug}")
out=$(realpath -m "${2:-$root/docs/screenshot.png}")
seconds=${3:-6}
client=$build/bin/tamovox
[ -x "$client" ] || { echo "screenshot: no client at $client (build it first)" >&2; exit 1; }
[ -d "$build/skin-files" ] || { echo "screenshot: no skin in $build/skin-files" >&2; exit 1; }

free_display() {
  for n in $(seq "$1" 140); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then echo "$n"; return; fi
  done
}
display=$(free_display 90)
[ -n "$display" ] || { echo "screenshot: no free X display" >&2; exit 1; }
server=$build/bin/tamovox-voice-server
talker_display=
[ -x "$server" ] && talker_display=$(free_display $((display + 1)))

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
for d in $display $talker_display; do
  Xvfb ":$d" -screen 0 "${width}x${height}x24" -nolisten tcp >"$work/xvfb$d.log" 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$d" ] && break; sleep 0.05; done
done
eval "$("$root/tools/pulse-private.sh" start "$work/pulse")"
voice=127.0.0.1
if [ -n "$talker_display" ]; then
  voice=127.0.0.77
  "$server" --bind "$voice" --control-socket "$work/voice.ctl" >"$work/voice.log" 2>&1 &
  pids+=($!)
  sleep 0.5
fi

# With the web server the listener is greeted by name and shows the talker's picture and profile.
web_env=()
web_server=$build/bin/tamovox-web-server
if [ -x "$web_server" ]; then
  "$web_server" --address 127.0.0.1 --port 0 --data "$work/web" >"$work/web.log" 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do grep -q "listening on" "$work/web.log" 2>/dev/null && break; sleep 0.05; done
  url=$(sed -n 's/.*listening on \(https:[^ ]*\).*/\1/p' "$work/web.log" | head -n 1)
  "$web_server" enrol --data "$work/web" --machine-id "${TAMOVOX_MACHINE_ID:-0000000000004242}" --name Camille \
    --first-name Camille --city Lyon --phrase "Bonjour à tous !" >/dev/null
  "$web_server" enrol --data "$work/web" --machine-id 0000000000004243 --name "Radio Test" \
    --first-name Radio --city Brest --phrase "Essai, un, deux" >/dev/null
  web_env=(TAMOVOX_WEB_URL="$url" TAMOVOX_CA_FILE="$work/web/cert.pem")
fi

# The client opens its skin by bare name in its working folder; boxes close themselves. Each
# client has its own runtime folder (the single-instance lock) and machine identifier.
start_client() {  # display machine-id
  mkdir -p "$work/run$1"
  (cd "$build/skin-files" && env "${web_env[@]}" DISPLAY=":$1" XDG_RUNTIME_DIR="$work/run$1" TAMOVOX_UNATTENDED=1 PULSE_SERVER=$PULSE_SERVER \
     TAMOVOX_VOICE_SERVER=$voice TAMOVOX_MACHINE_ID=$2 "$client") >"$work/client$1.log" 2>&1 &
  pids=($! "${pids[@]}")
}
start_client "$display" "${TAMOVOX_MACHINE_ID:-0000000000004242}"
client_pid=${pids[0]}
if [ -n "$talker_display" ]; then
  start_client "$talker_display" 0000000000004243
  sleep 5
  for d in $display $talker_display; do DISPLAY=":$d" xdotool key 1; done  # both on channel 1
  sleep 2
  DISPLAY=":$talker_display" xdotool keydown space
fi
sleep "$seconds"
kill -0 "$client_pid" 2>/dev/null || { echo "screenshot: the client ended early:" >&2; cat "$work/client$display.log" >&2; exit 1; }

# The window is centred on the screen.
x=$((width / 2 - 550 / 2)) y=$((height / 2 - 730 / 2))
mkdir -p "$(dirname "$out")"
DISPLAY=":$display" import -window root -crop "550x730+$x+$y" +repage "$out"
[ -n "$talker_display" ] && DISPLAY=":$talker_display" xdotool keyup space
echo "screenshot: $out"
