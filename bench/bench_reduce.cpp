// The reductions of a 24-megapixel photo, timed next to the float-IDCT decode of the same picture.
//
// Run: phototrim_bench_reduce --benchmark_repetitions=5 --benchmark_enable_random_interleaving=true
//        --benchmark_report_aggregates_only=true
// (interleaved repetitions keep the shares steady on a shared machine). After the table it prints
// each reduction's median processor time as a share of the decode's (the design asks under 10 %
// for the high-quality reduction of a 6000 x 4000 photo to the L print size): once for the
// reduction of a decoded picture in memory, and once for the reduction fed by the decode of the
// L crop, as a run makes it (the decode with the reduction, less the decode alone). Processor
// time, not wall time: on a machine shared with other work, waiting is not the program's.
// kernels: 0 portable, 1 SSE4, 2 AVX2, 3 AVX-512; a set the processor lacks is reported as an
// error and left out.
#include <benchmark/benchmark.h>

#include <jpeglib.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <algorithm>
#include <ctime>
#include <map>
#include <string>
#include <vector>

#include "trim/bitmap.h"
#include "trim/codec/jpeg_decoder.h"
#include "trim/codec/row_sink.h"
#include "trim/geometry/crop.h"
#include "trim/run/event_pump.h"
#include "trim/reduce/reduce_high_quality.h"
#include "support/feed_rows.h"
#include "support/whole_picture_steps.h"
#include "trim/reduce/reduce_plain.h"
#include "trim/reduce/reduction_planes.h"

namespace {

using namespace phototrim;

constexpr int kWidth = 6000;
constexpr int kHeight = 4000;

// Smooth value noise in [0, 1] on a grid of `cell` pixels.
double Noise(int x, int y, int cell, std::uint32_t seed) {
  const auto corner = [seed](int cx, int cy) {
    std::uint32_t h = static_cast<std::uint32_t>(cx) * 374761393u + static_cast<std::uint32_t>(cy) * 668265263u + seed * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return ((h ^ (h >> 16)) & 0xFFFF) / 65535.0;
  };
  const int cx = x / cell, cy = y / cell;
  double fx = static_cast<double>(x % cell) / cell, fy = static_cast<double>(y % cell) / cell;
  fx = fx * fx * (3 - 2 * fx);
  fy = fy * fy * (3 - 2 * fy);
  const double top = corner(cx, cy) + (corner(cx + 1, cy) - corner(cx, cy)) * fx;
  const double bottom = corner(cx, cy + 1) + (corner(cx + 1, cy + 1) - corner(cx, cy + 1)) * fx;
  return top + (bottom - top) * fy;
}

// A photo-like picture: detail at every scale from 512 pixels down to 2 (amplitudes falling by
// 0.8 an octave), colour varying slowly, and a little grain. At quality 90 it compresses to about
// 2 bits a pixel, like a camera photo, so the decode does the work a real one does.
void FillPhotoLike(Bitmap& picture) {
  picture.Reset(kWidth, kHeight);
  for (int y = 0; y < kHeight; ++y) {
    std::uint8_t* row = picture.Row(y);
    for (int x = 0; x < kWidth; ++x) {
      double detail = 0, amplitude = 1, total = 0;
      for (int octave = 0, cell = 512; cell >= 2; ++octave, cell /= 2) {
        detail += amplitude * Noise(x, y, cell, static_cast<std::uint32_t>(octave));
        total += amplitude;
        amplitude *= 0.8;
      }
      detail /= total;
      const double tint = Noise(x, y, 700, 99);
      const double grain = (Noise(x, y, 1, 7) - 0.5) * 0.06;
      const auto byte = [](double v) { return static_cast<std::uint8_t>(std::lround(255 * std::fmin(1.0, std::fmax(0.0, v)))); };
      row[3 * x + 0] = byte(0.5 * detail + 0.5 * (1 - tint) + grain);  // blue
      row[3 * x + 1] = byte(0.7 * detail + 0.3 * tint + grain);        // green
      row[3 * x + 2] = byte(0.9 * detail + 0.1 * tint + grain);        // red
    }
  }
}

std::vector<std::uint8_t> Encode(const Bitmap& picture) {
  jpeg_compress_struct cinfo{};
  jpeg_error_mgr errors{};
  cinfo.err = jpeg_std_error(&errors);
  jpeg_create_compress(&cinfo);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = static_cast<JDIMENSION>(picture.Width());
  cinfo.image_height = static_cast<JDIMENSION>(picture.Height());
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_EXT_BGR;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 90, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<std::uint8_t*>(picture.Row(static_cast<int>(cinfo.next_scanline)));
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  std::vector<std::uint8_t> file(buffer, buffer + size);
  std::free(buffer);
  return file;
}

// Full-size decode with the float inverse DCT into blue, green, red rows, as the tool loads.
void Decode(const std::vector<std::uint8_t>& file, Bitmap& picture) {
  jpeg_decompress_struct cinfo{};
  jpeg_error_mgr errors{};
  cinfo.err = jpeg_std_error(&errors);
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, file.data(), static_cast<unsigned long>(file.size()));
  jpeg_read_header(&cinfo, TRUE);
  cinfo.dct_method = JDCT_FLOAT;
  cinfo.out_color_space = JCS_EXT_BGR;
  jpeg_start_decompress(&cinfo);
  picture.Reset(static_cast<int>(cinfo.output_width), static_cast<int>(cinfo.output_height));
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = picture.Row(static_cast<int>(cinfo.output_scanline));
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
}

