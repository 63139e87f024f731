// Separator tests, folder parts and folder-tree creation.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/file_system.h"
#include "platform/path_text.h"
#include "support/test_folder.h"

namespace phototrim {
namespace {

TEST(EndsWithSeparator, KeepsItsFourResults) {
  EXPECT_EQ(EndsWithSeparator("/photos/"), 1);
  EXPECT_EQ(EndsWithSeparator("/"), 1);
  EXPECT_EQ(EndsWithSeparator("/photos"), 0);
  EXPECT_EQ(EndsWithSeparator("/写真"), 0);  // no byte of a multi-byte character is '/'
  EXPECT_EQ(EndsWithSeparator(""), -3);
  EXPECT_EQ(EndsWithSeparator(std::string(2047, '/')), 1);
  EXPECT_EQ(EndsWithSeparator(std::string(2048, '/')), -2);
}

TEST(FolderPartOf, DropsTheLastSeparatorExceptAtTheRootOrAfterAnother) {
  EXPECT_EQ(FolderPartOf("/out/1組/a.jpg"), "/out/1組");
  EXPECT_EQ(FolderPartOf("/a.jpg"), "/");
  EXPECT_EQ(FolderPartOf("/out//a.jpg"), "/out//");
  EXPECT_EQ(FolderPartOf("a.jpg"), "");
  EXPECT_EQ(FolderPartOf("out:1/a.jpg"), "out:1") << "':' is an ordinary character here";
}

TEST(ParentFolderOf, ClimbsOneLevel) {
  EXPECT_EQ(ParentFolderOf("/a/b/c"), "/a/b");
  EXPECT_EQ(ParentFolderOf("/a/b/c/"), "/a/b");
  EXPECT_EQ(ParentFolderOf("/a"), "/");
  EXPECT_EQ(ParentFolderOf("/"), "/");
  EXPECT_EQ(ParentFolderOf("a"), "");
}

TEST(CreateFolderTree, CreatesEveryMissingLevelAndFailsOnAFile) {
  testing::TestFolder folder;
  EXPECT_TRUE(CreateFolderTree(folder / "a/b/c"));
  EXPECT_TRUE(FolderExists(folder / "a/b/c"));
  EXPECT_TRUE(CreateFolderTree(folder / "a/b/c")) << "an existing folder is success";
  EXPECT_TRUE(CreateFolderTree(folder / "x//y/")) << "doubled and trailing separators";
  EXPECT_TRUE(FolderExists(folder / "x/y"));
  testing::WriteText(folder / "file", "");
  EXPECT_FALSE(CreateFolderTree(folder / "file/sub"));
  EXPECT_TRUE(FileExists(folder / "file"));
  EXPECT_FALSE(FileExists(folder / "a")) << "a folder is not a file";
}

TEST(AbsolutePath, PrefixesTheCurrentFolder) {
  testing::TestFolder folder;
  const std::string before = CurrentFolder();
  ASSERT_TRUE(SetCurrentFolder(folder.Path()));
  EXPECT_EQ(AbsolutePath("in/"), std::filesystem::canonical(folder.Path()).string() + "/in/");
  EXPECT_EQ(AbsolutePath("/abs"), "/abs");
  SetCurrentFolder(before);
}

}  // namespace
}  // namespace phototrim
