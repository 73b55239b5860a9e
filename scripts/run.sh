#!/usr/bin/env bash
# Installs what is missing, builds, installs the program into its own folder (build/default/run:
# writable, apart from the sources, holding the demo profile DEMO.PFL and its tones) and starts
# it from there.
#
# With a display the program simply starts. Without one (DISPLAY unset) it is shown working:
# an X server at 1280x1024 and a private sound server with a silent sink of their own, the demo
# profile activated, one cart fired; a screenshot and a recording of the output are saved and
# their paths printed.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j2 --target bandora
program="$PWD/build/default/run"
cmake --install build/default --prefix "$program" >/dev/null
python3 scripts/demo.py prepare "$program"

if [ -n "${DISPLAY:-}" ]; then
  exec "$program/bandora" "$@"
fi

pids=()
runtime=$(mktemp -d /tmp/bandora-run.XXXXXX)
trap 'kill "${pids[@]}" 2>/dev/null || true; wait 2>/dev/null || true; rm -rf "$runtime"' EXIT

# A sound server of our own, whatever runs on this machine: the demo records what the program
# plays, and must neither play it aloud nor record anything else.
export XDG_RUNTIME_DIR="$runtime"
unset PULSE_SERVER
pulseaudio --daemonize=no --exit-idle-time=-1 -n --load=module-native-protocol-unix \
  --load="module-null-sink sink_name=bandora_out sink_properties=device.description=Bandora_Out" \
  --load="module-null-sink sink_name=bandora_cue sink_properties=device.description=Bandora_Cue" \
  >"$runtime/pulse.log" 2>&1 &
pids+=($!)
for _ in $(seq 1 50); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
pactl set-default-sink bandora_out

for n in $(seq 91 140); do
  if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then break; fi
done
Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp -noreset >"$runtime/xvfb.log" 2>&1 &
pids+=($!)
export DISPLAY=":$n"
for _ in $(seq 1 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

echo "No display: showing the program under Xvfb (1280x1024) with a private sound server."
python3 scripts/demo.py show "$program" "$PWD/build/default/run-demo"
