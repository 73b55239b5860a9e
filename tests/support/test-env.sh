#!/usr/bin/env bash
# Sourced by scripts/test.sh: gives the tests a private X server (1280x1024x24), a private
# PulseAudio server with two null sinks ("bandora_out" and "bandora_cue") and a private JACK
# server on its dummy driver (48 kHz, 128-frame periods, four playback ports), and stops them on
# exit. Exports DISPLAY, PULSE_SERVER, XDG_RUNTIME_DIR, BANDORA_PULSE_LOG and
# JACK_DEFAULT_SERVER for the tests.

BANDORA_TEST_RUNTIME=$(mktemp -d /tmp/bandora-test.XXXXXX)
export XDG_RUNTIME_DIR="$BANDORA_TEST_RUNTIME"
chmod 700 "$XDG_RUNTIME_DIR"

_bandora_pids=()
bandora_test_env_stop() {
  for pid in "${_bandora_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$BANDORA_TEST_RUNTIME"
}
trap bandora_test_env_stop EXIT

# X server: first free display from :91 on.
for n in $(seq 91 140); do
  if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then
    # -noreset: an X server resets when its last client leaves, and a program started during
    # the reset cannot connect; tests that restart the program would hit that gap.
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp -noreset >"$BANDORA_TEST_RUNTIME/xvfb.log" 2>&1 &
    _bandora_pids+=($!)
    export DISPLAY=":$n"
    break
  fi
done
for _ in $(seq 1 50); do
  xdpyinfo >/dev/null 2>&1 && break
  sleep 0.1
done

# Sound server with two null sinks; the first is the default sink. Its debug log tells the
# whole-program tests when the server itself fell behind (BANDORA_PULSE_LOG).
export BANDORA_PULSE_LOG="$BANDORA_TEST_RUNTIME/pulse.log"
pulseaudio --daemonize=no --exit-idle-time=-1 -n --log-level=debug --log-time=1 \
  --load=module-native-protocol-unix \
  --load="module-null-sink sink_name=bandora_out sink_properties=device.description=Bandora_Out" \
  --load="module-null-sink sink_name=bandora_cue sink_properties=device.description=Bandora_Cue" \
  --load="module-always-sink" \
  >"$BANDORA_PULSE_LOG" 2>&1 &
_bandora_pids+=($!)
export PULSE_SERVER="unix:$XDG_RUNTIME_DIR/pulse/native"
for _ in $(seq 1 50); do
  pactl info >/dev/null 2>&1 && break
  sleep 0.1
done
pactl set-default-sink bandora_out >/dev/null 2>&1 || true

# A null sink sleeps up to 2 s between blocks while no client asks for low latency, and only
# shortens its period after that sleep; a silent low-latency client on each sink keeps them
# responsive, so every test's stream and recording flows at once.
for sink in bandora_out bandora_cue; do
  pacat --playback --raw --format=s16le --rate=44100 --channels=2 --latency-msec=10 \
    --device="$sink" /dev/zero >/dev/null 2>&1 &
  _bandora_pids+=($!)
done

# JACK server under a private name, so tests never reach a studio's own server. Without
# real-time rights here (-r); -m: no memory locking.
export JACK_DEFAULT_SERVER="bandora-test-$$"
jackd -r -m -n "$JACK_DEFAULT_SERVER" -d dummy -r 48000 -p 128 -P 4 \
  >"$BANDORA_TEST_RUNTIME/jackd.log" 2>&1 &
_bandora_pids+=($!)
for _ in $(seq 1 50); do
  jack_lsp >/dev/null 2>&1 && break
  sleep 0.1
done
