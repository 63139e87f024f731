// phototrim-batch itself over hostile input: a tree of bad files within 512 MiB of address space,
// pictures that do not fit in memory, and names that are not UTF-8, found, processed, printed and counted.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <random>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "cli/options.h"
#include "support/child_process.h"
#include "support/picture_files.h"
#include "support/test_folder.h"
#include "trim/format.h"
#include "trim/messages.h"

namespace phototrim {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::TestFolder;

struct Finished {
  int status = -1;
  std::string out, err;
  bool operator==(const Finished&) const = default;
};

// Runs the command with its output in a file, in a child limited to `addressSpace` bytes (0: none).
Finished RunCommand(const TestFolder& folder, const std::vector<std::string>& args, std::uint64_t addressSpace) {
  const std::string outPath = folder / "stdout.txt", errPath = folder / "stderr.txt";
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (addressSpace != 0) {
      const rlimit limit{addressSpace, addressSpace};
      ::setrlimit(RLIMIT_AS, &limit);
    }
    std::freopen(outPath.c_str(), "w", stdout);
    std::freopen(errPath.c_str(), "w", stderr);
    std::vector<char*> argv{const_cast<char*>(PHOTOTRIM_BATCH_EXE)};
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    ::execv(PHOTOTRIM_BATCH_EXE, argv.data());
    ::_exit(127);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  const Bytes out = testing::ReadBytes(outPath), err = testing::ReadBytes(errPath);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, std::string(out.begin(), out.end()),
          std::string(err.begin(), err.end())};
}

Bytes Encoded(int width, int height, const testing::JpegOptions& options = {}) {
  Bitmap picture;
  testing::FillPattern(picture, width, height, 2);
  return testing::EncodeJpeg(picture, options);
}

TEST(HostileCommand, ATreeOfBadFilesEndsAsFinishedWithOneErrorEachWithin512MiB) {
  TestFolder folder;
  const std::string in = folder / "in/";
  const Bytes good = Encoded(800, 600);
  testing::WriteBytes(in + "empty.jpg", {});
  Bytes random(30000);
  std::mt19937 generator(5);
  for (auto& byte : random) byte = static_cast<std::uint8_t>(generator());
  testing::WriteBytes(in + "random.jpg", random);
  testing::WriteBytes(in + "giant.jpg", testing::WithClaimedSize(good, 65500, 65500));
  testing::JpegOptions many;
  many.manyScans = true;
  testing::WriteBytes(in + "scans.jpg", Encoded(48, 32, many));
  testing::JpegOptions arithmetic;
  arithmetic.arithmetic = true;
  testing::WriteBytes(in + "arith.jpg", testing::WithClaimedSize(Encoded(64, 48, arithmetic), 16000, 16000));
  testing::WriteBytes(in + "cut.jpg", testing::CutAt(good, good.size() / 2));
  testing::WriteBytes(in + "x.jpg/good.jpg", good);
  testing::WriteBytes(in + "zz.jpg", good);
  const std::uint64_t limit = testing::kUnderSanitizer ? 0 : std::uint64_t{512} << 20;
  const Finished run = RunCommand(folder, {"--no-progress", "-s", "VGA", in, folder / "out"}, limit);
  EXPECT_EQ(run.status, cli::kExitFinishedWithErrors) << run.out;
  EXPECT_NE(run.out.find(Format(text::kFinishedStatus, 2, 6, 0)), std::string::npos) << run.out;
  EXPECT_EQ(testing::JpegSize(folder / "out/x.jpg/good.jpg"), std::make_pair(640, 480));
  EXPECT_EQ(testing::JpegSize(folder / "out/zz.jpg"), std::make_pair(640, 480));
}

TEST(HostileCommand, PicturesThatDoNotFitFailAloneAndSeveralJobsGiveTheResultsOfOne) {
  if (testing::kUnderSanitizer) GTEST_SKIP() << "an address-space limit means nothing under a sanitizer";
  TestFolder folder;
  // Headers claiming 576 MB of pixels each, kept whole (L at 400 dpi, unreduced, without the size
  // limit): 538 MB each. Two at once do not fit in 1 GiB, not even one in 512 MiB.
  const Bytes small = Encoded(800, 600);
  for (const char* name : {"in/big1.jpg", "in/big2.jpg"})
    testing::WriteBytes(folder / name, testing::WithClaimedSize(small, 16000, 12000));
  testing::WriteBytes(folder / "in/small.jpg", small);
  for (const std::uint64_t limit : {std::uint64_t{1} << 30, std::uint64_t{512} << 20}) {
    std::optional<Finished> one;
    for (const char* jobs : {"1", "2", "3"}) {
      std::filesystem::remove_all(folder / "out");
      const Finished run =
          RunCommand(folder, {"--no-progress", "--no-size-limit", "-j", jobs, folder / "in", folder / "out"}, limit);
      EXPECT_EQ(run.status, cli::kExitFinishedWithErrors) << "limit " << limit << ", -j " << jobs << "\n" << run.err;
      EXPECT_NE(run.out.find(Format(text::kFinishedStatus, 1, 2, 0)), std::string::npos) << run.out;
      EXPECT_TRUE(std::filesystem::exists(folder / "out/small.jpg"));
      if (!one) one = run;
      EXPECT_EQ(run, *one) << "-j " << jobs << " differs from -j 1 within " << limit;
    }
    // Within 512 MiB the picture cannot get its memory even alone.
    EXPECT_EQ(one->err.find(Format(text::kOutOfMemory, (folder / "in/big1.jpg").c_str())) != std::string::npos,
              limit < (std::uint64_t{1} << 30));
  }
}

TEST(HostileCommand, ShiftJisNamesAreProcessedAndPrintedAsTheirBytes) {
  TestFolder folder;
  const std::string tail = "\x95\x5C/\x8E\xCA\x90\x5E.jpg";  // 表/写真.jpg in Shift-JIS
  testing::WriteBytes(folder / "in/" + tail, Encoded(800, 600));
  const Finished run = RunCommand(folder, {"--no-progress", "-s", "VGA", folder / "in/", folder / "out"}, 0);
  EXPECT_EQ(run.status, cli::kExitFinished);
  // The log line carries the bytes as they are, so a script can find the file by it.
  EXPECT_NE(run.out.find(folder / "in/" + tail + "\n"), std::string::npos);
  EXPECT_NE(run.out.find(Format(text::kFinishedStatus, 1, 0, 0)), std::string::npos);
  EXPECT_EQ(testing::JpegSize(folder / "out/" + tail), std::make_pair(640, 480));
}

}  // namespace
}  // namespace phototrim