struct Photo {
  std::vector<std::uint8_t> file;
  Bitmap decoded;   // 6000 x 4000
  Bitmap croppedL;  // centred crop to the L print ratio, what the run reduces: 5710 x 4000
};

const Photo& ThePhoto() {
  static const Photo* photo = [] {
    auto* p = new Photo;
    Bitmap pattern;
    FillPhotoLike(pattern);
    p->file = Encode(pattern);
    Decode(p->file, p->decoded);
    Decode(p->file, p->croppedL);
    Bitmap scratch;
    const PixelSize crop = ComputeCropSize(kWidth, kHeight, TargetSize{2000, 1401});
    CropCentered(p->croppedL, scratch, crop.width, crop.height);
    return p;
  }();
  return *photo;
}

void CopyInto(const Bitmap& from, Bitmap& to) {
  // Row by row: a cut-out picture's rows keep the pitch of the picture it was cut from.
  to.Reset(from.Width(), from.Height());
  for (int y = 0; y < from.Height(); ++y) std::memcpy(to.Row(y), from.Row(y), static_cast<std::size_t>(from.Width()) * 3);
}

void BM_DecodeFloat(benchmark::State& state) {
  const Photo& photo = ThePhoto();
  Bitmap picture;
  for (auto _ : state) {
    Decode(photo.file, picture);
    benchmark::DoNotOptimize(picture.Row(0));
  }
  state.counters["jpeg_MB"] = static_cast<double>(photo.file.size()) / 1e6;
}
BENCHMARK(BM_DecodeFloat)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// Arguments: source (0: the L crop 5710 x 4000, 1: the whole 6000 x 4000), target w, h, kernel set.
void BM_ReduceHighQuality(benchmark::State& state) {
  const Photo& photo = ThePhoto();
  const Bitmap& source = state.range(0) == 0 ? photo.croppedL : photo.decoded;
  const auto set = static_cast<KernelSet>(state.range(3));
  if (!KernelSetSupported(set)) {
    state.SkipWithError("this processor lacks the kernel set");
    return;
  }
  Bitmap image;
  ReductionPlanes planes;
  std::string reason;
  bool abortRequested = false;
  EventPump pump([] {}, abortRequested);
  for (auto _ : state) {
    state.PauseTiming();
    CopyInto(source, image);
    state.ResumeTiming();
    const StepResult result = ReduceHighQualityWith(image, static_cast<int>(state.range(1)),
                                                    static_cast<int>(state.range(2)), planes, reason,
                                                    [&pump] { return pump.ShouldStop(); }, set);
    if (result != StepResult::Ok) state.SkipWithError(reason.c_str());
  }
}
BENCHMARK(BM_ReduceHighQuality)
    ->ArgNames({"source", "w", "h", "kernels"})
    ->Args({0, 2000, 1401, static_cast<int>(KernelSet::Avx512)})
    ->Args({0, 2000, 1401, static_cast<int>(KernelSet::Avx2)})
    ->Args({0, 2000, 1401, static_cast<int>(KernelSet::Sse4)})
    ->Args({0, 2000, 1401, static_cast<int>(KernelSet::Plain)})
    ->Args({1, 2000, 1334, static_cast<int>(KernelSet::Avx512)})
    ->Args({1, 2000, 1334, static_cast<int>(KernelSet::Avx2)})
    ->Args({1, 2000, 1334, static_cast<int>(KernelSet::Sse4)})
    ->Unit(benchmark::kMillisecond);

