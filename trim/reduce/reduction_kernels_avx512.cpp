// The reduction's kernels with 512-bit vectors (AVX-512 with byte permutes and byte dot products),
// run only where the processor has them. A target row is made from its source rows directly: each
// row is summed along its width by gathering the bytes of every output's taps with one permute and
// weighing four of them with one dot product; the rows' sums are then weighed and divided.
#include "trim/reduce/reduction_kernels.h"

#if defined(__x86_64__) || defined(__i386__)

// GCC 12 warns inside its own AVX-512 headers about the deliberately undefined vectors some
// intrinsics start from (GCC bug 105593); the warning is about the header, not this code.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <immintrin.h>
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

#include <algorithm>

#include "trim/reduce/reduction_vectors_512.h"
#include "trim/reduce/row_gathers.h"
#include "trim/reduce/sharpen.h"

namespace phototrim {

namespace {

// 64 bytes of a source row from byte `from` on, with zeros for the bytes past those that may be read.
PHOTOTRIM_AVX512 inline __m512i LoadWindow(const std::uint8_t* row, std::size_t from, std::size_t rowBytes) {
  if (from + 64 <= rowBytes) return _mm512_loadu_si512(row + from);
  if (from >= rowBytes) return _mm512_setzero_si512();
  return _mm512_maskz_loadu_epi8((__mmask64{1} << (rowBytes - from)) - 1, row + from);
}

// The taps of a group's 16 outputs, four bytes a lane per quad, from one window of the row.
template <int Quads>
PHOTOTRIM_AVX512 inline void Gather(const std::uint8_t* row, std::size_t from, std::size_t rowBytes,
                                    const __m512i (&offsets)[Quads], __m512i (&taps)[Quads]) {
  const __m512i first = LoadWindow(row, from, rowBytes);
  if constexpr (Quads == 1) {
    taps[0] = _mm512_permutexvar_epi8(offsets[0], first);
  } else {
    const __m512i second = LoadWindow(row, from + 64, rowBytes);
    for (int q = 0; q < Quads; ++q) taps[q] = _mm512_permutex2var_epi8(first, offsets[q], second);
  }
}

// Adds sum over the taps of weight * byte to each lane: unsigned bytes times signed weights (at
// most 100), four products a lane, in 32 bits.
template <int Quads>
PHOTOTRIM_AVX512 inline __m512i AddTaps(__m512i sums, const __m512i (&taps)[Quads], const __m512i (&weights)[Quads]) {
  for (int q = 0; q < Quads; ++q) sums = _mm512_dpbusd_epi32(sums, taps[q], weights[q]);
  return sums;
}

// Word indices that pick channel c of 16 pixels from 48 outputs (3x + c) held as 32 + 16 words.
struct PlanarIndices {
  alignas(64) std::uint16_t channel[3][32];
  constexpr PlanarIndices() : channel{} {
    for (int c = 0; c < 3; ++c)
      for (int p = 0; p < 16; ++p) channel[c][p] = static_cast<std::uint16_t>(3 * p + c);
  }
};
inline constexpr PlanarIndices kPlanar;

// The averages of a block (three groups, 16 target columns) into the planar rows at column x.
PHOTOTRIM_AVX512 inline void StorePlanar(const __m512i (&averages)[3], std::uint16_t* const* out, int x, int count) {
  const __m512i words = _mm512_inserti64x4(_mm512_castsi256_si512(_mm512_cvtepi32_epi16(averages[0])),
                                           _mm512_cvtepi32_epi16(averages[1]), 1);
  const __m512i last = _mm512_castsi256_si512(_mm512_cvtepi32_epi16(averages[2]));
  for (int c = 0; c < 3; ++c) {
    const __m256i channel = _mm512_castsi512_si256(
        _mm512_permutex2var_epi16(words, _mm512_load_si512(kPlanar.channel[c]), last));
    if (count == 16) {
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(out[c] + x), channel);
    } else {
      _mm256_mask_storeu_epi16(out[c] + x, static_cast<__mmask16>((1u << count) - 1), channel);
    }
  }
}

template <int Quads>
PHOTOTRIM_AVX512 void ByRowsWith(const RowGathers& gathers, const TargetRowSources& rows, std::uint16_t* const* out) {
  // Rows of weight 100 (all but the two ends of a span) are summed by the dot products themselves
  // and multiplied once; the others are summed alone and weighed. The kept row, the last, is one
  // of the others: it ends a span, so its weight is below 100.
  const std::uint8_t* hundreds[kMaxTaps];
  const std::uint8_t* others[kMaxTaps];
  __m512i otherWeights[kMaxTaps];
  int hundredCount = 0, otherCount = 0;
  for (int i = 0; i < rows.freshCount; ++i) {
    if (rows.freshWeight[i] == 100 && !(rows.keepLast && i == rows.freshCount - 1)) {
      hundreds[hundredCount++] = rows.fresh[i];
    } else {
      otherWeights[otherCount] = _mm512_set1_epi32(rows.freshWeight[i]);
      others[otherCount++] = rows.fresh[i];
    }
  }
  const int keptOther = rows.keepLast ? otherCount - 1 : -1;
  const __m512i storedWeight = _mm512_set1_epi32(rows.storedWeight);
  const __m512i hundred = _mm512_set1_epi32(100);
  const __m512i totalY = _mm512_set1_epi32(rows.total);
  const __m512 inverseY = _mm512_set1_ps(rows.inverse);
  const std::size_t tableBytes = RowGatherBytes(Quads);
  for (int b = 0; b < gathers.blocks; ++b) {
    __m512i averages[3];
    for (int k = 0; k < 3; ++k) {
      const std::size_t g = 3 * static_cast<std::size_t>(b) + static_cast<std::size_t>(k);
      const std::uint8_t* table = gathers.tables + g * tableBytes;
      __m512i offsets[Quads], weights[Quads], taps[Quads];
      for (int q = 0; q < Quads; ++q) {
        offsets[q] = _mm512_load_si512(table + 64 * q);
        weights[q] = _mm512_load_si512(table + 64 * (Quads + q));
      }
      const auto from = static_cast<std::size_t>(gathers.window[g]);
      __m512i sums = _mm512_setzero_si512();
      if (rows.stored != nullptr) sums = _mm512_mullo_epi32(_mm512_load_si512(rows.stored + g * kGroupOutputs), storedWeight);
      __m512i byHundred = _mm512_setzero_si512();
      for (int i = 0; i < hundredCount; ++i) {
        _mm_prefetch(reinterpret_cast<const char*>(hundreds[i] + from + kPrefetchAhead), _MM_HINT_T0);
        Gather<Quads>(hundreds[i], from, gathers.rowBytes, offsets, taps);
        byHundred = AddTaps<Quads>(byHundred, taps, weights);
      }
      for (int i = 0; i < otherCount; ++i) {
        _mm_prefetch(reinterpret_cast<const char*>(others[i] + from + kPrefetchAhead), _MM_HINT_T0);
        Gather<Quads>(others[i], from, gathers.rowBytes, offsets, taps);
        const __m512i row = AddTaps<Quads>(_mm512_setzero_si512(), taps, weights);
        if (i == keptOther) _mm512_store_si512(rows.kept + g * kGroupOutputs, row);
        sums = _mm512_add_epi32(sums, _mm512_mullo_epi32(row, otherWeights[i]));
      }
      sums = _mm512_add_epi32(sums, _mm512_mullo_epi32(byHundred, hundred));
      // S = Sx * Sy, and the estimate's inverse RN(RN(1/Sx) * RN(1/Sy)).
      const __m512i totals = _mm512_mullo_epi32(_mm512_load_si512(table + 128 * Quads), totalY);
      const __m512 inverses = _mm512_mul_ps(_mm512_load_ps(table + 128 * Quads + 64), inverseY);
      averages[k] = ExactAverages(sums, totals, inverses);
    }
    StorePlanar(averages, out, 16 * b, std::min(16, gathers.columns - 16 * b));
  }
}

PHOTOTRIM_AVX512 inline __m512i Load(const std::uint16_t* p) { return _mm512_loadu_si512(p); }

}  // namespace

