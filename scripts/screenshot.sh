#!/usr/bin/env bash
# Takes a picture of phototrim's main window, as it opens after the ten-second splash, in a virtual X
# server. Without arguments it builds phototrim and writes docs/main-window.png, the README's picture.
#   scripts/screenshot.sh [OUTPUT.png [COMMAND...]]
# COMMAND starts the window in some other way, e.g. from its desktop entry:
#   scripts/screenshot.sh /tmp/window.png dex /usr/share/applications/phototrim.desktop
set -euo pipefail
caption='写真トリミングツ－ル（カルネラ付属ツール）'  # the main window's title; the splash has none

if [ "${1:-}" = --in-display ]; then
  # In the virtual X server: start the window, wait until it is on the screen, take its picture.
  output=$2
  shift 2
  "$@" &
  started=$!
  window=''
  for _ in $(seq 120); do
    sleep 0.5
    if xwininfo -name "$caption" 2>/dev/null | grep -q 'Map State: IsViewable'; then
      window=$(xwininfo -name "$caption" | awk '/Window id:/ { print $4 }')
      break
    fi
  done
  [ -n "$window" ] || { echo "screenshot.sh: no window after 60 seconds" >&2; kill "$started" 2>/dev/null; exit 1; }
  sleep 1  # its first paint
  import -window "$window" -strip "$output"
  kill "$started" 2>/dev/null || true
  wait "$started" 2>/dev/null || true
  exit 0
fi

cd "$(dirname "$0")/.."
bash scripts/install-deps.sh imagemagick x11-utils
output=${1:-docs/main-window.png}
[ $# -gt 0 ] && shift
if [ $# -eq 0 ]; then
  cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build build -j "$(nproc)" --target phototrim
  set -- build/app/phototrim
fi
mkdir -p "$(dirname "$output")"
xvfb-run -a -s "-screen 0 1024x768x24" bash "$(realpath "$0")" --in-display "$(realpath -m "$output")" "$@"
echo "$output: $(identify -format '%w x %h pixels' "$output")"
