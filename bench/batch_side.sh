#!/usr/bin/env bash
# phototrim-batch beside the exact codec floor (a benchmark, not a test): in each round, the floor
# over the photos, then phototrim-batch -j 1 and -j 2, all with L at 400 dpi, reduced, high quality,
# then -j 1 again on the AVX2 kernels (PHOTOTRIM_SIMD=avx2), and -j 1 of another build when one is
# given (an older one, say), on its fastest kernels and on AVX2. Prints one line a round: the load before it, the wall seconds of the
# floor and of -j 1 and -j 2 with their share of the floor's, and the processor seconds (user +
# system) of the floor and of each -j 1 with their ratio to the floor's, which the load of other
# programs disturbs less than the wall time.
#
#   bench/batch_side.sh PHOTO_FOLDER FLOOR_EXE [ROUNDS [OTHER_BATCH_EXE]]
#       (build: cmake -S . -B build; FLOOR_EXE built from the design's floor.c)
#   HEIF=1 bench/batch_side.sh HEIC_FOLDER FLOOR_HEIF_EXE [ROUNDS [OTHER_BATCH_EXE]]
#       the HEIF case: the folder's HEIC/HEIF files, phototrim-batch --heic, beside the HEIF floor
#       (floor_heif.c)
set -euo pipefail
cd "$(dirname "$0")/.."
photos=$(realpath "$1")
floor=$(realpath "$2")
rounds=${3:-5}
other=${4:+$(realpath "$4")}
batch=$(realpath build/cli/phototrim-batch)
work=$(mktemp -d /tmp/phototrim-batch-side-XXXXXX)
trap 'rm -rf "$work"' EXIT

# Runs a command, writes its wall seconds and its processor seconds to the named variables.
timed() {
  local -n wall=$1 cpu=$2
  shift 2
  local start end
  start=$(date +%s.%N)
  /usr/bin/time -o "$work/time" -f '%U %S' "$@" >/dev/null 2>&1 || true
  end=$(date +%s.%N)
  wall=$(bc <<<"$end - $start")
  cpu=$(awk '{print $1 + $2}' "$work/time")
}
batch_args=(-s L -d 400 -r --no-progress --quiet "$photos")
names=(-iname '*.jpg')
if [ -n "${HEIF:-}" ]; then
  batch_args=(--heic "${batch_args[@]}")
  names=('(' -iname '*.heic' -o -iname '*.heif' -o -iname '*.hif' ')')
fi

for _ in $(seq "$rounds"); do
  rm -rf "${work:?}"/floor "$work"/j1 "$work"/j2 "$work"/avx2 "$work"/other
  mkdir -p "$work/floor"
  load=$(cut -d' ' -f1 /proc/loadavg)
  find "$photos" "${names[@]}" | sort >"$work/list"
  timed fw fc sh -c '"$0" "$1" <"$2"' "$floor" "$work/floor" "$work/list"
  timed w1 c1 "$batch" -j 1 "${batch_args[@]}" "$work/j1"
  timed w2 c2 "$batch" -j 2 "${batch_args[@]}" "$work/j2"
  timed wa ca env PHOTOTRIM_SIMD=avx2 "$batch" -j 1 "${batch_args[@]}" "$work/avx2"
  line=$(printf 'load=%s floor=%.3f j1=%.3f (%.3f x) j2=%.3f (%.3f x)  cpu: floor=%.2f j1=%.2f (%.3f x) j1-avx2=%.2f (%.3f x)' \
    "$load" "$fw" "$w1" "$(bc -l <<<"$w1 / $fw")" "$w2" "$(bc -l <<<"$w2 / $fw")" \
    "$fc" "$c1" "$(bc -l <<<"$c1 / $fc")" "$ca" "$(bc -l <<<"$ca / $fc")")
  if [[ -n "$other" ]]; then
    timed wo co "$other" -j 1 "${batch_args[@]}" "$work/other"
    rm -rf "${work:?}"/other
    timed woa coa env PHOTOTRIM_SIMD=avx2 "$other" -j 1 "${batch_args[@]}" "$work/other"
    line+=$(printf ' j1-other=%.2f (%.3f x) j1-other-avx2=%.2f (%.3f x)' "$co" "$(bc -l <<<"$co / $fc")" \
      "$coa" "$(bc -l <<<"$coa / $fc")")
  fi
  echo "$line"
done
