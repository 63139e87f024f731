// The command line of phototrim-batch: options, defaults and usage errors.
#include <gtest/gtest.h>

#include "cli/options.h"

namespace phototrim::cli {
namespace {

Options Parse(std::vector<std::string> args) {
  Options options;
  std::string error;
  EXPECT_TRUE(ParseOptions(args, options, error)) << error;
  return options;
}

std::string Refusal(std::vector<std::string> args) {
  Options options;
  std::string error;
  EXPECT_FALSE(ParseOptions(args, options, error));
  return error;
}

TEST(Options, DefaultsAreTheWindowsDefaults) {
  const Options o = Parse({"in", "out"});
  EXPECT_EQ(o.inputFolder, "in");
  EXPECT_EQ(o.outputFolder, "out");
  EXPECT_EQ(o.size.row, 0);
  EXPECT_EQ(o.size.dpi, 400);
  EXPECT_FALSE(o.reduce);
  EXPECT_TRUE(o.highQuality);
  EXPECT_TRUE(o.skipSmall);
  EXPECT_FALSE(o.noSubfolders);
  EXPECT_EQ(o.quality, 90);
  EXPECT_FALSE(o.overwrite);
  EXPECT_FALSE(o.stopOnError);
  EXPECT_FALSE(o.noSizeLimit);
  EXPECT_FALSE(o.heif || o.keepExif || o.keepGps || o.dpiTag);
}

TEST(Options, SizesByNameOrAliasInAnyCase) {
  const std::pair<const char*, const char*> names[] = {
      {"はがき", "はがき"}, {"postcard", "はがき"}, {"HAGAKI", "はがき"}, {"hachigiri", "八切"}, {"Yatsugiri", "八切"},
      {"mutsugiri", "六切"}, {"w-mutsugiri", "W六切"}, {"w六切", "W六切"}, {"yotsugiri", "四切"},
      {"W-YOTSUGIRI", "W四切"}, {"a4", "A4"}, {"qxga", "QXGA"}, {"16base", "16Base"}, {"l", "L"}};
  for (const auto& [typed, name] : names)
    EXPECT_STREQ(kSizeTable[static_cast<std::size_t>(Parse({"-s", typed, "i", "o"}).size.row)].name, name) << typed;
  EXPECT_NE(Refusal({"--size", "B5", "i", "o"}).find("B5"), std::string::npos);
}

TEST(Options, ReductionDefaultsFollowTheKindOfSize) {
  EXPECT_FALSE(Parse({"-s", "A4", "i", "o"}).reduce);
  EXPECT_TRUE(Parse({"-s", "VGA", "i", "o"}).reduce);
  EXPECT_TRUE(Parse({"--fixed", "800:600", "i", "o"}).reduce);
  EXPECT_FALSE(Parse({"-s", "VGA", "--no-reduce", "i", "o"}).reduce);
  EXPECT_TRUE(Parse({"-r", "i", "o"}).reduce);
  EXPECT_TRUE(Parse({"--reduce", "-s", "L", "i", "o"}).reduce);
}

TEST(Options, FixedSizeTakesTwoPositiveIntegersFirstValueFirst) {
  for (const char* text : {"480:640", "480x640", "480X640", "480×640"}) {
    const Options o = Parse({"-f", text, "i", "o"});
    EXPECT_EQ(o.size.fixedFirst, "480");
    EXPECT_EQ(o.size.fixedSecond, "640");
  }
  for (const char* text : {"0:600", "800:0", "-1:600", "800", "a:b", "800:600:1", "800:", ":600", " 800:600"})
    EXPECT_FALSE(Refusal({"--fixed", text, "i", "o"}).empty()) << text;
}

TEST(Options, ValuesAreChecked) {
  EXPECT_EQ(Parse({"-d", "150", "i", "o"}).size.dpi, 150);
  EXPECT_EQ(Parse({"--dpi=320", "i", "o"}).size.dpi, 320);
  EXPECT_EQ(Parse({"-q", "0", "i", "o"}).quality, 0);
  EXPECT_EQ(Parse({"--quality=100", "i", "o"}).quality, 100);
  for (const std::vector<std::string>& bad :
       {std::vector<std::string>{"-d", "250", "i", "o"}, {"-q", "101", "i", "o"}, {"-q", "-1", "i", "o"},
        {"-q", "9x", "i", "o"}, {"-q"}, {"--bogus", "i", "o"}, {"i"}, {"i", "o", "x"}, {}, {"--plain=1", "i", "o"},
        {"--heic=1", "i", "o"}, {"--heif", "i", "o"}})
    EXPECT_FALSE(Refusal(bad).empty());
}

TEST(Options, SwitchesAndFolderLookingLikeOptions) {
  const Options o = Parse({"--plain", "--no-subfolders", "--keep-small", "--overwrite", "--stop-on-error", "--quiet",
                           "--no-progress", "--no-size-limit", "--heic", "--keep-exif", "--keep-gps", "--dpi-tag",
                           "--", "-in", "-out"});
  EXPECT_TRUE(o.heif && o.keepExif && o.keepGps && o.dpiTag);
  EXPECT_FALSE(o.highQuality);
  EXPECT_TRUE(o.noSizeLimit);
  EXPECT_TRUE(o.noSubfolders);
  EXPECT_FALSE(o.skipSmall);
  EXPECT_TRUE(o.overwrite);
  EXPECT_TRUE(o.stopOnError);
  EXPECT_TRUE(o.quiet);
  EXPECT_EQ(o.progress, ProgressDisplay::Off);
  EXPECT_EQ(o.inputFolder, "-in");
  EXPECT_EQ(o.outputFolder, "-out");
  EXPECT_TRUE(Parse({"--help"}).help);
  EXPECT_TRUE(Parse({"--version"}).version);
}

TEST(Options, SwitchesGivenAValueAreRefusedNotTakenAsOn) {
  for (const char* flag : {"--reduce", "--no-reduce", "--plain", "--no-subfolders", "--keep-small", "--no-size-limit",
                           "--overwrite", "--stop-on-error", "--quiet", "--progress", "--no-progress", "--help",
                           "--version"})
    for (const char* value : {"=false", "=0", "=no", "=yes", "="}) {
      const std::string error = Refusal({std::string(flag) + value, "i", "o"});
      EXPECT_EQ(error, std::string("オプション ") + flag + " は値を取りません。") << flag << value;
    }
}

}  // namespace
}  // namespace phototrim::cli
