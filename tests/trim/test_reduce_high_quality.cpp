// ReduceHighQuality: admission, bit-for-bit agreement with the literal version, the sharpening rule,
// aborts, and the exact arithmetic shortcuts it relies on.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "support/feed_rows.h"
#include "support/picture_files.h"
#include "trim/reduce/area_spans.h"
#include "trim/run/event_pump.h"
#include "trim/reduce/reduce_high_quality.h"
#include "support/whole_picture_steps.h"
#include "trim/reduce/reduction_kernels.h"
#include "trim/reference_reduction.h"
#include "trim/load_result.h"
#include "trim/reduce/sharpen.h"

namespace phototrim {
namespace {

using testing::FillRandom;
using testing::ReferenceReduceHighQuality;

// The whole-picture reduction stopped by a host's event pump, on the fastest kernels.
StepResult ReduceHighQuality(Bitmap& image, int w, int h, ReductionPlanes& planes, std::string& errorText, EventPump& pump) {
  return ReduceHighQualityWith(image, w, h, planes, errorText, [&pump] { return pump.ShouldStop(); }, BestKernelSet());
}

std::vector<std::uint8_t> Bytes(const Bitmap& b) {
  const std::uint8_t* first = b.Height() > 0 ? b.Row(0) : nullptr;
  return {first, first + b.Stride() * static_cast<std::size_t>(b.Height())};
}

void Fill(Bitmap& b, int width, int height, std::uint8_t blue, std::uint8_t green, std::uint8_t red) {
  b.Reset(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      b.Row(y)[3 * x + 0] = blue;
      b.Row(y)[3 * x + 1] = green;
      b.Row(y)[3 * x + 2] = red;
    }
}

// A hex grid of the first differing pixels, for a readable failure.
std::string Difference(const Bitmap& got, const Bitmap& want) {
  std::string text;
  int shown = 0;
  for (int y = 0; y < want.Height() && shown < 8; ++y)
    for (int x = 0; x < want.Width() && shown < 8; ++x)
      if (std::memcmp(got.Row(y) + 3 * x, want.Row(y) + 3 * x, 3) != 0) {
        char line[96];
        const std::uint8_t* g = got.Row(y) + 3 * x;
        const std::uint8_t* r = want.Row(y) + 3 * x;
        std::snprintf(line, sizeof line, "(%d,%d) got %02x%02x%02x want %02x%02x%02x\n", x, y, g[2], g[1], g[0], r[2], r[1], r[0]);
        text += line;
        ++shown;
      }
  return text;
}

StepResult Reduce(Bitmap& image, int w, int h, std::string& errorText, KernelSet set = BestKernelSet()) {
  ReductionPlanes planes;
  return ReduceHighQualityWith(image, w, h, planes, errorText, [] { return false; }, set);
}

std::vector<KernelSet> SupportedSets() {
  std::vector<KernelSet> sets;
  for (KernelSet set : {KernelSet::Plain, KernelSet::Sse4, KernelSet::Avx2, KernelSet::Avx512, KernelSet::Neon, KernelSet::Sve})
    if (KernelSetSupported(set)) sets.push_back(set);
  return sets;
}

// Reduces one random picture with every kernel set and with the literal version; all must agree.
void ExpectSameAsReference(int W, int H, int w, int h, std::uint32_t seed) {
  SCOPED_TRACE(::testing::Message() << W << "x" << H << " -> " << w << "x" << h << " seed " << seed);
  Bitmap want;
  FillRandom(want, W, H, seed);
  std::string wantText;
  const StepResult wantResult = ReferenceReduceHighQuality(want, w, h, wantText);
  for (KernelSet set : SupportedSets()) {
    SCOPED_TRACE(::testing::Message() << "kernel set " << KernelSetName(set));
    Bitmap got;
    FillRandom(got, W, H, seed);
    std::string gotText = "stale";
    ASSERT_EQ(Reduce(got, w, h, gotText, set), wantResult);
    EXPECT_EQ(gotText, wantText);
    ASSERT_EQ(got.Width(), want.Width());
    ASSERT_EQ(got.Height(), want.Height());
    ASSERT_TRUE(Bytes(got) == Bytes(want)) << Difference(got, want);
  }
}

TEST(ReduceHighQualityTest, RefusesWithTheExactReasonAndLeavesThePictureAlone) {
  struct Case {
    int W, H, w, h;
    std::string reason;
  };
  const Case cases[] = {
      {1000, 1000, 104, 100, "比率が違うので高画質圧縮を中断しました。(幅 104  高さ100)"},
      {1000, 1000, 100, 105, "比率が違うので高画質圧縮を中断しました。(幅 100  高さ105)"},
      {640, 480, 640, 480, "画像サイズが同じなので高画質圧縮を中断しました。(幅 640  高さ480)"},
      {6201, 100, 3100, 50,
       "元画像が大きすぎるので高画質圧縮を中断しました。(幅 6201  高さ100)\n最大サイズは幅　6200px　高さ6200pxです。"},
      {100, 6201, 50, 3100,
       "元画像が大きすぎるので高画質圧縮を中断しました。(幅 100  高さ6201)\n最大サイズは幅　6200px　高さ6200pxです。"},
      {6200, 100, 6201, 100,
       "縮小後画像が大きすぎるので高画質圧縮を中断しました。(幅 6201  高さ100)\n最大サイズは幅　6200px　高さ6200pxです。"},
      {1001, 500, 10, 5, "縮小率が大きすぎるので高画質圧縮を中断しました。最大1/100です。"},
      {500, 1001, 5, 10, "縮小率が大きすぎるので高画質圧縮を中断しました。最大1/100です。"},
      {1000, 1000, 1000, 990, "拡大なので高画質圧縮を中断しました。"},
      {100, 80, 200, 160, "拡大なので高画質圧縮を中断しました。"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.W << "x" << c.H << " -> " << c.w << "x" << c.h);
    Bitmap image;
    FillRandom(image, c.W, c.H, 7);
    const auto before = Bytes(image);
    ReductionPlanes planes;
    std::string reason = "left from before";
    bool flag = false;
    EventPump pump(nullptr, flag);
    EXPECT_EQ(ReduceHighQuality(image, c.w, c.h, planes, reason, pump), StepResult::Refused);
    EXPECT_EQ(reason, c.reason);
    EXPECT_EQ(image.Width(), c.W);
    EXPECT_EQ(image.Height(), c.H);
    EXPECT_TRUE(Bytes(image) == before);
    EXPECT_EQ(planes.Bytes(), 0u);  // a refusal touches no work memory
  }
}

TEST(ReduceHighQualityTest, AcceptsTheLimitsThemselves) {
  // Aspect difference of 3, a 6200-wide source, exactly 1/100.
  const int cases[][4] = {{1000, 1000, 103, 100}, {6200, 100, 3100, 50}, {1000, 500, 10, 5}, {500, 1000, 5, 10}};
  for (const auto& c : cases) {
    Bitmap image;
    FillRandom(image, c[0], c[1], 3);
    std::string reason = "left from before";
    EXPECT_EQ(Reduce(image, c[2], c[3], reason), StepResult::Ok) << c[0] << "x" << c[1];
    EXPECT_EQ(reason, "");
    EXPECT_EQ(image.Width(), c[2]);
    EXPECT_EQ(image.Height(), c[3]);
  }
}

TEST(ReduceHighQualityTest, SpansWeighHundredthsWithTheLastOneLess) {
  // 300 -> 100: columns 0,1,2 weigh 100,100,99; then 3,4,5 the same.
  Span s = SpanOf(0, 100, 300);
  EXPECT_EQ(s.first, 0);
  EXPECT_EQ(s.count, 3);
  EXPECT_EQ(WeightAt(s, 0), 100);
  EXPECT_EQ(WeightAt(s, 1), 100);
  EXPECT_EQ(WeightAt(s, 2), 99);
  EXPECT_EQ(SpanOf(1, 100, 300).first, 3);
  // 250 -> 100: 0,1,2 weigh 100,100,49; then 2,3,4 weigh 50,100,99.
  s = SpanOf(0, 100, 250);
  EXPECT_EQ(s.count, 3);
  EXPECT_EQ(WeightAt(s, 2), 49);
  s = SpanOf(1, 100, 250);
  EXPECT_EQ(s.first, 2);
  EXPECT_EQ(s.count, 3);
  EXPECT_EQ(WeightAt(s, 0), 50);
  EXPECT_EQ(WeightAt(s, 1), 100);
  EXPECT_EQ(WeightAt(s, 2), 99);
  // A span reaching one hundredth into its last pixel gives it weight 0 (101 -> 100, column 1).
  s = SpanOf(1, 100, 101);
  EXPECT_EQ(s.first, 1);
  EXPECT_EQ(s.count, 2);
  EXPECT_EQ(WeightAt(s, 1), 1);
  s = SpanOf(99, 100, 101);
  EXPECT_EQ(s.first + s.count - 1, 100);  // never past the last source pixel
}

TEST(ReduceHighQualityTest, MatchesTheLiteralVersionOnAwkwardSizes) {
  const int cases[][4] = {
      {300, 200, 3, 2},     // exactly 1/100 on both axes: sums beyond 31 bits
      {1000, 1000, 10, 10}, // the same with large spans
      {50, 50, 1, 1},       // a single pixel: no sharpening at all
      {37, 37, 2, 2},       // no inner pixels
      {101, 77, 100, 76},   // spans of 101 hundredths, many of weight 0 at the end
      {1001, 1001, 1000, 1000},  // spans inside one pixel
      {997, 601, 331, 199},      // primes
      {300, 300, 100, 100},
      {250, 250, 100, 100},
      {5710, 40, 2000, 14},      // the L print ratio of a 24 MP photo, a thin slice of it
      {6200, 100, 3100, 50},     // the widest source
      {23, 1000, 2, 97},
      {129, 17, 64, 8},          // band boundaries and a partial last band
      {10, 7, 4, 3},             // rows of 30 bytes: too short for 32-byte lane windows
      {11, 8, 4, 3},             // 33 bytes: lane windows, but none 16 bytes after the other
      {16, 12, 15, 11},          // 48 bytes and spans near one pixel
      {3001, 30, 1000, 10},      // exactly 4 taps a column at most, the lane gathers' limit
  };
  std::uint32_t seed = 11;
  for (const auto& c : cases) ExpectSameAsReference(c[0], c[1], c[2], c[3], seed++);
}

TEST(ReduceHighQualityTest, MatchesTheLiteralVersionOnARandomGrid) {
  std::mt19937 random(20240611);
  int compared = 0;
  while (compared < 60) {
    const int W = std::uniform_int_distribution<int>(2, 260)(random);
    const int H = std::uniform_int_distribution<int>(2, 260)(random);
    const int w = std::uniform_int_distribution<int>(1, W - 1)(random);
    // A height of about the same ratio, sometimes off by a little, so that some are refused.
    const int h = std::max(1, static_cast<int>(static_cast<long long>(w) * H / W) +
                                  std::uniform_int_distribution<int>(-1, 1)(random));
    ExpectSameAsReference(W, H, w, h, static_cast<std::uint32_t>(random()));
    ++compared;
  }
}

TEST(ReduceHighQualityTest, FedRowByRowInAnyOrientationIsTheWholePictureReduction) {
  // Rows come as a decoder gives them, stored as the file holds them, with decoded margins or
  // without, one or several at a time; the yardstick is the reduction of the upright picture.
  // Upright sizes: ordinary ratios, band boundaries, 1/50 (bands of fewer rows), exactly 1/100
  // (sums beyond 31 bits) and no inner pixels.
  // Also the L print ratio and spans near one pixel, which the rows-first kernels take, with every
  // kernel set.
  const int cases[][4] = {{301, 203, 100, 67}, {123, 37, 60, 18}, {203, 301, 67, 100}, {1000, 600, 20, 12},
                          {300, 200, 3, 2},    {37, 37, 2, 2},    {143, 97, 50, 34},   {41, 29, 40, 28}};
  for (const auto& c : cases) {
    for (int orientation = 1; orientation <= 8; ++orientation) {
      SCOPED_TRACE(::testing::Message() << c[0] << "x" << c[1] << " -> " << c[2] << "x" << c[3] << " orientation " << orientation);
      const bool turned = AxesOf(orientation).turned;
      Bitmap stored, want;
      FillRandom(stored, turned ? c[1] : c[0], turned ? c[0] : c[1], static_cast<std::uint32_t>(c[0] + orientation));
      testing::UprightCopy(stored, orientation, want);
      std::string reason;
      ASSERT_EQ(Reduce(want, c[2], c[3], reason), StepResult::Ok);
      for (KernelSet set : SupportedSets())
        for (const auto& [margin, batch] : {std::pair{0, 16}, std::pair{7, 3}}) {
          SCOPED_TRACE(::testing::Message() << "kernel set " << KernelSetName(set));
          ReductionPlanes planes;
          Bitmap got, scratch;
          HighQualityRows sink(planes, got, scratch, [] { return false; }, set);
          ASSERT_EQ(sink.Begin(testing::KeptRowsWithMargin(stored, margin, orientation), c[2], c[3]), LoadResult::Ok);
          ASSERT_EQ(testing::FeedRows(sink, stored, margin, batch), LoadResult::Ok);
          ASSERT_TRUE(got.Width() == c[2] && got.Height() == c[3] && Bytes(got) == Bytes(want)) << Difference(got, want);
        }
    }
  }
}

TEST(ReduceHighQualityTest, WithoutTheSizeLimitLargerPicturesFollowTheSameRule) {
  std::string reason;
  EXPECT_TRUE(HighQualityRefused(6300, 120, 3150, 60, true, reason));
  EXPECT_FALSE(HighQualityRefused(6300, 120, 3150, 60, false, reason));
  EXPECT_TRUE(HighQualityRefused(6300, 120, 6300, 121, false, reason));  // the other checks stay
  Bitmap stored, want;
  FillRandom(stored, 6300, 120, 4);
  FillRandom(want, 6300, 120, 4);
  ASSERT_EQ(ReferenceReduceHighQuality(want, 3150, 60, reason, false), StepResult::Ok);
  ReductionPlanes planes;
  Bitmap got, scratch;
  HighQualityRows sink(planes, got, scratch, [] { return false; });
  ASSERT_EQ(sink.Begin(testing::KeptRowsWithMargin(stored, 0, 1), 3150, 60), LoadResult::Ok);
  ASSERT_EQ(testing::FeedRows(sink, stored, 0, 16), LoadResult::Ok);
  EXPECT_TRUE(Bytes(got) == Bytes(want)) << Difference(got, want);
}

TEST(ReduceHighQualityTest, UniformColourStays) {
  Bitmap image;
  Fill(image, 93, 60, 40, 200, 120);
  std::string reason;
  ASSERT_EQ(Reduce(image, 31, 20, reason), StepResult::Ok);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 31; ++x) {
      ASSERT_EQ(image.Row(y)[3 * x + 0], 40);
      ASSERT_EQ(image.Row(y)[3 * x + 1], 200);
      ASSERT_EQ(image.Row(y)[3 * x + 2], 120);
    }
}

TEST(ReduceHighQualityTest, ColourOfZeroLuminanceTurnsBlackInside) {
  // Red 2, green 1, blue 0: 28*2 + 77*1 = 133 < 255, so L0 = 0.
  Bitmap image;
  Fill(image, 40, 40, 0, 1, 2);
  std::string reason;
  ASSERT_EQ(Reduce(image, 10, 10, reason), StepResult::Ok);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x) {
      const bool border = x == 0 || y == 0 || x == 9 || y == 9;
      const std::uint8_t* p = image.Row(y) + 3 * x;
      EXPECT_EQ(p[0], 0);
      EXPECT_EQ(p[1], border ? 1 : 0) << x << "," << y;
      EXPECT_EQ(p[2], border ? 2 : 0) << x << "," << y;
    }
}

