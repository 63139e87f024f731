// Whole-run benchmark: phototrim-batch against the codec floor over a corpus, side by side.
//
//   phototrim_bench_corpus [--photos DIR] [--count N] [--size WxH] [--rounds R] [--exe PATH]
//
// Without --photos it generates N photograph-like pictures (default 4 of 6000 x 4000) in a temporary
// folder. Each round measures, one after the other on the same files:
//   floor  full-size float-IDCT decode of every input plus float-FDCT encode of its output size,
//          with the same libjpeg-turbo, in this process;
//   run    a whole `phototrim-batch -s L --reduce -j 1` run (L at 400 dpi: 2000 x 1401) over the
//          folder, with its peak memory, and the same with -j 2;
//   hq     ReduceHighQuality alone, from each cropped picture to its output size, once with the
//          fastest kernel set and once with the AVX2 set (what PHOTOTRIM_SIMD=avx2 forces), each as
//          a share of LoadJpeg's time for the same pictures; processor time of this thread, which
//          other programs on the machine disturb less than the wall time.
// Medians over the rounds are printed with the ratios the performance targets speak of.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <jpeglib.h>
#include <random>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "trim/bitmap.h"
#include "trim/collect/collect_jpeg_files.h"
#include "trim/geometry/crop.h"
#include "support/jpeg_load.h"
#include "trim/save/jpeg_save.h"
#include "support/whole_picture_steps.h"
#include "trim/reduce/reduction_planes.h"
#include "trim/geometry/size_table.h"

namespace fs = std::filesystem;
using namespace phototrim;
using Clock = std::chrono::steady_clock;

namespace {

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

double ThreadSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// A scene with smooth light, edges and fine grain, so that it compresses like a photograph.
void PaintPhoto(Bitmap& picture, int width, int height, unsigned seed) {
  picture.Reset(width, height);
  std::mt19937 random(seed);
  std::normal_distribution<double> grain(0.0, 4.0);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = picture.Row(y);
    const double v = static_cast<double>(y) / height;
    for (int x = 0; x < width; ++x) {
      const double u = static_cast<double>(x) / width;
      const double hill = 0.55 + 0.08 * std::sin(u * 7 + seed) + 0.02 * std::sin(u * 41);
      const double leaves = std::sin(x * 0.05 + std::sin(y * 0.03) * 3) * std::sin(y * 0.045);
      double r, g, b;
      if (v < hill) {
        r = 110 + 100 * v, g = 150 + 70 * v, b = 235 - 30 * v;
      } else {
        r = 70 + 40 * leaves, g = 120 + 60 * leaves * (1 - v), b = 60 + 20 * leaves;
      }
      const double n = grain(random);
      row[3 * x] = static_cast<std::uint8_t>(std::clamp(b + n, 0.0, 255.0));
      row[3 * x + 1] = static_cast<std::uint8_t>(std::clamp(g + n, 0.0, 255.0));
      row[3 * x + 2] = static_cast<std::uint8_t>(std::clamp(r + n, 0.0, 255.0));
    }
  }
}

struct JumpErrors {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
};
[[noreturn]] void Jump(j_common_ptr cinfo) { std::longjmp(reinterpret_cast<JumpErrors*>(cinfo->err)->jump, 1); }

