#!/usr/bin/env bash
# Takes a picture of phototrim's main window, as it opens after the ten-second splash, in a virtual X
# server with a window manager, on a desktop scaled as GNOME and KDE scale one (Xft.dpi: 96 at
# 100 %, 144 at 150 %, 192 at 200 %). Without arguments it builds phototrim and writes the README's
# pictures: docs/main-window.png at 100 % and docs/main-window-200.png at 200 %.
#   scripts/screenshot.sh [--scale PERCENT] [OUTPUT.png [COMMAND...]]
# COMMAND starts the window in some other way, e.g. from its desktop entry:
#   scripts/screenshot.sh /tmp/window.png dex /usr/share/applications/phototrim.desktop
set -euo pipefail
caption='写真トリミングツ－ル（カルネラ付属ツール）'  # the main window's title; the splash has none

if [ "${1:-}" = --in-display ]; then
  # In the virtual X server: the window manager, the desktop's dpi, then the window and its picture.
  dpi=$2 output=$3
  shift 3
  openbox >/dev/null 2>&1 &
  manager=$!
  for _ in $(seq 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    sleep 0.1
  done
  # Only now: an X server forgets its resources when its last client leaves.
  echo "Xft.dpi: $dpi" | xrdb -merge
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
  [ -n "$window" ] || { echo "screenshot.sh: no window after 60 seconds" >&2; kill "$started" "$manager" 2>/dev/null; exit 1; }
  sleep 1  # its first paint
  import -window "$window" -strip "$output"
  kill "$started" 2>/dev/null || true
  wait "$started" 2>/dev/null || true
  kill "$manager" 2>/dev/null || true
  exit 0
fi

cd "$(dirname "$0")/.."
bash scripts/install-deps.sh imagemagick x11-utils x11-xserver-utils openbox
percent=100
if [ "${1:-}" = --scale ]; then
  percent=$2
  shift 2
fi
if [ $# -eq 0 ]; then
  # The README's two pictures.
  bash "$0" --scale 100 docs/main-window.png
  exec bash "$0" --scale 200 docs/main-window-200.png
fi
output=$1
shift
if [ $# -eq 0 ]; then
  cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build build -j "$(nproc)" --target phototrim
  set -- build/app/phototrim
fi
mkdir -p "$(dirname "$output")"
# Room for the splash and the window at 200 %.
xvfb-run -a -s "-screen 0 2048x1536x24" bash "$(realpath "$0")" --in-display "$((percent * 96 / 100))" \
  "$(realpath -m "$output")" "$@"
echo "$output: $(identify -format '%w x %h pixels' "$output") at $percent %"