TEST(ReduceHighQualityTest, BrighterPixelGetsBrighter) {
  // 2x2 blocks reduce to exactly their value (weights 100 and 99 on each axis). Grey 100 has
  // L = 100, grey 120 has L0 = 120: Lnew = 120 - (100 - 120)/2 = 130, each channel 120*130/120.
  Bitmap image;
  Fill(image, 10, 10, 100, 100, 100);
  for (int y = 4; y < 6; ++y) std::memset(image.Row(y) + 3 * 4, 120, 6);
  std::string reason;
  ASSERT_EQ(Reduce(image, 5, 5, reason), StepResult::Ok);
  const std::uint8_t* centre = image.Row(2) + 3 * 2;
  EXPECT_EQ(centre[0], 130);
  EXPECT_EQ(centre[1], 130);
  EXPECT_EQ(centre[2], 130);
  // The pixel above sees it with weight 2: Lb = (10*100 + 2*120)/12 = 103, so it darkens to
  // 100 - (103 - 100)/2 = 99; a diagonal one (weight 1) gets Lb = 101 and keeps 100.
  EXPECT_EQ(image.Row(1)[3 * 2], 99);
  EXPECT_EQ(image.Row(1)[3 * 1], 100);
}

TEST(ReduceHighQualityTest, AbortStopsAtOnceWithNoReason) {
  Bitmap image;
  FillRandom(image, 300, 240, 5);
  // Through the host's pump: the flag is read at the first test.
  {
    ReductionPlanes planes;
    bool abort = true;
    EventPump pump(nullptr, abort);
    std::string reason = "left from before";
    EXPECT_EQ(ReduceHighQuality(image, 100, 80, planes, reason, pump), StepResult::Aborted);
    EXPECT_EQ(reason, "");
  }
  // Count the stop tests of a whole reduction, then stop at the first, a middle and the last one:
  // the first comes before anything is averaged, the last before the last row is sharpened.
  int tests = 0;
  {
    Bitmap whole;
    FillRandom(whole, 300, 240, 5);
    ReductionPlanes planes;
    std::string reason;
    ASSERT_EQ(ReduceHighQualityWith(whole, 100, 80, planes, reason, [&] { return ++tests < 0; }, BestKernelSet()),
              StepResult::Ok);
  }
  ASSERT_GE(tests, 80 + 80 / kBandRows);  // once per band averaged and once per row sharpened
  for (int stopAt : {1, tests / 2, tests}) {
    Bitmap part;
    FillRandom(part, 300, 240, 5);
    ReductionPlanes planes;
    std::string reason;
    int asked = 0;
    EXPECT_EQ(ReduceHighQualityWith(part, 100, 80, planes, reason, [&] { return ++asked == stopAt; }, BestKernelSet()),
              StepResult::Aborted);
    EXPECT_EQ(asked, stopAt);  // nothing more is asked, nothing more computed
    EXPECT_EQ(reason, "");
  }
}

