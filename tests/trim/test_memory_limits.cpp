// Runs under an address-space limit: several files at once save what one file at a time saves.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include "support/child_process.h"
#include "support/picture_files.h"
#include "support/scripted_host.h"
#include "support/test_folder.h"
#include "trim/run/batch_run.h"
#include "platform/process_settings.h"

namespace phototrim {
namespace {

namespace fs = std::filesystem;
constexpr std::uint64_t kMiB = 1 << 20;

// The address space the process has had at most, from the kernel's account.
std::uint64_t PeakAddressSpace() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmPeak:", 0) == 0) return std::stoull(line.substr(7)) * 1024;
  return 0;
}

// Runs the folder's pictures in a child limited to `limit` bytes of address space (0: none) and
// returns how many it saved (-1 when it died); its peak address space goes to folder/peak.
int SavedUnder(std::uint64_t limit, int jobs, const testing::TestFolder& folder) {
  fs::remove_all(folder / "out");
  const testing::ChildResult child = testing::RunInChild(
      [&] {
        KeepMemoryBetweenPictures();  // as each program's main sets it: one heap for all threads
        testing::ScriptedHost host;
        host.input = folder / "in/";
        host.output = folder / "out/";
        host.reduce = true;  // to QVGA, row by row: libjpeg's coefficients are most of the memory
        host.highQuality = false;
        host.size.row = 11;
        Workspace workspace;
        const RunSummary summary = RunBatch(workspace, host, jobs);
        std::ofstream(folder / "peak") << PeakAddressSpace();
        std::fflush(nullptr);
        ::_exit(summary.SavedCount);
      },
      {limit, 60});
  return child.exited ? child.exitCode : -1;
}

TEST(MemoryLimits, TwoJobsSaveWhatOneSavesWhereTwoPicturesDoNotFitAtOnce) {
  if (testing::kUnderSanitizer) GTEST_SKIP() << "an address-space limit means nothing under a sanitizer";
  testing::TestFolder folder;
  // Progressive: libjpeg holds the coefficients of the whole picture (about 80 MB), and when the
  // system refuses them that is the file's out-of-memory outcome, not an unreadable file.
  testing::JpegOptions progressive;
  progressive.progressive = true;
  progressive.quality = 50;
  testing::WriteJpeg(folder / "in/a.jpg", 6000, 4500, progressive);
  fs::copy_file(folder / "in/a.jpg", folder / "in/b.jpg");
  ASSERT_EQ(SavedUnder(0, 1, folder), 2);
  std::uint64_t peak = 0;
  std::ifstream(folder / "peak") >> peak;
  // The least address space in which one file at a time saves both, to 8 MiB.
  std::uint64_t low = peak * 3 / 4, high = peak + 8 * kMiB;
  ASSERT_EQ(SavedUnder(high, 1, folder), 2);
  while (high - low > 8 * kMiB) {
    const std::uint64_t middle = (low + high) / 2;
    (SavedUnder(middle, 1, folder) == 2 ? high : low) = middle;
  }
  // Room for the workers' stacks, not for a second picture: the one that finds no memory beside
  // the other is worked on again alone.
  const std::uint64_t limit = high + 32 * kMiB;
  EXPECT_EQ(SavedUnder(limit, 2, folder), 2) << "within " << (limit / kMiB) << " MiB";
  EXPECT_EQ(SavedUnder(limit, 3, folder), 2) << "within " << (limit / kMiB) << " MiB";
}

}  // namespace
}  // namespace phototrim