PHOTOTRIM_AVX512 void ByRowsAvx512(const RowGathers& gathers, const TargetRowSources& rows, std::uint16_t* const* out) {
  if (gathers.quads == 1) {
    ByRowsWith<1>(gathers, rows, out);
  } else {
    ByRowsWith<2>(gathers, rows, out);
  }
}

PHOTOTRIM_AVX512 void SharpenRowAvx512(const std::uint16_t* const* above, const std::uint16_t* const* row,
                                       const std::uint16_t* const* below, int w, std::uint8_t* out) {
  CopyBorderPixels(row, w, out);
  // Local copies, so the compiler need not reload them after every store to `out`.
  const std::uint16_t* const a[3] = {above[0], above[1], above[2]};
  const std::uint16_t* const m[3] = {row[0], row[1], row[2]};
  const std::uint16_t* const b[3] = {below[0], below[1], below[2]};
  int x = 1;
  // 32 inner pixels at a time; the loads reach x-1 .. x+32, all inside the row.
  for (; x + 32 <= w - 1; x += 32) {
    __m512i centre[3], blur[3];
    for (int c = 0; c < 3; ++c) {
      const std::uint16_t* const ac = a[c] + x;
      const std::uint16_t* const mc = m[c] + x;
      const std::uint16_t* const bc = b[c] + x;
      const __m512i corners = _mm512_add_epi16(_mm512_add_epi16(Load(ac - 1), Load(ac + 1)), _mm512_add_epi16(Load(bc - 1), Load(bc + 1)));
      const __m512i edges = _mm512_add_epi16(_mm512_add_epi16(Load(ac), Load(bc)), _mm512_add_epi16(Load(mc - 1), Load(mc + 1)));
      blur[c] = Divide12(_mm512_add_epi16(corners, _mm512_slli_epi16(edges, 1)));  // at most 12*255
      centre[c] = Load(mc);
    }
    const __m512i L0 = Luma(centre);
    const __m512i difference = _mm512_sub_epi16(Luma(blur), L0);
    // Halving toward zero: add 1 to a negative value before the arithmetic shift.
    const __m512i Lnew =
        _mm512_sub_epi16(L0, _mm512_srai_epi16(_mm512_add_epi16(difference, _mm512_srli_epi16(difference, 15)), 1));
    const LuminanceScale scale = ScaleOf(Lnew, L0);
    StoreInterleaved(ScaledChannel(centre[0], scale), ScaledChannel(centre[1], scale), ScaledChannel(centre[2], scale),
                     out + 3 * x);
  }
  SharpenInner(above, row, below, x, w - 1, out);
}

PHOTOTRIM_AVX512 void ExactAveragesAvx512(const std::int32_t* sums, const std::int32_t* totals, const float* inverses,
                                          int count, std::int32_t* out) {
  for (int i = 0; i < count; i += 16)
    _mm512_storeu_si512(out + i, ExactAverages(_mm512_loadu_si512(sums + i), _mm512_loadu_si512(totals + i),
                                               _mm512_loadu_ps(inverses + i)));
}

PHOTOTRIM_AVX512 void ScaledChannelsAvx512(const std::uint16_t* c0, const std::uint16_t* L0, const std::int16_t* Lnew,
                                           int count, std::uint8_t* out) {
  for (int i = 0; i < count; i += 32) {
    const LuminanceScale scale = ScaleOf(_mm512_loadu_si512(Lnew + i), _mm512_loadu_si512(L0 + i));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), ScaledChannel(_mm512_loadu_si512(c0 + i), scale));
  }
}

}  // namespace phototrim

#endif