TEST(ReduceHighQualityTest, HostAbortThroughThePumpStopsInEitherPass) {
  // A pump without a time slice runs at every stop test; the host's abort comes from inside it.
  // 200 x 160 -> 100 x 80: 10 bands averaged and 80 rows sharpened, 90 pumps in all. Pumps 1, 9
  // and 81 come before a band is averaged (band 0: pump 1, then rows 0-6 are sharpened at pumps
  // 2-8; each later band pumps once and then for its 8 rows, the last band for 9); 2 and 90
  // before a row is sharpened.
  for (int abortAt : {1, 9, 81, 2, 90}) {
    Bitmap image;
    FillRandom(image, 200, 160, 8);
    ReductionPlanes planes;
    bool abortRequested = false;
    int pumps = 0;
    EventPump pump([&] { abortRequested = ++pumps == abortAt; }, abortRequested, EventPump::Clock::duration{});
    std::string reason = "left from before";
    EXPECT_EQ(ReduceHighQuality(image, 100, 80, planes, reason, pump), StepResult::Aborted) << abortAt;
    EXPECT_EQ(pumps, abortAt);
    EXPECT_EQ(reason, "");
  }
}

TEST(ReduceHighQualityTest, WorkMemoryStaysSmallAndIsKept) {
  ReductionPlanes planes;
  EXPECT_EQ(planes.Bytes(), 0u);
  Bitmap image;
  FillRandom(image, 1200, 800, 9);
  std::string reason;
  bool flag = false;
  EventPump pump(nullptr, flag);
  ASSERT_EQ(ReduceHighQuality(image, 600, 400, planes, reason, pump), StepResult::Ok);
  const std::size_t held = planes.Bytes();
  EXPECT_GT(held, 0u);
  EXPECT_LT(held, 600u * 400u);  // well under one target picture; no source copy
  FillRandom(image, 1200, 800, 9);
  ASSERT_EQ(ReduceHighQuality(image, 300, 200, planes, reason, pump), StepResult::Ok);
  EXPECT_EQ(planes.Bytes(), held);  // a smaller job reuses what is there
}

