#!/usr/bin/env bash
# Starts a PulseAudio daemon with a null sink and a loop-back microphone for
# the tests that play or record. Safe to call when one is already running.
set -u
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-/tmp/kelvane-runtime-$(id -u)}
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
if ! pactl info >/dev/null 2>&1; then
  args=(-D -n --exit-idle-time=-1 --disallow-exit
        --load="module-null-sink sink_name=nullsink" --load=module-native-protocol-unix)
  [ "$(id -u)" -eq 0 ] && args+=(--system=false)
  pulseaudio "${args[@]}" 2>/dev/null || pulseaudio "${args[@]}" --system=false || true
  for _ in $(seq 1 50); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
fi
if pactl info >/dev/null 2>&1; then
  pactl list short sources | grep -q loopmic ||
    pactl load-module module-remap-source master=nullsink.monitor source_name=loopmic >/dev/null
  pactl set-default-sink nullsink
  pactl set-default-source loopmic
  echo "pulseaudio: null sink ready ($XDG_RUNTIME_DIR)"
else
  echo "pulseaudio: could not start a null sink" >&2
fi
