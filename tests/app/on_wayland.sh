#!/usr/bin/env bash
# Runs the window's tests named by a filter on Qt's Wayland platform, in a headless Weston of its own
# at the output scale given, and checks the window takes that scale.
#   on_wayland.sh TEST_BINARY SCALE FILTER
# Exits 77 (skipped) where Weston cannot be started.
set -u
binary=$1 scale=$2 filter=$3
command -v weston >/dev/null || { echo "no weston" >&2; exit 77; }
runtime=$(mktemp -d)
chmod 700 "$runtime"
export XDG_RUNTIME_DIR=$runtime
weston --backend=headless-backend.so --socket=phototrim-test --width=1920 --height=1200 --scale="$scale" \
  >"$runtime/weston.log" 2>&1 &
weston_pid=$!
# Weston may take a while over SIGTERM (seen once, past the test's time): it gets two seconds, then KILL.
stop_weston() {
  kill "$weston_pid" 2>/dev/null
  for _ in $(seq 40); do kill -0 "$weston_pid" 2>/dev/null || break; sleep 0.05; done
  kill -KILL "$weston_pid" 2>/dev/null
  wait "$weston_pid" 2>/dev/null
  rm -rf "$runtime"
}
trap stop_weston EXIT
for _ in $(seq 100); do
  [ -S "$runtime/phototrim-test" ] && break
  sleep 0.05
done
[ -S "$runtime/phototrim-test" ] || { cat "$runtime/weston.log" >&2; exit 77; }
WAYLAND_DISPLAY=phototrim-test QT_QPA_PLATFORM=wayland PHOTOTRIM_EXPECTED_SCALE=$scale \
  timeout --kill-after=5 90 "$binary" --gtest_filter="$filter"