TEST(ReductionKernelsTest, VectorSharpeningMatchesThePlainOneOnEveryWidthAndExtreme) {
  std::mt19937 random(5);
  // Random values, and values only at the ends of the range (largest kernel sums, L0 = 256,
  // L0 = 0, strongly negative Lnew).
  const std::vector<std::uint16_t> extremes = {0, 1, 2, 253, 254, 255};
  for (int w : {1, 2, 3, 9, 10, 17, 18, 19, 33, 34, 35, 100, 2000}) {
    for (int kind = 0; kind < 2; ++kind) {
      std::vector<std::uint16_t> planes(static_cast<std::size_t>(9 * w));
      for (auto& v : planes)
        v = kind == 0 ? static_cast<std::uint16_t>(random() & 0xFF) : extremes[random() % extremes.size()];
      const auto rows = [&](int first) {
        return std::vector<const std::uint16_t*>{&planes[static_cast<std::size_t>(first * w)],
                                                 &planes[static_cast<std::size_t>((first + 1) * w)],
                                                 &planes[static_cast<std::size_t>((first + 2) * w)]};
      };
      const auto above = rows(0), row = rows(3), below = rows(6);
      std::vector<std::uint8_t> want(static_cast<std::size_t>(3 * w));
      SharpenRowPlain(above.data(), row.data(), below.data(), w, want.data());
      for (KernelSet set : SupportedSets()) {
        std::vector<std::uint8_t> got(static_cast<std::size_t>(3 * w));
        KernelsOf(set).sharpen(above.data(), row.data(), below.data(), w, got.data());
        ASSERT_TRUE(got == want) << "width " << w << " kind " << kind << " set " << KernelSetName(set);
      }
    }
  }
}

