// phototrim-batch -j N: the same files, lines and exit status as a one-at-a-time run, stops included.
#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <map>
#include <unistd.h>

#include "cli/batch_command.h"
#include "cli/options.h"
#include "support/picture_files.h"
#include "support/test_folder.h"

namespace phototrim::cli {
namespace {

using testing::TestFolder;
using testing::WriteJpeg;
using testing::WriteText;
namespace fs = std::filesystem;

struct Outcome : CommandResult {
  std::map<std::string, std::vector<std::uint8_t>> files;  // the output tree, relative paths
};

// Runs phototrim-batch with `-j jobs` into `folder/<output>` and gathers everything it left.
Outcome RunWithJobs(const TestFolder& folder, int jobs, const std::string& output, std::vector<std::string> args) {
  args.insert(args.begin(), {"--no-progress", "-j", std::to_string(jobs)});
  args.push_back(folder / "in");
  args.push_back(folder / output);
  Outcome outcome;
  static_cast<CommandResult&>(outcome) = RunBatchCommand(folder, args);
  // Output paths appear in the messages: make them comparable between the two output folders.
  for (std::size_t at; (at = outcome.err.find(folder / output)) != std::string::npos;)
    outcome.err.replace(at, (folder / output).size(), "OUT");
  if (fs::exists(folder / output))
    for (const auto& name : testing::ListFilesBelow(folder / output))
      outcome.files[name] = testing::ReadBytes(folder / (output + "/" + name));
  return outcome;
}

void ExpectSame(const Outcome& one, const Outcome& many) {
  EXPECT_EQ(one.status, many.status);
  EXPECT_EQ(one.out, many.out);
  EXPECT_EQ(one.err, many.err);
  ASSERT_EQ(one.files.size(), many.files.size());
  for (const auto& [name, bytes] : one.files) {
    ASSERT_EQ(many.files.count(name), 1u) << name;
    EXPECT_TRUE(many.files.at(name) == bytes) << name << " differs";
  }
}

// A tree with every kind of file ending: saved, reduced or not, skipped, undecodable, in subfolders.
void MakeMixedTree(const TestFolder& folder) {
  WriteJpeg(folder / "in/01.jpg", 1600, 1200, {}, 1);
  WriteJpeg(folder / "in/02_portrait.jpg", 900, 1400, {}, 2);
  WriteText(folder / "in/03_broken.jpg", "not a picture");
  WriteJpeg(folder / "in/04_small.jpg", 300, 200, {}, 4);
  WriteJpeg(folder / "in/a/05.JPG", 2000, 1000, {}, 5);
  WriteJpeg(folder / "in/a/b/06.jpg", 640, 480, {}, 6);
  auto truncated = testing::ReadBytes(folder / "in/01.jpg");
  truncated.resize(truncated.size() / 2);
  testing::WriteBytes(folder / "in/a/b/07_truncated.jpg", truncated);
  WriteJpeg(folder / "in/c/08.jpg", 1000, 1000, {}, 8);
  WriteJpeg(folder / "in/c/09.jpg", 1500, 1000, {}, 9);
  WriteJpeg(folder / "in/\x95\x5c.jpg", 700, 500, {}, 10);  // a Shift-JIS name
}

TEST(ParallelJobs, MixedTreeGivesTheSameResultsAsOneAtATime) {
  TestFolder folder;
  MakeMixedTree(folder);
  for (const char* out : {"out1", "out4"}) WriteJpeg(folder / (std::string(out) + "/c/08.jpg"), 50, 50);
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"-s", "VGA", "--overwrite"}, {"-s", "L", "-d", "150", "--overwrite"},
        {"-s", "QVGA", "--plain", "--keep-small", "--overwrite"}}) {
    const Outcome one = RunWithJobs(folder, 1, "out1", args);
    const Outcome many = RunWithJobs(folder, 4, "out4", args);
    EXPECT_EQ(one.status, kExitFinishedWithErrors);
    ExpectSame(one, many);
  }
}

TEST(ParallelJobs, StopsWhereTheOneAtATimeRunStops) {
  TestFolder folder;
  MakeMixedTree(folder);
  // A failure answered はい at the third file: nothing after it may be left behind.
  const Outcome one = RunWithJobs(folder, 1, "out1", {"--stop-on-error", "-s", "VGA"});
  const Outcome many = RunWithJobs(folder, 4, "out4", {"--stop-on-error", "-s", "VGA"});
  EXPECT_EQ(one.status, kExitStopped);
  EXPECT_EQ(one.files.size(), 2u);
  ExpectSame(one, many);

  // An existing output file without --overwrite stops the run at that file.
  WriteJpeg(folder / "out5/a/05.JPG", 50, 50);
  WriteJpeg(folder / "out6/a/05.JPG", 50, 50);
  const Outcome existingOne = RunWithJobs(folder, 1, "out5", {});
  const Outcome existingMany = RunWithJobs(folder, 3, "out6", {});
  EXPECT_EQ(existingOne.status, kExitStopped);
  ExpectSame(existingOne, existingMany);
}

TEST(ParallelJobs, OutputsMetInTheInputInAnySpellingGiveTheOneAtATimeResults) {
  // Each case: the input and output folders as given, and the folders to compare afterwards.
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"in", "in/x"},          // a second run into an output folder inside the input leaves it out
      {"in", "./in//x"},
      {"in", "link/x"},        // link -> in
      {"top/in", "toplink"},   // the input inside the output, the output spelled through a link:
                               // top/in/in/z.jpg is written over top/in/z.jpg before that is read
  };
  std::map<std::string, std::vector<std::uint8_t>> first[std::size(cases)];
  for (int jobs : {1, 4}) {
    for (std::size_t c = 0; c < std::size(cases); ++c) {
      TestFolder folder;
      WriteJpeg(folder / "in/a.jpg", 1600, 1200, {}, 1);
      WriteJpeg(folder / "in/b.jpg", 1200, 1600, {}, 2);
      WriteJpeg(folder / "top/in/in/z.jpg", 1600, 1200, {}, 3);
      WriteJpeg(folder / "top/in/z.jpg", 1200, 1600, {}, 4);
      ASSERT_EQ(::symlink("in", (folder / "link").c_str()), 0);
      ASSERT_EQ(::symlink("top", (folder / "toplink").c_str()), 0);
      const std::string run = "cd '" + folder.Path() + "' && '" PHOTOTRIM_BATCH_EXE "' --quiet --overwrite -s VGA -j " +
                              std::to_string(jobs) + " '" + cases[c].in + "' '" + cases[c].out + "' > /dev/null";
      // Twice, so that an output folder inside the input is there when the second run collects;
      // once where the first run's own order is what matters.
      for (int times = c < 3 ? 2 : 1; times > 0; --times) ASSERT_EQ(std::system(run.c_str()), 0) << cases[c].out;
      std::map<std::string, std::vector<std::uint8_t>> files;
      for (const char* top : {"in", "top"})
        for (const auto& name : testing::ListFilesBelow(folder / top))
          files[std::string(top) + "/" + name] = testing::ReadBytes(folder / (std::string(top) + "/" + name));
      if (c < 3) {
        EXPECT_EQ(files.size(), 6u) << cases[c].out << ": in/a, in/b, x/a, x/b and the two of top/";
      }
      if (jobs == 1) {
        first[c] = files;
      } else {
        EXPECT_TRUE(files == first[c]) << cases[c].out;
      }
    }
  }
}

}  // namespace
}  // namespace phototrim::cli
