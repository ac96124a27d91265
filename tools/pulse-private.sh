#!/usr/bin/env bash
# A private PulseAudio daemon that works as root without a desktop session, touching no system daemon.
#   tools/pulse-private.sh start DIR [SINK ...]   prints shell assignments: PULSE_SERVER, PULSE_DAEMON_PID
#   tools/pulse-private.sh stop DIR
# It offers one null sink per name given (default "speaker"), and "mouth", a 440 Hz sine source.
set -euo pipefail
cmd=$1 dir=$(realpath -m "$2"); shift 2
case "$cmd" in
start)
  mkdir -p "$dir"
  sinks=("$@"); ((${#sinks[@]})) || sinks=(speaker)
  {
    echo "load-module module-native-protocol-unix auth-anonymous=1 socket=$dir/native"
    for s in "${sinks[@]}"; do echo "load-module module-null-sink sink_name=$s"; done
    echo "load-module module-sine-source source_name=mouth frequency=440"
    echo "set-default-sink ${sinks[0]}"
    echo "set-default-source mouth"
  } > "$dir/pa.conf"
  HOME=$dir XDG_RUNTIME_DIR=$dir XDG_CONFIG_HOME=$dir pulseaudio -n -F "$dir/pa.conf" --exit-idle-time=-1 \
    --daemonize=no --system=false --disallow-exit --log-target=file:"$dir/pulse.log" >/dev/null 2>&1 &
  pid=$!
  for _ in $(seq 100); do [ -S "$dir/native" ] && break; sleep 0.05; done
  echo "$pid" > "$dir/pid"
  echo "export PULSE_SERVER=unix:$dir/native PULSE_DAEMON_PID=$pid"
  ;;
stop)
  [ -f "$dir/pid" ] && kill "$(cat "$dir/pid")" 2>/dev/null || true
  ;;
esac