// Rows above and below of one grey each, at every level, around a row of many colours: the
// surround's luminance from black to white against every centre, so the scale of a channel runs
// from black (the surround twice as bright) to one and a half times the pixel, just below, at and
// just above the pixel's own luminance.
TEST(ReductionKernelsTest, VectorSharpeningMatchesThePlainOneForEverySurround) {
  constexpr int w = 1024;
  std::vector<std::uint16_t> centre(static_cast<std::size_t>(3 * w)), grey(static_cast<std::size_t>(w));
  for (int x = 0; x < w; ++x)
    for (int c = 0; c < 3; ++c) centre[static_cast<std::size_t>(c * w + x)] = static_cast<std::uint16_t>((x * (1 + 6 * c)) & 0xFF);
  const std::vector<const std::uint16_t*> row = {&centre[0], &centre[w], &centre[2 * w]};
  const std::vector<const std::uint16_t*> around = {grey.data(), grey.data(), grey.data()};
  for (int level = 0; level < 256; ++level) {
    std::fill(grey.begin(), grey.end(), static_cast<std::uint16_t>(level));
    std::vector<std::uint8_t> want(static_cast<std::size_t>(3 * w));
    SharpenRowPlain(around.data(), row.data(), around.data(), w, want.data());
    for (KernelSet set : SupportedSets()) {
      std::vector<std::uint8_t> got(static_cast<std::size_t>(3 * w));
      KernelsOf(set).sharpen(around.data(), row.data(), around.data(), w, got.data());
      ASSERT_TRUE(got == want) << "level " << level << " set " << KernelSetName(set);
    }
  }
}

