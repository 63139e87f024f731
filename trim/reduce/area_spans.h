// Spans and weights of the area average along one axis, in hundredths of a source pixel.
#pragma once

#include <cstdint>

namespace phototrim {

// Output pixel i of n, over a source side of N (N >= n), covers the hundredths
// s = i*N*100/n ... e = (i*100+100)*N/n - 1 of the source. Its first source pixel weighs
// 100 - s%100 (1..100), the last e%100 (0..99: one hundredth less than it covers), every one
// between 100. A span inside a single source pixel gives that pixel alone; its weight then
// cancels out of the quotient (k*A / (k*B) = A / B), so it is taken as 1.
struct Span {
  int first = 0;         // first source pixel
  int count = 0;         // source pixels first .. first+count-1, 1..101 when N <= 100*n
  int firstWeight = 0;   // weight of the first pixel (1 when count == 1)
  int lastWeight = 0;    // weight of the last pixel when count >= 2
  int total = 0;         // sum of all weights: the axis' share of the divisor
};

Span SpanOf(int i, int n, int N);

// Weight of the k-th source pixel of a span.
inline int WeightAt(const Span& span, int k) {
  if (k == 0) return span.firstWeight;
  if (k == span.count - 1) return span.lastWeight;
  return 100;
}

// floor(sum / (Sx*Sy)) for 0 <= sum < 256*Sx*Sy with Sx, Sy <= 10100, from
// inverse = RN(RN(1/Sx) * RN(1/Sy)). The double result p = sum*inverse carries at most 4 roundings,
// so |p - Q| <= Q * 4.01 * 2^-53 < 2^-42 for the true quotient Q < 256. Adding 2^-32 (and rounding
// once more, by at most 2^-46) puts the value strictly between Q and Q + 2^-31, while the next
// integer above floor(Q) is at least 1/(Sx*Sy) > 2^-27 away from Q. Truncation thus gives floor(Q)
// exactly; a quotient that is an exact integer is never rounded down to the one below.
inline double AverageInverse(int Sx, int Sy) { return (1.0 / Sx) * (1.0 / Sy); }
inline constexpr double kAverageBias = 0x1p-32;
inline int ExactAverage(std::int64_t sum, double inverse) {
  return static_cast<int>(static_cast<double>(sum) * inverse + kAverageBias);
}

}  // namespace phototrim
