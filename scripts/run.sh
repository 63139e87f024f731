#!/usr/bin/env bash
# Builds phototrim and starts the window (after its ten-second splash). Without a display it starts it
# in a virtual X server through xvfb-run, where it runs unseen until it is stopped with Ctrl-C.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j "$(nproc)" --target phototrim

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "no display: starting phototrim in a virtual X server (xvfb-run); stop it with Ctrl-C" >&2
  exec xvfb-run -a -s "-screen 0 1024x768x24" build/app/phototrim "$@"
fi
exec build/app/phototrim "$@"
