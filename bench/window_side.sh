#!/usr/bin/env bash
# The window's run beside the exact codec floor (a benchmark, not a test): in each round, the floor
# over the photos, then phototrim-window-bench with the window's own number of jobs and with --jobs 1,
# then phototrim-batch -j 2, all with L at 400 dpi, reduced, high quality. Prints one line a round:
# the load before it, the seconds of each, the window's times as a share of the floor's, and the
# window's longest and 99th-percentile gaps of its event loop.
#
#   bench/window_side.sh PHOTO_FOLDER FLOOR_EXE [ROUNDS]      (build: cmake -S . -B build; FLOOR_EXE
#                                                              built from the design's floor.c)
set -euo pipefail
cd "$(dirname "$0")/.."
photos=$(realpath "$1")
floor=$(realpath "$2")
rounds=${3:-5}
window=build/app/phototrim-window-bench
batch=build/cli/phototrim-batch
work=$(mktemp -d /tmp/phototrim-window-side-XXXXXX)
trap 'rm -rf "$work"' EXIT

now() { date +%s.%N; }
field() { sed -n "s/.*$1=\([0-9.]*\).*/\1/p" <<<"$2"; }
for _ in $(seq "$rounds"); do
  rm -rf "${work:?}"/*
  mkdir -p "$work/floor"
  load=$(cut -d' ' -f1 /proc/loadavg)
  t0=$(now)
  find "$photos" -iname '*.jpg' | sort | "$floor" "$work/floor" >/dev/null 2>&1
  t1=$(now)
  many=$("$window" --size L --dpi 400 --reduce "$photos" "$work/window" 2>/dev/null | tail -1)
  one=$("$window" --jobs 1 --size L --dpi 400 --reduce "$photos" "$work/window1" 2>/dev/null | tail -1)
  t2=$(now)
  "$batch" -s L -d 400 -r -j 2 --no-progress --quiet "$photos" "$work/batch" >/dev/null 2>&1
  t3=$(now)
  f=$(bc <<<"$t1 - $t0")
  w=$(field run_s "$many")
  w1=$(field run_s "$one")
  printf 'load=%s floor=%.3f window=%s (%.3f x, jobs=%s, longest gap %s ms, p99 %s ms) window-j1=%s (%.3f x) batch-j2=%.3f\n' \
    "$load" "$f" "$w" "$(bc -l <<<"$w / $f")" "$(field jobs "$many")" "$(field longest_gap_ms "$many")" \
    "$(field p99_gap_ms "$many")" "$w1" "$(bc -l <<<"$w1 / $f")" "$(bc <<<"$t3 - $t2")"
done
