#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program from its build folder.
# Without a display (DISPLAY unset) it starts Xvfb at 1280x1024, runs the program there for a
# few seconds and saves a screenshot, so the program can be seen working on a server too.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j2 --target bandora

exe="$PWD/build/default/src/app/bandora"

if [ -n "${DISPLAY:-}" ]; then
  exec "$exe" "$@"
fi

shot="$PWD/build/default/screenshot.png"
pids=()
trap 'kill "${pids[@]}" 2>/dev/null || true' EXIT

# A server has no sound server either: give the program a private one with a silent sink, so
# it opens its output device as it would on a studio machine.
if ! pactl info >/dev/null 2>&1; then
  export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d /tmp/bandora-run.XXXXXX)}"
  pulseaudio --daemonize=no --exit-idle-time=-1 -n --load=module-native-protocol-unix \
    --load="module-null-sink sink_name=bandora_out sink_properties=device.description=Bandora_Out" \
    >/dev/null 2>&1 &
  pids+=($!)
  for _ in $(seq 1 50); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
fi
for n in $(seq 91 140); do
  if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then break; fi
done
Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
export DISPLAY=":$n"
for _ in $(seq 1 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

"$exe" "$@" &
app_pid=$!
sleep "${BANDORA_RUN_SECONDS:-5}"
import -window root "$shot"
kill "$app_pid" 2>/dev/null || true
wait "$app_pid" 2>/dev/null || true
echo "No display: the program ran under Xvfb (1280x1024); screenshot saved to $shot"
