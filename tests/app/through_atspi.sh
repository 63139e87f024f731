#!/usr/bin/env bash
# Shows the main window on a virtual X server with its own session bus and accessibility bus, and
# reads it through AT-SPI with atspi_tree.py.   through_atspi.sh WINDOW_PROGRAM
# Exits 77 (skipped) where Xvfb, D-Bus, AT-SPI or its Python bindings are missing.
set -u
window=$1
here=$(dirname "$(realpath "$0")")
launcher=/usr/libexec/at-spi-bus-launcher
for tool in xvfb-run dbus-run-session; do command -v "$tool" >/dev/null || exit 77; done
[ -x "$launcher" ] && /usr/bin/python3 -c 'import pyatspi' 2>/dev/null || exit 77
export window launcher here
exec xvfb-run -a -s "-screen 0 1024x768x24" dbus-run-session -- bash -c '
  "$launcher" --launch-immediately >/dev/null 2>&1 &
  bus=$!
  QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_QPA_PLATFORM=xcb "$window" &
  shown=$!
  /usr/bin/python3 "$here/atspi_tree.py"
  result=$?
  kill "$shown" "$bus" 2>/dev/null
  exit $result' 2> >(grep -v -e "fd limit" -e "Activat" -e "SpiRegistry" >&2)