// The band passes of every set against the plain ones: lanes of one to nine pairs of rows (and
// empty lanes), any number of taps, widths that end inside a vector, random and extreme bytes.
TEST(ReductionKernelsTest, EveryVectorSetSumsAndAveragesBandsAsThePlainKernels) {
#if defined(__x86_64__)
  __builtin_cpu_init();  // the sets this processor has must all be found
  EXPECT_EQ(KernelSetSupported(KernelSet::Sse4), __builtin_cpu_supports("sse4.2") != 0);
  EXPECT_EQ(KernelSetSupported(KernelSet::Avx2), __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma"));
  if (__builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512vl")) {
    EXPECT_TRUE(KernelSetSupported(KernelSet::Avx512));
  }
#endif
  std::mt19937 random(22);
  const auto below = [&random](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  for (int pairs : {1, 2, 3, 4, 9})
    for (int taps : {1, 2, 4, 5, 7})
      for (int width : {1, 37, 300})
        for (bool extremes : {false, true}) {
          SCOPED_TRACE(::testing::Message() << pairs << " pairs, " << taps << " taps, width " << width);
          const std::size_t positions = static_cast<std::size_t>(width + taps) * 3;
          std::vector<std::vector<std::uint8_t>> source(static_cast<std::size_t>(2 * pairs), std::vector<std::uint8_t>(positions));
          for (auto& row : source)
            for (auto& v : row) v = static_cast<std::uint8_t>(extremes ? (below(2) != 0 ? 255 : 0) : below(256));
          BandRow band[kBandRows];
          double rowInverse[kBandRows];
          for (int r = 0; r < kBandRows; ++r) {
            band[r].count = r == kBandRows - 1 ? 0 : 2 * (1 + below(pairs));
            int total = 0;
            for (int t = 0; t < band[r].count; t += 2) {
              band[r].rows[t] = source[static_cast<std::size_t>(below(2 * pairs))].data();
              band[r].rows[t + 1] = source[static_cast<std::size_t>(below(2 * pairs))].data();
              const int w0 = extremes ? 100 : below(101), w1 = extremes ? 100 : below(101);
              band[r].pairs[t / 2] = w0 | (w1 << 16);
              total += w0 + w1;
            }
            rowInverse[r] = 1.0 / std::max(total, 1);
          }
          std::vector<int> start(static_cast<std::size_t>(width));
          std::vector<std::int32_t> weights(static_cast<std::size_t>(width * taps));
          std::vector<double> inverse(static_cast<std::size_t>(width));
          for (int x = 0; x < width; ++x) {
            start[static_cast<std::size_t>(x)] = below(width + 1);
            int total = 0;
            for (int k = 0; k < taps; ++k) total += weights[static_cast<std::size_t>(x * taps + k)] = 1 + below(100);
            inverse[static_cast<std::size_t>(x)] = 1.0 / total;
          }
          const ColumnTaps columns{width, taps, start.data(), weights.data(), inverse.data()};
          const int rows = 1 + below(kBandRows);
          const auto run = [&](const ReductionKernels& kernels, std::vector<std::int32_t>& sums,
                               std::vector<std::uint16_t>& reduced) {
            sums.assign(positions * kBandRows, -1);
            kernels.vertical(band, 0, positions, sums.data());
            reduced.assign(static_cast<std::size_t>(3 * kBandRows * width), 0xFFFF);
            std::uint16_t* out[3 * kBandRows];
            for (int i = 0; i < 3 * kBandRows; ++i) out[i] = reduced.data() + static_cast<std::size_t>(i * width);
            kernels.horizontal(sums.data(), columns, rowInverse, rows, out);
          };
          std::vector<std::int32_t> wantSums, gotSums;
          std::vector<std::uint16_t> wantReduced, gotReduced;
          run(KernelsOf(KernelSet::Plain), wantSums, wantReduced);
          for (KernelSet set : SupportedSets()) {
            run(KernelsOf(set), gotSums, gotReduced);
            ASSERT_TRUE(gotSums == wantSums) << KernelSetName(set);
            ASSERT_TRUE(gotReduced == wantReduced) << KernelSetName(set);
          }
        }
}

// PHOTOTRIM_SIMD lowers the set, never raises it past what the processor has.
TEST(ReductionKernelsTest, AForcedSetIsTheFastestSupportedOneAtOrBelowIt) {
  const KernelSet fastest = FastestKernelSetAtOrBelow(nullptr);
  EXPECT_EQ(FastestKernelSetAtOrBelow(""), fastest);
  EXPECT_EQ(FastestKernelSetAtOrBelow("avx1024"), fastest);
  EXPECT_EQ(FastestKernelSetAtOrBelow("scalar"), KernelSet::Plain);
#if defined(__x86_64__) || defined(__i386__)
  for (KernelSet named : {KernelSet::Sse4, KernelSet::Avx2, KernelSet::Avx512}) {
    const KernelSet got = FastestKernelSetAtOrBelow(KernelSetName(named));
    EXPECT_TRUE(KernelSetSupported(got)) << KernelSetName(named);
    EXPECT_EQ(got, KernelSetSupported(named) ? named : FastestKernelSetAtOrBelow(KernelSetName(
                                                           static_cast<KernelSet>(static_cast<int>(named) - 1))));
  }
#endif
}

// The 512-bit kernels' own shortcuts for the two exact quotients, fed the cases the plain
// arithmetic is checked on; skipped where the processor lacks them.
#if defined(__x86_64__) || defined(__i386__)
struct VectorAverages {
  std::vector<std::int32_t> sums, totals, want;
  std::vector<float> inverses;
  void Add(std::int64_t sum, int Sx, int Sy) {
    sums.push_back(static_cast<std::int32_t>(sum));
    totals.push_back(Sx * Sy);
    inverses.push_back((1.0f / static_cast<float>(Sx)) * (1.0f / static_cast<float>(Sy)));
    want.push_back(static_cast<std::int32_t>(sum / (std::int64_t{Sx} * Sy)));
  }
  void Check() {
    if (!RowsFirstRuns()) return;
    while (sums.size() % 16 != 0) Add(0, 1, 1);
    std::vector<std::int32_t> got(sums.size());
    ExactAveragesAvx512(sums.data(), totals.data(), inverses.data(), static_cast<int>(sums.size()), got.data());
    for (std::size_t i = 0; i < got.size(); ++i) ASSERT_EQ(got[i], want[i]) << sums[i] << " / " << totals[i];
  }
};
struct VectorChannels {
  std::vector<std::uint16_t> c0, L0;
  std::vector<std::int16_t> Lnew;
  std::vector<std::uint8_t> want;
  void Add(int c, int l0, int lnew, int w) {
    c0.push_back(static_cast<std::uint16_t>(c));
    L0.push_back(static_cast<std::uint16_t>(l0));
    Lnew.push_back(static_cast<std::int16_t>(lnew));
    want.push_back(static_cast<std::uint8_t>(w));
  }
  void Check() {
    if (!RowsFirstRuns()) return;
    while (c0.size() % 32 != 0) Add(0, 0, 0, 0);
    std::vector<std::uint8_t> got(c0.size());
    ScaledChannelsAvx512(c0.data(), L0.data(), Lnew.data(), static_cast<int>(c0.size()), got.data());
    for (std::size_t i = 0; i < got.size(); ++i)
      ASSERT_EQ(got[i], want[i]) << "C0 " << c0[i] << " L0 " << L0[i] << " Lnew " << Lnew[i];
  }
};
#else
struct VectorAverages {
  void Add(std::int64_t, int, int) {}
  void Check() {}
};
struct VectorChannels {
  void Add(int, int, int, int) {}
  void Check() {}
};
#endif

TEST(ExactArithmeticTest, AverageQuotientIsExactNearEveryInteger) {
  // The worst cases are sums at and just around multiples of S; check them for spans of every
  // shape up to 1/100 on both axes (S up to 10100 * 10100).
  const int totals[] = {1, 99, 100, 101, 199, 200, 201, 249, 285, 286, 299, 386, 9999, 10000, 10099, 10100};
  VectorAverages vector;
  for (int Sx : totals)
    for (int Sy : totals) {
      const std::int64_t S = std::int64_t{Sx} * Sy;
      const double inverse = AverageInverse(Sx, Sy);
      for (std::int64_t q = 0; q < 256; ++q)
        for (std::int64_t sum : {q * S - 1, q * S, q * S + 1, q * S + S / 2, q * S + S - 1}) {
          if (sum < 0) continue;
          ASSERT_EQ(ExactAverage(sum, inverse), sum / S) << sum << " / " << Sx << "*" << Sy;
          if (255 * S < (std::int64_t{1} << 31) && sum < (std::int64_t{1} << 31)) vector.Add(sum, Sx, Sy);
        }
    }
  vector.Check();
}

TEST(ExactArithmeticTest, ChannelScalingIsExactForEveryPixelAndSurround) {
  VectorChannels vector;
  for (int L0 = 0; L0 < 256; ++L0)
    for (int Lb = 0; Lb < 256; ++Lb) {
      const int Lnew = SharpenedLuminance(L0, Lb);
      const float ratio = LuminanceRatio(Lnew, L0);
      for (int C0 = 0; C0 < 256; ++C0) {
        int want = 0;
        if (L0 != 0) {
          want = C0 * Lnew / L0;
          want = want < 0 ? 0 : (want > 255 ? 255 : want);
        }
        ASSERT_EQ(ScaledChannel(C0, ratio), want) << "C0 " << C0 << " L0 " << L0 << " Lb " << Lb;
        vector.Add(C0, L0, Lnew, want);
      }
    }
  vector.Check();
}

}  // namespace
}  // namespace phototrim
