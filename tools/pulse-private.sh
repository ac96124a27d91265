#!/usr/bin/env bash
# A private PulseAudio daemon that works as root without a desktop session, touching no system daemon.
#   tools/pulse-private.sh start DIR [SINK ...] [--mouth NAME=HZ ...]
#        prints shell assignments: PULSE_SERVER, PULSE_DAEMON_PID
#   tools/pulse-private.sh stop DIR       stops it and waits until its socket is gone
#   tools/pulse-private.sh restart DIR    stops it and starts it again with the same devices
# Devices: one null sink per SINK (default "speaker"; record what it plays from SINK.monitor, or feed
# a client's microphone through it with PULSE_SOURCE=SINK.monitor). One microphone per --mouth: a
# null sink NAME with a sine of HZ playing into it (none for HZ=0), heard at NAME.monitor. Without
# --mouth there is "mouth" at 440 Hz, the default source. A small reader keeps each mouth at 20 ms
# latency: a sink nobody asks for low latency renders two seconds at a time, and a microphone
# would then deliver its sound in two-second bursts.
set -euo pipefail
cmd=$1 dir=$(realpath -m "$2"); shift 2

start_daemon() {
  HOME=$dir XDG_RUNTIME_DIR=$dir XDG_CONFIG_HOME=$dir pulseaudio -n -F "$dir/pa.conf" --exit-idle-time=-1 \
    --daemonize=no --system=false --disallow-exit --log-target=file:"$dir/pulse.log" >/dev/null 2>&1 &
  pid=$!
  echo "$pid" > "$dir/pid"
  # Up once it answers a client, not when its socket appears.
  for _ in $(seq 600); do
    PULSE_SERVER=unix:$dir/native pactl info >/dev/null 2>&1 && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.05
  done
  if ! PULSE_SERVER=unix:$dir/native pactl info >/dev/null 2>&1; then
    echo "pulse-private: the sound daemon in $dir did not answer within 30 s; its log:" >&2
    tail -20 "$dir/pulse.log" >&2 2>/dev/null || true
    stop_daemon
    exit 1
  fi
  : > "$dir/keepers"
  for name in $(cat "$dir/mouths" 2>/dev/null); do
    PULSE_SERVER=unix:$dir/native parec --latency-msec=20 --raw -d "$name.monitor" >/dev/null 2>&1 &
    echo $! >> "$dir/keepers"
  done
  echo "export PULSE_SERVER=unix:$dir/native PULSE_DAEMON_PID=$pid"
}

stop_daemon() {
  for keeper in $(cat "$dir/keepers" 2>/dev/null); do kill "$keeper" 2>/dev/null || true; done
  [ -f "$dir/pid" ] || return 0
  pid=$(cat "$dir/pid")
  kill "$pid" 2>/dev/null || true
  for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.05; done
  kill -9 "$pid" 2>/dev/null || true
  rm -f "$dir/native" "$dir/pid"
}

case "$cmd" in
start)
  mkdir -p "$dir"
  sinks=() mouths=()
  while (($#)); do
    case "$1" in
      --mouth) mouths+=("$2"); shift 2 ;;
      *) sinks+=("$1"); shift ;;
    esac
  done
  ((${#sinks[@]})) || sinks=(speaker)
  ((${#mouths[@]})) || mouths=(mouth=440)
  {
    echo "load-module module-native-protocol-unix auth-anonymous=1 socket=$dir/native"
    for s in "${sinks[@]}"; do echo "load-module module-null-sink sink_name=$s"; done
    for m in "${mouths[@]}"; do
      name=${m%%=*} hz=${m#*=}
      echo "load-module module-null-sink sink_name=$name"
      [ "$hz" = 0 ] || echo "load-module module-sine sink=$name frequency=$hz"
    done
    echo "set-default-sink ${sinks[0]}"
    echo "set-default-source ${mouths[0]%%=*}.monitor"
  } > "$dir/pa.conf"
  for m in "${mouths[@]}"; do echo "${m%%=*}"; done > "$dir/mouths"
  start_daemon
  ;;
stop)
  stop_daemon
  ;;
restart)
  stop_daemon
  start_daemon
  ;;
esac
