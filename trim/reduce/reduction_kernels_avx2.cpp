// The rows-first kernel of the reduction with 256-bit vectors (AVX2 and FMA), run only where the
// processor has them. A target row is made from its source rows directly: each 128-bit lane
// gathers the taps of four outputs from a 32-byte window of a row with two byte shuffles, one
// multiply-add weighs the taps in pairs and a second one adds the pairs times the row's weight.
#include "trim/reduce/reduction_kernels.h"

#if defined(__x86_64__) || defined(__i386__)

#include <immintrin.h>

#include <algorithm>

#include "trim/reduce/lane_gathers.h"

#define PHOTOTRIM_AVX2 __attribute__((target("avx2,fma")))

namespace phototrim {

namespace {

// A group's gather: each lane's window start and the shuffle indices of its two halves.
struct GroupGather {
  std::size_t low, high;  // window starts of lanes 0 and 1
  __m256i firstIndices, secondIndices;
};

// The taps of a group's 8 outputs from source row `row`, as signed bytes value - 128: the
// multiply-add of unsigned by signed bytes then weighs them without saturating, since
// 100 * 128 * 2 < 2^15 (raw bytes would reach 100 * 255 * 2). Each lane reads its own window;
// Adjacent: lane 1's starts 16 bytes after lane 0's, so two loads fetch both.
template <bool Adjacent>
PHOTOTRIM_AVX2 inline __m256i Gather(const std::uint8_t* row, const GroupGather& group) {
  const std::uint8_t* low = row + group.low;
  const std::uint8_t* high = row + group.high;
  __m256i first, second;
  if constexpr (Adjacent) {
    first = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(low));
    second = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(low + 16));
  } else {
    first = _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(low))),
                                    _mm_loadu_si128(reinterpret_cast<const __m128i*>(high)), 1);
    second = _mm256_inserti128_si256(
        _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(low + 16))),
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(high + 16)), 1);
  }
  const __m256i taps = _mm256_or_si256(_mm256_shuffle_epi8(first, group.firstIndices),
                                       _mm256_shuffle_epi8(second, group.secondIndices));
  return _mm256_xor_si256(taps, _mm256_set1_epi8(static_cast<char>(0x80)));
}

// Groups summed side by side: a row's pointer and the loop's count serve them all. Three took 8 %
// longer than two (their vectors no longer fit the 16 registers).
constexpr int kTogether = 2;

// Adds the weighed taps of rows 0 .. weighed-1 to the sums of two groups; the last fresh row, when
// it is kept, also has its unweighed sums stored.
template <bool Adjacent>
PHOTOTRIM_AVX2 inline void AddRows(const TargetRowSources& rows, int weighed, const __m256i* rowWeights,
                                   const GroupGather (&group)[kTogether], const __m256i (&tapWeights)[kTogether],
                                   std::int32_t* const (&kept)[kTogether], __m256i (&sums)[kTogether]) {
  for (int i = 0; i < weighed; ++i) {
    const std::uint8_t* row = rows.fresh[i];
    _mm_prefetch(reinterpret_cast<const char*>(row + group[0].low + kPrefetchAhead), _MM_HINT_T0);
    for (int j = 0; j < kTogether; ++j) {
      const __m256i pairs = _mm256_maddubs_epi16(tapWeights[j], Gather<Adjacent>(row, group[j]));
      sums[j] = _mm256_add_epi32(sums[j], _mm256_madd_epi16(pairs, rowWeights[i]));
    }
  }
  if (weighed < rows.freshCount) {
    const std::uint8_t* row = rows.fresh[weighed];
    for (int j = 0; j < kTogether; ++j) {
      const __m256i pairs = _mm256_maddubs_epi16(tapWeights[j], Gather<Adjacent>(row, group[j]));
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(kept[j]), _mm256_madd_epi16(pairs, _mm256_set1_epi16(1)));
      sums[j] = _mm256_add_epi32(sums[j], _mm256_madd_epi16(pairs, rowWeights[weighed]));
    }
  }
}

// floor(sum / total) for 8 lanes, as ExactAverages (reduction_vectors_512.h) makes it, whose
// reasoning holds lane by lane: the estimate's truncation q is the quotient or one more. Here
// the test of q * total > sum is the sign of sum - q * total, which lies in (-total, total]: the
// wrapped 32-bit products and difference give it exactly.
PHOTOTRIM_AVX2 inline __m256i ExactAverages8(__m256i sum, __m256i total, __m256 inverse) {
  constexpr float kEstimateBias = 0x1p-10f;
  const __m256 estimate = _mm256_fmadd_ps(_mm256_cvtepi32_ps(sum), inverse, _mm256_set1_ps(kEstimateBias));
  const __m256i q = _mm256_cvttps_epi32(estimate);
  const __m256i rest = _mm256_sub_epi32(sum, _mm256_mullo_epi32(q, total));
  return _mm256_add_epi32(q, _mm256_srai_epi32(rest, 31));
}

// Byte shuffles that take channel c of 16 pixels from 48 bytes of blue, green, red held as three
// 16-byte pieces: piece p gives the pixels whose channel byte lies in it (others get index 0x80).
struct DeinterleaveIndices {
  alignas(16) std::uint8_t pick[3][3][16];  // [channel][piece]
  constexpr DeinterleaveIndices() : pick{} {
    for (int c = 0; c < 3; ++c)
      for (int p = 0; p < 3; ++p)
        for (int x = 0; x < 16; ++x) {
          const int byte = 3 * x + c;
          pick[c][p][x] = static_cast<std::uint8_t>(byte / 16 == p ? byte % 16 : 0x80);
        }
  }
};
inline constexpr DeinterleaveIndices kDeinterleave;

