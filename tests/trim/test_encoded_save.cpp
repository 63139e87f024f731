// Saving a picture encoded ahead gives the bytes of a direct save, and fails as a direct save does.
#include <gtest/gtest.h>

#include "support/picture_files.h"
#include "support/test_folder.h"
#include "trim/save/jpeg_save.h"
#include "trim/messages.h"

namespace phototrim {
namespace {

TEST(SaveEncodedJpeg, SameBytesAsADirectSave) {
  testing::TestFolder folder;
  Bitmap picture;
  testing::FillPattern(picture, 123, 77, 3);
  const std::vector<std::uint8_t> profile;
  std::vector<std::string> notices;
  const SaveJpegHost host{[] { return 75; }, [&](const std::string& text) { notices.push_back(text); }};
  ASSERT_EQ(SaveJpeg(folder / "direct/a.jpg", picture, profile, host), SaveResult::Ok);
  EncodedJpeg encoded;
  ASSERT_TRUE(encoded.Encode(picture, profile, 75));
  ASSERT_EQ(SaveEncodedJpeg(folder / "ahead/deeper/a.jpg", encoded, host), SaveResult::Ok);
  EXPECT_EQ(testing::ReadBytes(folder / "direct/a.jpg"), testing::ReadBytes(folder / "ahead/deeper/a.jpg"));
  EXPECT_TRUE(notices.empty());
}

TEST(SaveEncodedJpeg, NothingEncodedFailsLikeAFailedEncodeAndLeavesNothing) {
  testing::TestFolder folder;
  std::vector<std::string> notices;
  const SaveJpegHost host{[] { return 90; }, [&](const std::string& text) { notices.push_back(text); }};
  const EncodedJpeg nothing;
  EXPECT_EQ(SaveEncodedJpeg(folder / "out/a.jpg", nothing, host), SaveResult::WriteFailed);
  EXPECT_EQ(notices, std::vector<std::string>{text::kSaveFailed});
  EXPECT_TRUE(testing::ListFilesBelow(folder / "out").empty());
}

}  // namespace
}  // namespace phototrim
