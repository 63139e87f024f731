#!/usr/bin/env bash
# Builds the fuzzing targets with clang (ASan + UBSan), writes the seed corpora, and runs each target
# one after the other, one process at a time, niced. Fails when a target finds anything.
#
#   fuzz/run_fuzz.sh [SECONDS [TARGET...]]   SECONDS per target, default 60
#   FUZZ_RUNS=N       stop each target after N executions instead (SECONDS still bounds it)
#   FUZZ_BUILD=DIR    build folder, default build-fuzz
#
# New inputs go to DIR/fuzz-corpus/TARGET (kept, so a later run goes on from there), findings to
# DIR/fuzz-findings/, each run's log to DIR/fuzz-logs/TARGET.log; the final statistics are printed.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
[ $# -gt 0 ] && shift
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(fuzz_exif_orientation fuzz_load_jpeg fuzz_crop_positions fuzz_load_heif)
build=${FUZZ_BUILD:-build-fuzz}

CC=clang CXX=clang++ cmake -S . -B "$build" -DPHOTOTRIM_FUZZ=ON -DPHOTOTRIM_TESTS=OFF -DPHOTOTRIM_GUI=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
mkdir -p "$build/fuzz-findings" "$build/fuzz-logs"
if ! cmake --build "$build" -j2 --target "${targets[@]}" phototrim_fuzz_seeds >"$build/fuzz-logs/build.log" 2>&1; then
  cat "$build/fuzz-logs/build.log" >&2
  exit 1
fi
seeds="$build/fuzz-seeds"
rm -rf "$seeds"
"$build/fuzz/phototrim_fuzz_seeds" "$seeds"

status=0
for target in "${targets[@]}"; do
  case "$target" in
    fuzz_load_jpeg) seedDir="$seeds/load"; extra=(-dict=fuzz/jpeg.dict) ;;
    fuzz_exif_orientation) seedDir="$seeds/exif"; extra=() ;;
    fuzz_crop_positions)
      seedDir="$seeds/positions"
      mkdir -p "$seedDir"
      printf '# c\r\na.jpg\t0\t100\nsub/b.jpg\t33.33\t12.5\n' >"$seedDir/lines"
      extra=() ;;
    fuzz_load_heif)
      # HEIF seeds: some of the JPEG seeds turned into HEIC (one into AVIF too) by heif-enc (no sample
      # files); not the damaged ones, nor the one that claims 30000 x 30000 pixels, which heif-enc would decode.
      # libheif 1.15 checks only the boxes' sizes, and libde265 or dav1d allocate by the size the
      # stream claims (a 668-byte file claiming 26801 x 58672 in its SPS took 4.6 GB): the decoder
      # checks every SPS, sequence header and canvas against the boxes first, so the usual limit holds.
      seedDir="$seeds/heif"; extra=()
      mkdir -p "$seedDir"
      for name in baseline gray one-pixel exif-8-mm icc-rgb-comment sampling-1x1 progressive; do
        heif-enc -q 50 -o "$seedDir/$name.heic" "$seeds/load/$name.jpg" >/dev/null 2>&1 || true
      done
      # Two with a thumbnail of their own, which the crop check decodes.
      for name in baseline exif-8-mm; do
        heif-enc -q 50 -t 16 -o "$seedDir/$name-thumbnail.heic" "$seeds/load/$name.jpg" >/dev/null 2>&1 || true
      done
      heif-enc -A -q 50 -o "$seedDir/baseline.avif" "$seeds/load/baseline.jpg" >/dev/null 2>&1 || true ;;
    *) echo "unknown target $target" >&2; exit 64 ;;
  esac
  corpus="$build/fuzz-corpus/$target"
  mkdir -p "$corpus"
  [ -n "${FUZZ_RUNS:-}" ] && extra+=(-runs="$FUZZ_RUNS")
  log="$build/fuzz-logs/$target.log"
  # A legitimate picture at the loader's pixel limit takes about 0.8 GB, and twice that when it is
  # turned; under ASan that stays well below 4 GB. A single input may take two minutes before it
  # counts as a hang (a picture at the limit decodes in seconds, under ASan in tens of seconds).
  if nice -n 10 "$build/fuzz/$target" -max_total_time="$seconds" -print_final_stats=1 \
       -rss_limit_mb=4096 -timeout=120 -artifact_prefix="$build/fuzz-findings/$target-" "${extra[@]}" \
       "$corpus" "$seedDir" >"$log" 2>&1; then
    echo "$target: no finding"
  else
    echo "$target: FINDING (see $log and $build/fuzz-findings/)" >&2
    status=1
  fi
  grep -E '^#[0-9]+.*(DONE|INITED) |^Done |stat::number_of_executed_units|stat::peak_rss_mb|stat::new_units_added' "$log" | tail -5
done
exit $status