// The decode as a run makes it: only the L crop (5710 x 4000 of 6000 x 4000), row by row. The rows
// go to a sink that only offers a few rows of memory, or to the high-quality reduction; the
// difference of the two is what the reduction costs while its source rows are fresh in the cache.
class DiscardRows : public RowSink {
 public:
  void Begin(const KeptRows& kept) { rows_.Reset(kept.decodedWidth, JpegDecoder::kMaxRowsPerRead); }
  int NextRows(std::uint8_t** rows, int wanted) override {
    for (int i = 0; i < wanted; ++i) rows[i] = rows_.Row(i);
    return wanted;
  }
  LoadResult RowsFilled(int) override { return LoadResult::Ok; }
  LoadResult Finish() override { return LoadResult::Ok; }

 private:
  Bitmap rows_;
};

// The time of the clock the kernel maps into the process, in seconds: a reading costs tens of
// nanoseconds, where the thread's processor time costs a system call, and libjpeg hands over one or
// two rows a call. One call of a sink is far shorter than a time slice, so its time is the
// thread's own unless the thread is preempted inside it, which the medians leave out.
double ThreadSeconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

// Passes the rows on and adds up the processor time the sink behind it takes: the reduction's
// own time while the decode feeds it, measured directly rather than as a difference. The
// difference is taken from a run without the clock readings all the same.
class TimedSink : public RowSink {
 public:
  explicit TimedSink(RowSink& sink) : sink_(sink) {}
  int NextRows(std::uint8_t** rows, int wanted) override { return Timed([&] { return sink_.NextRows(rows, wanted); }); }
  LoadResult RowsFilled(int count) override { return Timed([&] { return sink_.RowsFilled(count); }); }
  LoadResult Finish() override { return Timed([&] { return sink_.Finish(); }); }
  double seconds = 0;

 private:
  template <typename F>
  auto Timed(F f) -> decltype(f()) {
    const double start = ThreadSeconds();
    const auto result = f();
    seconds += ThreadSeconds() - start;
    return result;
  }
  RowSink& sink_;
};

// reduce: 0 the decode alone, 1 feeding the high-quality reduction, 2 the same, timing the reduction.
double DecodeCropInto(const Photo& photo, int reduce, ReductionPlanes& planes, Bitmap& picture, Bitmap& scratch) {
  JpegDecoder decoder;
  decoder.OpenMemory(photo.file.data(), photo.file.size(), LoadLimits{});
  const PixelSize crop = ComputeCropSize(kWidth, kHeight, TargetSize{2000, 1401});
  const PixelRect kept = CentredRect(kWidth, kHeight, crop.width, crop.height);
  decoder.Start(kept);
  const KeptRows rows = KeptRowsOf(decoder, kept, OrientationAxes{});
  if (reduce == 1) {
    HighQualityRows sink(planes, picture, scratch, [] { return false; });
    sink.Begin(rows, 2000, 1401);
    DecodeRowsInto(decoder, sink);
    return 0;
  }
  if (reduce == 2) {
    HighQualityRows sink(planes, picture, scratch, [] { return false; });
    TimedSink timed(sink);
    const double start = ThreadSeconds();
    sink.Begin(rows, 2000, 1401);
    timed.seconds += ThreadSeconds() - start;
    DecodeRowsInto(decoder, timed);
    return timed.seconds;
  }
  DiscardRows sink;
  sink.Begin(rows);
  DecodeRowsInto(decoder, sink);
  return 0;
}

