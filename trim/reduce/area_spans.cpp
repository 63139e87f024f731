// Spans and weights of the area average along one axis.
#include "trim/reduce/area_spans.h"

namespace phototrim {

Span SpanOf(int i, int n, int N) {
  // (i*100 + 100) * N reaches about 3.8e9 at 6200 pixels: 64-bit.
  const std::int64_t s = static_cast<std::int64_t>(i) * N * 100 / n;
  const std::int64_t e = (static_cast<std::int64_t>(i) * 100 + 100) * N / n - 1;
  Span span;
  span.first = static_cast<int>(s / 100);
  const int last = static_cast<int>(e / 100);
  span.count = last - span.first + 1;
  if (span.count == 1) {
    span.firstWeight = 1;
    span.lastWeight = 1;
    span.total = 1;
    return span;
  }
  span.firstWeight = static_cast<int>(100 - s % 100);
  span.lastWeight = static_cast<int>(e % 100);
  span.total = span.firstWeight + 100 * (span.count - 2) + span.lastWeight;
  return span;
}

}  // namespace phototrim