// The averages of a block (six groups of 8 outputs in their order, 16 target columns) into the
// planar rows at column x.
PHOTOTRIM_AVX2 inline void StorePlanar(const __m256i (&averages)[6], std::uint16_t* const* out, int x, int count) {
  // The packs work within lanes: bytes 0-15 take dwords 0-3 of each of the four vectors, bytes
  // 16-31 dwords 4-7. The dword permute puts the 4-byte pieces back in the outputs' order.
  const __m256i words01 = _mm256_packus_epi32(averages[0], averages[1]);
  const __m256i words23 = _mm256_packus_epi32(averages[2], averages[3]);
  const __m256i words45 = _mm256_packus_epi32(averages[4], averages[5]);
  const __m256i order = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
  const __m256i bytes0 = _mm256_permutevar8x32_epi32(_mm256_packus_epi16(words01, words23), order);
  const __m256i bytes1 = _mm256_permutevar8x32_epi32(_mm256_packus_epi16(words45, words45), order);
  const __m128i pieces[3] = {_mm256_castsi256_si128(bytes0), _mm256_extracti128_si256(bytes0, 1),
                             _mm256_castsi256_si128(bytes1)};
  for (int c = 0; c < 3; ++c) {
    __m128i channel = _mm_setzero_si128();
    for (int p = 0; p < 3; ++p)
      channel = _mm_or_si128(channel, _mm_shuffle_epi8(pieces[p], _mm_load_si128(reinterpret_cast<const __m128i*>(
                                                                      kDeinterleave.pick[c][p]))));
    const __m256i words = _mm256_cvtepu8_epi16(channel);
    if (count == 16) {
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(out[c] + x), words);
    } else {
      alignas(32) std::uint16_t values[16];
      _mm256_store_si256(reinterpret_cast<__m256i*>(values), words);
      std::copy_n(values, count, out[c] + x);
    }
  }
}

}  // namespace

PHOTOTRIM_AVX2 void ByRowsAvx2(const RowGathers& gathers, const TargetRowSources& rows, std::uint16_t* const* out) {
  // The kept row, the last, is weighed on its own: its sums without the row's weight are kept.
  const int weighed = rows.keepLast ? rows.freshCount - 1 : rows.freshCount;
  __m256i rowWeights[kMaxTaps];
  for (int i = 0; i < rows.freshCount; ++i) rowWeights[i] = _mm256_set1_epi16(static_cast<short>(rows.freshWeight[i]));
  const __m256i storedWeight = _mm256_set1_epi32(rows.storedWeight);
  const __m256i totalY = _mm256_set1_epi32(rows.total);
  const __m256 inverseY = _mm256_set1_ps(rows.inverse);
  for (int b = 0; b < gathers.blocks; ++b) {
    __m256i averages[kLaneGroupsPerBlock];
    for (int k = 0; k < kLaneGroupsPerBlock; k += kTogether) {
      const std::size_t g = static_cast<std::size_t>(b) * kLaneGroupsPerBlock + static_cast<std::size_t>(k);
      const std::uint8_t* table[kTogether];
      GroupGather group[kTogether];
      __m256i tapWeights[kTogether], sums[kTogether];
      std::int32_t* kept[kTogether];
      bool adjacent = true;
      for (int j = 0; j < kTogether; ++j) {
        table[j] = gathers.tables + (g + j) * kLaneGroupBytes;
        kept[j] = rows.kept + (g + j) * kLaneGroupOutputs;
        group[j] = {static_cast<std::size_t>(gathers.window[2 * (g + j)]),
                    static_cast<std::size_t>(gathers.window[2 * (g + j) + 1]),
                    _mm256_load_si256(reinterpret_cast<const __m256i*>(table[j])),
                    _mm256_load_si256(reinterpret_cast<const __m256i*>(table[j] + 32))};
        tapWeights[j] = _mm256_load_si256(reinterpret_cast<const __m256i*>(table[j] + 64));
        adjacent = adjacent && group[j].high == group[j].low + 16;
        // Sums of weight * (value - 128): each row's pairs of taps in 16 bits (at most 2 * 100 * 128
        // in size), their sum times the row's weight in 32 bits.
        sums[j] = rows.stored == nullptr
                      ? _mm256_setzero_si256()
                      : _mm256_mullo_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(
                                               rows.stored + (g + j) * kLaneGroupOutputs)),
                                           storedWeight);
      }
      if (adjacent) {
        AddRows<true>(rows, weighed, rowWeights, group, tapWeights, kept, sums);
      } else {
        AddRows<false>(rows, weighed, rowWeights, group, tapWeights, kept, sums);
      }
      for (int j = 0; j < kTogether; ++j) {
        // S = Sx * Sy; the values' 128 adds 128 * S back.
        const __m256i totals =
            _mm256_mullo_epi32(_mm256_load_si256(reinterpret_cast<const __m256i*>(table[j] + 96)), totalY);
        const __m256 inverses = _mm256_mul_ps(_mm256_load_ps(reinterpret_cast<const float*>(table[j] + 128)), inverseY);
        averages[k + j] = ExactAverages8(_mm256_add_epi32(sums[j], _mm256_slli_epi32(totals, 7)), totals, inverses);
      }
    }
    StorePlanar(averages, out, 16 * b, std::min(16, gathers.columns - 16 * b));
  }
}

}  // namespace phototrim

#endif