// Argument: as DecodeCropInto's `reduce`.
void BM_DecodeCrop(benchmark::State& state) {
  const Photo& photo = ThePhoto();
  ReductionPlanes planes;
  Bitmap picture, scratch;
  double reducing = 0;
  for (auto _ : state) reducing += DecodeCropInto(photo, static_cast<int>(state.range(0)), planes, picture, scratch);
  // The reduction's own processor time, per picture, in milliseconds.
  if (state.range(0) == 2) state.counters["reduce_ms"] = benchmark::Counter(reducing * 1e3 / static_cast<double>(state.iterations()));
}
BENCHMARK(BM_DecodeCrop)->ArgName("reduce")->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The plain reduction of the cropped rows, handed over as the decoder hands them.
void BM_ReducePlain(benchmark::State& state) {
  const Photo& photo = ThePhoto();
  Bitmap picture, scratch;
  for (auto _ : state) {
    PlainRows sink(picture, scratch);
    sink.Begin(testing::KeptRowsWithMargin(photo.croppedL, 0, 1), 2000, 1401);
    testing::FeedRows(sink, photo.croppedL, 0, JpegDecoder::kMaxRowsPerRead);
  }
}
BENCHMARK(BM_ReducePlain)->Unit(benchmark::kMillisecond);

// Keeps the median processor time of every benchmark (over its repetitions, if any), to print the shares.
class ShareReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.error_occurred) continue;
      const std::string name = run.run_name.str();
      if (const auto counter = run.counters.find("reduce_ms"); counter != run.counters.end())
        (run.run_type == Run::RT_Iteration ? fedIterations_ : fedMedians_)[name].push_back(counter->second.value);
      if (run.run_type == Run::RT_Iteration) {
        iterations_[name].push_back(run.GetAdjustedCPUTime());
      } else if (run.aggregate_name == "median") {
        medians_[name] = run.GetAdjustedCPUTime();
      }
    }
  }
  void PrintShares() const {
    const double decode = Median("BM_DecodeFloat/min_time:2.000");
    if (decode <= 0) return;
    std::printf("\nShare of the float-IDCT decode time of the 6000 x 4000 picture (%.2f ms):\n", decode);
    for (const auto& name : Names())
      if (name.rfind("BM_DecodeFloat", 0) != 0)
        std::printf("  %-56s %6.2f ms  %5.1f %%\n", name.c_str(), Median(name), 100 * Median(name) / decode);
    const double alone = Median("BM_DecodeCrop/reduce:0/min_time:2.000");
    const double reduced = Median("BM_DecodeCrop/reduce:1/min_time:2.000");
    if (alone > 0 && reduced > 0)
      std::printf("  %-56s %6.2f ms  %5.1f %%\n", "the reduction fed by the decode (difference of the two)",
                  reduced - alone, 100 * (reduced - alone) / decode);
    const std::string fed = "BM_DecodeCrop/reduce:2/min_time:2.000";
    const auto found = fedMedians_.count(fed) ? fedMedians_.find(fed) : fedIterations_.find(fed);
    if (found != fedIterations_.end() && found != fedMedians_.end() && !found->second.empty()) {
      std::vector<double> values = found->second;
      std::sort(values.begin(), values.end());
      const double median = values[values.size() / 2];
      std::printf("  %-56s %6.2f ms  %5.1f %%\n", "the reduction fed by the decode (its own time)", median, 100 * median / decode);
    }
  }

 private:
  double Median(const std::string& name) const {
    if (const auto found = medians_.find(name); found != medians_.end()) return found->second;
    const auto found = iterations_.find(name);
    if (found == iterations_.end() || found->second.empty()) return 0;
    double sum = 0;
    for (double v : found->second) sum += v;
    return sum / static_cast<double>(found->second.size());
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& entry : iterations_) names.push_back(entry.first);
    for (const auto& entry : medians_)
      if (!iterations_.count(entry.first)) names.push_back(entry.first);
    return names;
  }
  std::map<std::string, std::vector<double>> iterations_;
  std::map<std::string, std::vector<double>> fedIterations_, fedMedians_;  // the reduce_ms counter
  std::map<std::string, double> medians_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  ShareReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintShares();
  benchmark::Shutdown();
  return 0;
}
