#!/usr/bin/env bash
# Web server requests per second under 50 TLS clients (lookup and picture, keep-alive and not),
# and the client's start-up time to its greeting with the server up and down. Loopback only.
# Usage: bench/web/run-web-bench.sh [BUILD_DIR] [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build/release}
seconds=${2:-5}
ninja -C "$build" -j2 tamovox tamovox-web-server tamovox-web-load tamovox_skin >/dev/null
work=$(mktemp -d)
server_pid=
trap '[ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null; rm -rf "$work"' EXIT
"$build/bin/tamovox-web-server" enrol --data "$work/data" --machine-id 0000000305441741 --name "Bench" >/dev/null
"$build/bin/tamovox-web-server" --port 0 --data "$work/data" 2>"$work/server.log" &
server_pid=$!
for _ in $(seq 50); do grep -q listening "$work/server.log" && break; sleep 0.1; done
port=$(sed -n 's/.*listening on https:\/\/127.0.0.1:\([0-9]*\).*/\1/p' "$work/server.log")
url=https://localhost:$port
ca=$work/data/cert.pem
for mode in keepalive fresh; do
  "$build/bin/tamovox-web-load" "$url/Hw7rTq2Lmc.php?S=2&I=0000000305441741&V=QUENTAR%200.7.9&A=&F=" "$ca" 50 "$seconds" $mode
  "$build/bin/tamovox-web-load" "$url/users/images.php?N=2&F=20001" "$ca" 50 "$seconds" $mode
done

# Launch to greeting (server up) or to the end of the account fetches (server down).
startup() {
  local label=$1 wanted=$2 web=$3
  local runtime; runtime=$(mktemp -d -p "$work")
  local start; start=$(date +%s%N)
  ( cd "$build/skin-files" && QT_QPA_PLATFORM=offscreen TAMOVOX_LOG=1 TAMOVOX_UNATTENDED=0 \
      TAMOVOX_MACHINE_ID=0000000305441741 TAMOVOX_WEB_URL=$web TAMOVOX_CA_FILE=$ca XDG_RUNTIME_DIR=$runtime \
      PULSE_SERVER=unix:$runtime/none exec "$OLDPWD/$build/bin/tamovox" ) 2>"$runtime/log" &
  local pid=$!
  for _ in $(seq 300); do grep -q "$wanted" "$runtime/log" && break; sleep 0.01; done
  local end; end=$(date +%s%N)
  kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null || true
  echo "client start-up, $label: $(( (end - start) / 1000000 )) ms to \"$wanted\""
}
for i in 1 2 3; do startup "server up" "greeting:" "$url"; done
kill "$server_pid"; wait "$server_pid" 2>/dev/null || true; server_pid=
for i in 1 2 3; do startup "server down" "start: account fetches" "$url"; done
