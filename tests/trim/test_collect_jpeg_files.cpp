// Collecting the JPEG files of a folder tree: order, counters, names, links.
#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

#include "support/child_process.h"
#include "support/test_folder.h"
#include "trim/collect/collect_jpeg_files.h"
#include "trim/format.h"

namespace phototrim {
namespace {

using testing::TestFolder;
using testing::WriteText;

std::vector<std::string> Collect(const std::string& folder, FolderCounters& counters, bool noSubfolders = false) {
  std::vector<std::string> list;
  CollectJpegFiles(folder, list, counters, [&] { return noSubfolders; });
  return list;
}

TEST(CollectJpegFiles, TakesDotJpgInAnyCaseOnly) {
  TestFolder folder;
  for (const char* name : {"a.jpg", "b.JPG", "c.Jpg", "d.jpeg", "e.txt", "jpg", ".jpg", "f.jpg.txt"})
    WriteText(folder / name, "");
  FolderCounters counters;
  const auto list = Collect(folder.Path(), counters);
  EXPECT_EQ(list, (std::vector<std::string>{folder / ".jpg", folder / "a.jpg", folder / "b.JPG", folder / "c.Jpg"}));
  EXPECT_EQ(counters.SubfolderCount, 0);
  EXPECT_EQ(counters.FileCount, 8);
  EXPECT_EQ(counters.JpegFileCount, 4);
}

TEST(CollectJpegFiles, DepthFirstWithSubfoldersWhereTheirEntryStands) {
  TestFolder folder;
  WriteText(folder / "in/a.jpg", "");
  WriteText(folder / "in/b/c.jpg", "");
  WriteText(folder / "in/b/d/e.jpg", "");
  WriteText(folder / "in/z.jpg", "");
  testing::MakeFolders(folder / "in/x.jpg");  // a folder named like a picture is entered, not taken
  WriteText(folder / "in/x.jpg/y.jpg", "");
  FolderCounters counters;
  const std::string in = folder / "in/";
  EXPECT_EQ(Collect(in, counters), (std::vector<std::string>{in + "a.jpg", in + "b/c.jpg", in + "b/d/e.jpg",
                                                             in + "x.jpg/y.jpg", in + "z.jpg"}));
  EXPECT_EQ(counters.SubfolderCount, 3);
  EXPECT_EQ(counters.JpegFileCount, 5);

  // Without a trailing separator, one is put between the folder and the names.
  FolderCounters again;
  EXPECT_EQ(Collect(folder / "in", again).front(), folder / "in/a.jpg");

  FolderCounters flat;
  EXPECT_EQ(Collect(in, flat, true), (std::vector<std::string>{in + "a.jpg", in + "z.jpg"}));
  EXPECT_EQ(flat.SubfolderCount, 2) << "subfolders are counted even when not entered";
}

TEST(CollectJpegFiles, AddsToTheListAndCountersWithoutResetting) {
  TestFolder folder;
  WriteText(folder / "a.jpg", "");
  FolderCounters counters{5, 6, 7};
  std::vector<std::string> list{"earlier"};
  CollectJpegFiles(folder.Path(), list, counters, nullptr);
  EXPECT_EQ(list.size(), 2u);
  EXPECT_EQ(counters.FileCount, 7);
  EXPECT_EQ(counters.JpegFileCount, 8);
}

TEST(CollectJpegFiles, UnreadableOrMissingFolderAddsNothing) {
  FolderCounters counters;
  EXPECT_TRUE(Collect("/no/such/folder", counters).empty());
  TestFolder folder;
  WriteText(folder / "file.jpg", "");
  EXPECT_TRUE(Collect(folder / "file.jpg", counters).empty());
  EXPECT_EQ(counters.FileCount, 0);
}

TEST(CollectJpegFiles, NamesThatAreNotUtf8AreFoundAsTheyAre) {
  TestFolder folder;
  const std::string shiftJis = "\x95\x5c\x8e\xa6.jpg";  // 表示 in Shift-JIS from an old archive
  WriteText(folder / shiftJis, "");
  FolderCounters counters;
  EXPECT_EQ(Collect(folder.Path(), counters), std::vector<std::string>{folder / shiftJis});
}

TEST(CollectJpegFiles, EntersEachFolderOnceWhateverLinksJoinThem) {
  TestFolder folder;
  WriteText(folder / "in/a.jpg", "");
  WriteText(folder / "elsewhere/b.jpg", "");
  ASSERT_EQ(::symlink((folder / "elsewhere").c_str(), (folder / "in/linked").c_str()), 0);
  ASSERT_EQ(::symlink((folder / "in").c_str(), (folder / "in/loop").c_str()), 0);
  ASSERT_EQ(::symlink((folder / "elsewhere").c_str(), (folder / "in/zlinked again").c_str()), 0);
  // 25 folders, each with two links to the next: 2^25 ways down, 25 folders to enter.
  for (int i = 0; i < 25; ++i) {
    WriteText(folder / Format("chain/%02d/p.jpg", i), "");
    for (const char* link : {"x", "y"})
      ASSERT_EQ(::symlink((folder / Format("chain/%02d", i + 1)).c_str(), (folder / Format("chain/%02d/%s", i, link)).c_str()), 0);
  }
  testing::MakeFolders(folder / "chain/25");
  ASSERT_EQ(::symlink((folder / "chain/00").c_str(), (folder / "in/chain").c_str()), 0);
  // In a child, bounded: walking every way down would take hours and gigabytes.
  const testing::ChildResult child = testing::RunInChild(
      [&] {
        FolderCounters counters;
        const auto list = Collect(folder / "in", counters);
        EXPECT_EQ(list.size(), 27u);
        EXPECT_EQ(list[0], folder / "in/a.jpg");
        EXPECT_EQ(list[1], folder / "in/chain/p.jpg");
        EXPECT_EQ(list[2], folder / "in/chain/x/p.jpg");
        EXPECT_EQ(list.back(), folder / "in/linked/b.jpg");
        // Every link is a subfolder met, entered or not: 4 in in/, 2 in each folder of the chain.
        EXPECT_EQ(counters.SubfolderCount, 54);
      },
      {std::uint64_t{512} << 20, 60});
  EXPECT_TRUE(child.Passed()) << child.Describe();
}

}  // namespace
}  // namespace phototrim