// The floor for one file: decode everything at full size with the float IDCT, then encode an output
// of the run's size with the float FDCT. Returns false when libjpeg fails.
bool DecodeAndEncode(const std::vector<std::uint8_t>& file, std::vector<std::uint8_t>& pixels, int outWidth,
                     int outHeight, int quality) {
  jpeg_decompress_struct d{};
  jpeg_compress_struct c{};
  JumpErrors errors{};
  unsigned char* encoded = nullptr;
  unsigned long encodedSize = 0;
  d.err = jpeg_std_error(&errors.manager);
  c.err = d.err;
  errors.manager.error_exit = Jump;
  if (setjmp(errors.jump)) {
    jpeg_destroy_decompress(&d);
    jpeg_destroy_compress(&c);
    std::free(encoded);
    return false;
  }
  jpeg_create_decompress(&d);
  jpeg_mem_src(&d, file.data(), file.size());
  jpeg_read_header(&d, TRUE);
  d.dct_method = JDCT_FLOAT;
  d.out_color_space = JCS_EXT_BGR;
  jpeg_start_decompress(&d);
  const std::size_t stride = static_cast<std::size_t>(d.output_width) * 3;
  pixels.resize(stride * d.output_height);
  while (d.output_scanline < d.output_height) {
    JSAMPROW row = pixels.data() + stride * d.output_scanline;
    jpeg_read_scanlines(&d, &row, 1);
  }
  jpeg_finish_decompress(&d);
  jpeg_destroy_decompress(&d);

  jpeg_create_compress(&c);
  jpeg_mem_dest(&c, &encoded, &encodedSize);
  c.image_width = static_cast<JDIMENSION>(outWidth);
  c.image_height = static_cast<JDIMENSION>(outHeight);
  c.input_components = 3;
  c.in_color_space = JCS_EXT_BGR;
  jpeg_set_defaults(&c);
  c.dct_method = JDCT_FLOAT;
  jpeg_set_quality(&c, quality, TRUE);
  jpeg_start_compress(&c, TRUE);
  while (c.next_scanline < c.image_height) {
    JSAMPROW row = pixels.data() + stride * c.next_scanline;
    jpeg_write_scanlines(&c, &row, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  std::free(encoded);
  return true;
}

std::vector<std::uint8_t> ReadFile(const std::string& path) {
  std::vector<std::uint8_t> bytes;
  if (FILE* f = std::fopen(path.c_str(), "rb")) {
    std::fseek(f, 0, SEEK_END);
    bytes.resize(static_cast<std::size_t>(std::ftell(f)));
    std::fseek(f, 0, SEEK_SET);
    if (std::fread(bytes.data(), 1, bytes.size(), f) != bytes.size()) bytes.clear();
    std::fclose(f);
  }
  return bytes;
}

struct Picture {
  std::string path;
  int width = 0, height = 0;          // upright, as decoded
  PixelSize crop, output;             // what the run makes of it at L 400 dpi with reduction
};

// Runs the command and returns its wall time; `peakKiB` gets its peak resident memory.
double TimeCommand(const std::vector<std::string>& argv, long& peakKiB) {
  const auto start = Clock::now();
  const pid_t child = ::fork();
  if (child == 0) {
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    if (!std::freopen("/dev/null", "w", stdout)) ::_exit(126);
    ::execv(args[0], args.data());
    ::_exit(127);
  }
  int status = 0;
  rusage usage{};
  ::wait4(child, &status, 0, &usage);
  const double seconds = Seconds(start);
  peakKiB = usage.ru_maxrss;
  if (!WIFEXITED(status) || WEXITSTATUS(status) > 1) std::fprintf(stderr, "run exited with %d\n", WEXITSTATUS(status));
  return seconds;
}

}  // namespace

int main(int argc, char** argv) {
  std::string photos, exe = (fs::path(argv[0]).parent_path() / "../cli/phototrim-batch").string();
  int count = 4, width = 6000, height = 4000, rounds = 3;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string option = argv[i], value = argv[i + 1];
    if (option == "--photos") photos = value;
    else if (option == "--count") count = std::stoi(value);
    else if (option == "--size") std::sscanf(value.c_str(), "%dx%d", &width, &height);
    else if (option == "--rounds") rounds = std::stoi(value);
    else if (option == "--exe") exe = value;
    else {
      std::fprintf(stderr, "unknown option %s\n", option.c_str());
      return 64;
    }
  }
  // Saving changes the current folder: fix every path given relative to it first.
  exe = fs::absolute(exe).string();
  if (!photos.empty()) photos = fs::absolute(photos).string();
  const fs::path work = fs::temp_directory_path() / ("phototrim-bench-" + std::to_string(::getpid()));
  fs::create_directories(work / "out");
  if (photos.empty()) {
    photos = (work / "corpus").string();
    Bitmap picture;
    const SaveJpegHost host{[] { return 92; }, [](const std::string& m) { std::fprintf(stderr, "%s\n", m.c_str()); }};
    for (int i = 0; i < count; ++i) {
      PaintPhoto(picture, width, height, static_cast<unsigned>(i + 1));
      SaveJpeg(photos + "/photo" + std::to_string(i) + ".jpg", picture, {}, host);
    }
    std::printf("corpus: %d generated pictures of %d x %d\n", count, width, height);
  }

  // What the run will make of each picture, from the upright decode.
  std::vector<std::string> paths;
  FolderCounters counters;
  CollectJpegFiles(photos, paths, counters, nullptr);
  const TargetSize pair = ComputeTargetSize({});
  std::vector<Picture> pictures;
  Bitmap work1, scratch;
  std::vector<std::uint8_t> profile;
  double megapixels = 0;
  std::size_t largestDecoded = 0;
  for (const auto& path : paths) {
    if (LoadJpeg(path, work1, scratch, profile) != LoadResult::Ok) continue;
    Picture p{path, work1.Width(), work1.Height(), {}, {}};
    p.crop = ComputeCropSize(p.width, p.height, pair);
    const PixelSize target = ComputeReductionTarget(p.crop.width, p.crop.height, pair);
    p.output = (p.crop.width >= target.width && p.crop.height >= target.height) ? target : p.crop;
    megapixels += p.width * static_cast<double>(p.height) / 1e6;
    largestDecoded = std::max(largestDecoded, static_cast<std::size_t>(p.width) * p.height * 3);
    pictures.push_back(p);
  }
  work1.Release();
  scratch.Release();
  std::printf("%zu pictures, %.1f megapixels on average\n", pictures.size(), megapixels / pictures.size());

  // The fastest set, and the AVX2 one beside it where the processor has a faster one.
  std::vector<KernelSet> sets = {BestKernelSet()};
  if (BestKernelSet() != KernelSet::Avx2 && KernelSetSupported(KernelSet::Avx2)) sets.push_back(KernelSet::Avx2);
  std::vector<double> floorTimes, runTimes, run2Times, decodeTimes;
  std::vector<std::vector<double>> hqTimes(sets.size());
  long peakKiB = 0, peak2KiB = 0;
  for (int round = 0; round < rounds; ++round) {
    // Codec floor.
    auto start = Clock::now();
    std::vector<std::uint8_t> pixels;
    for (const auto& p : pictures) {
      const auto file = ReadFile(p.path);
      DecodeAndEncode(file, pixels, p.output.width, p.output.height, 90);
    }
    floorTimes.push_back(Seconds(start));

    // The whole run.
    fs::remove_all(work / "out");
    long peak = 0;
    runTimes.push_back(TimeCommand(
        {exe, "-j", "1", "-s", "L", "--reduce", "--quiet", "--no-progress", photos, (work / "out").string()}, peak));
    peakKiB = std::max(peakKiB, peak);
    fs::remove_all(work / "out");
    run2Times.push_back(TimeCommand(
        {exe, "-j", "2", "-s", "L", "--reduce", "--quiet", "--no-progress", photos, (work / "out").string()}, peak));
    peak2KiB = std::max(peak2KiB, peak);

    // The high-quality reduction alone with each kernel set, on copies of the same cropped picture
    // (in turns, so that neither set always goes first), and the decode it is measured against.
    Bitmap picture, spare, copy;
    ReductionPlanes planes;
    std::string errorText;
    std::vector<double> hq(sets.size(), 0.0);
    double decode = 0;
    for (std::size_t i = 0; i < pictures.size(); ++i) {
      const Picture& p = pictures[i];
      double began = ThreadSeconds();
      LoadJpeg(p.path, picture, spare, profile);
      decode += ThreadSeconds() - began;
      CropCentered(picture, spare, p.crop.width, p.crop.height);
      if (p.output.width == p.crop.width) continue;
      for (std::size_t k = 0; k < sets.size(); ++k) {
        const std::size_t s = (k + i + static_cast<std::size_t>(round)) % sets.size();
        copy.Reset(picture.Width(), picture.Height());
        for (int y = 0; y < picture.Height(); ++y)
          std::memcpy(copy.Row(y), picture.Row(y), static_cast<std::size_t>(picture.Width()) * 3);
        began = ThreadSeconds();
        ReduceHighQualityWith(copy, p.output.width, p.output.height, planes, errorText, [] { return false; },
                              sets[s]);
        hq[s] += ThreadSeconds() - began;
      }
    }
    for (std::size_t s = 0; s < sets.size(); ++s) hqTimes[s].push_back(hq[s]);
    decodeTimes.push_back(decode);
  }

  const double n = static_cast<double>(pictures.size());
  const double floorT = Median(floorTimes), runT = Median(runTimes), run2T = Median(run2Times);
  const double decT = Median(decodeTimes);
  std::printf("\nmedians over %d rounds, per picture:\n", rounds);
  std::printf("  codec floor (decode + encode)   %7.1f ms\n", floorT / n * 1000);
  std::printf("  phototrim-batch -s L --reduce    %7.1f ms   %.3f x the floor   (target <= 1.15)\n", runT / n * 1000,
              runT / floorT);
  std::printf("  the same with -j 2               %7.1f ms   %.3f x the floor   (target < 0.65)\n", run2T / n * 1000,
              run2T / floorT);
  std::printf("  LoadJpeg                         %7.1f ms   (processor time)\n", decT / n * 1000);
  for (std::size_t s = 0; s < sets.size(); ++s) {
    const double hqT = Median(hqTimes[s]);
    std::printf("  ReduceHighQuality, %-6s        %7.1f ms   %.3f x LoadJpeg     (target < 0.10)\n",
                KernelSetName(sets[s]), hqT / n * 1000, hqT / decT);
  }
  const double decodedMiB = static_cast<double>(largestDecoded) / (1 << 20);
  std::printf("  peak memory of the run           %7.1f MiB  (target < 3 x %.1f + 50 = %.1f MiB)\n", peakKiB / 1024.0,
              decodedMiB, 3 * decodedMiB + 50);
  std::printf("  peak memory with -j 2            %7.1f MiB\n", peak2KiB / 1024.0);
  fs::remove_all(work);
  return 0;
}
