// Tests of SaveJpeg: bytes equal to cjpeg's, the markers written, folder creation, and failures
// that leave no temporary file and no damaged target behind.
#include "trim/save/jpeg_save.h"

#include <gtest/gtest.h>

#include <concepts>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <sys/resource.h>
#include <sys/stat.h>
#include <type_traits>
#include <unistd.h>

#include "platform/file_system.h"
#include "support/picture_files.h"
#include "support/test_folder.h"
#include "trim/format.h"
#include "support/jpeg_load.h"
#include "trim/messages.h"

namespace phototrim {
namespace {

// A save's result and a load's are told apart by their types: one cannot pass for the other.
static_assert(!std::equality_comparable_with<SaveResult, LoadResult>);
static_assert(!std::is_convertible_v<SaveResult, int> && !std::is_convertible_v<LoadResult, int>);

using Bytes = std::vector<std::uint8_t>;
using testing::JpegSegment;
using testing::ListFilesBelow;
using testing::ReadBytes;
using testing::WriteBytes;

constexpr char kCjpeg[] = "/usr/bin/cjpeg";

class JpegSave : public ::testing::Test {
 protected:
  // SaveJpeg enters the output folder; the test process goes back where it was.
  void SetUp() override { startFolder_ = CurrentFolder(); }
  void TearDown() override { SetCurrentFolder(startFolder_); }

  SaveResult Save(const std::string& path, const Bitmap& picture, const Bytes& profile = {}) {
    return SaveJpeg(path, picture, profile, host_);
  }
  // A file name that only a temporary file of ours can have.
  bool TemporaryFileLeft() const {
    for (const auto& file : ListFilesBelow(folder_.Path()))
      if (file.find(".phototrim-") != std::string::npos) return true;
    return false;
  }

  testing::TestFolder folder_;
  int quality_ = 90;
  int qualityReads_ = 0;
  std::vector<std::string> notices_;
  SaveJpegHost host_{[this] { return ++qualityReads_, quality_; },
                     [this](const std::string& text) { notices_.push_back(text); }};

 private:
  std::string startFolder_;
};

Bitmap Pattern(int width, int height, std::uint32_t seed = 1) {
  Bitmap picture;
  testing::FillPattern(picture, width, height, seed);
  return picture;
}

std::vector<JpegSegment> SegmentsOf(const Bytes& jpeg) { return testing::JpegSegments(jpeg); }

Bytes Payload(const Bytes& jpeg, const JpegSegment& segment) {
  return Bytes(jpeg.begin() + static_cast<std::ptrdiff_t>(segment.payloadOffset),
               jpeg.begin() + static_cast<std::ptrdiff_t>(segment.payloadOffset + segment.payloadSize));
}

// ---- The codec floor's encode is cjpeg's, byte for byte ----

TEST_F(JpegSave, BytesEqualCjpegWithTheFloatFdctAndForcedBaseline) {
  if (::access(kCjpeg, X_OK) != 0) GTEST_SKIP() << kCjpeg << " is missing (Debian package libjpeg-turbo-progs)";
  const std::pair<int, int> sizes[] = {{1, 1}, {17, 9}, {101, 77}, {64, 48}};
  for (const auto& [width, height] : sizes) {
    const Bitmap picture = Pattern(width, height, static_cast<std::uint32_t>(width));
    testing::WritePpm(folder_ / "in.ppm", picture);
    for (int quality : {0, 1, 50, 90, 100}) {
      const std::string reference = folder_ / "reference.jpg";
      const std::string command = Format("%s -dct float -quality %d -baseline -outfile '%s' '%s'", kCjpeg, quality,
                                         reference.c_str(), (folder_ / "in.ppm").c_str());
      ASSERT_EQ(std::system(command.c_str()), 0) << command;
      quality_ = quality;
      qualityReads_ = 0;
      ASSERT_EQ(Save(folder_ / "out/a.jpg", picture), SaveResult::Ok);
      EXPECT_EQ(qualityReads_, 1);
      EXPECT_TRUE(ReadBytes(folder_ / "out/a.jpg") == ReadBytes(reference)) << width << "x" << height << " q" << quality;
    }
  }
  // libjpeg's quality scaling treats 0 as 1.
  const Bitmap picture = Pattern(33, 20);
  quality_ = 0;
  ASSERT_EQ(Save(folder_ / "q0.jpg", picture), SaveResult::Ok);
  quality_ = 1;
  ASSERT_EQ(Save(folder_ / "q1.jpg", picture), SaveResult::Ok);
  EXPECT_TRUE(ReadBytes(folder_ / "q0.jpg") == ReadBytes(folder_ / "q1.jpg"));
  EXPECT_TRUE(notices_.empty());
}

// ---- What the file holds ----

// The bit counts (codes of each length 1..16) of the four tables of the JPEG standard's Annex K.
constexpr std::uint8_t kDcLuminance[16] = {0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0};
constexpr std::uint8_t kDcChrominance[16] = {0, 3, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0};
constexpr std::uint8_t kAcLuminance[16] = {0, 2, 1, 3, 3, 2, 4, 3, 5, 5, 4, 4, 0, 0, 1, 0x7d};
constexpr std::uint8_t kAcChrominance[16] = {0, 2, 1, 2, 4, 4, 3, 4, 7, 5, 4, 4, 0, 1, 2, 0x77};

// Checks the layout of a saved file and returns the ICC profile its APP2 chunks carry.
Bytes CheckLayout(const Bytes& jpeg) {
  const std::vector<JpegSegment> segments = SegmentsOf(jpeg);
  Bytes profile;
  EXPECT_GE(segments.size(), 4u);
  if (segments.size() < 4) return profile;
  EXPECT_EQ(segments.front().marker, 0xD8);
  EXPECT_EQ(segments.back().marker, 0xD9);
  // JFIF 1.01, density unit 0 at 1 x 1, no thumbnail.
  EXPECT_EQ(segments[1].marker, 0xE0);
  EXPECT_EQ(Payload(jpeg, segments[1]), (Bytes{'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0}));
  int scans = 0, tables = 0;
  bool afterJfif = true;  // the ICC chunks come straight after the JFIF marker
  for (std::size_t i = 2; i + 1 < segments.size(); ++i) {
    const JpegSegment& segment = segments[i];
    const Bytes payload = Payload(jpeg, segment);
    if (segment.marker == 0xE2) {
      EXPECT_TRUE(afterJfif) << "APP2 after other segments";
      EXPECT_EQ(std::memcmp(payload.data(), "ICC_PROFILE\0", 12), 0);
      EXPECT_EQ(payload[12], static_cast<std::uint8_t>(profile.size() / 65519 + 1));  // chunks in order
      profile.insert(profile.end(), payload.begin() + 14, payload.end());
      continue;
    }
    afterJfif = false;
    switch (segment.marker) {
      case 0xDB: break;  // quantisation tables
      case 0xC0:         // baseline frame: 8 bits, three components sampled 2x2, 1x1, 1x1
        EXPECT_EQ(payload[0], 8);
        EXPECT_EQ(payload[5], 3);
        EXPECT_EQ(payload[7], 0x22);
        EXPECT_EQ(payload[10], 0x11);
        EXPECT_EQ(payload[13], 0x11);
        break;
      case 0xC4: {  // Huffman tables: the standard ones, in libjpeg's order
        static const std::uint8_t* const kStandard[] = {kDcLuminance, kAcLuminance, kDcChrominance, kAcChrominance};
        for (std::size_t at = 0; at < payload.size() && tables < 4; ++tables) {
          EXPECT_TRUE(std::equal(payload.begin() + static_cast<std::ptrdiff_t>(at) + 1,
                                 payload.begin() + static_cast<std::ptrdiff_t>(at) + 17, kStandard[tables]))
              << "table " << tables;
          int values = 0;
          for (int k = 0; k < 16; ++k) values += payload[at + 1 + static_cast<std::size_t>(k)];
          at += 17 + static_cast<std::size_t>(values);
        }
        break;
      }
      case 0xDA: ++scans; break;
      default: ADD_FAILURE() << "unexpected marker 0x" << std::hex << int(segment.marker);  // DRI, COM, APPn, SOF2...
    }
  }
  EXPECT_EQ(scans, 1);
  EXPECT_EQ(tables, 4);
  return profile;
}

TEST_F(JpegSave, WritesJfifBaselineAndTheProfileAndNothingElse) {
  const Bitmap picture = Pattern(50, 40);
  ASSERT_EQ(Save(folder_ / "plain.jpg", picture), SaveResult::Ok);
  EXPECT_TRUE(CheckLayout(ReadBytes(folder_ / "plain.jpg")).empty());
  // 150000 bytes take three chunks; they must join to exactly the profile given.
  Bytes profile(150000);
  for (std::size_t i = 0; i < profile.size(); ++i) profile[i] = static_cast<std::uint8_t>(i * 13 + i / 256);
  ASSERT_EQ(Save(folder_ / "profile.jpg", picture, profile), SaveResult::Ok);
  EXPECT_TRUE(CheckLayout(ReadBytes(folder_ / "profile.jpg")) == profile);
}

TEST_F(JpegSave, CarriesNothingOfTheInputButAnRgbProfile) {
  testing::JpegOptions input;
  input.grayscale = true;  // and saved as three components all the same
  input.orientation = 6;
  input.withComment = true;
  input.iccProfile = Bytes(200, 7);
  std::memcpy(input.iccProfile.data() + 16, "GRAY", 4);
  testing::WriteJpeg(folder_ / "in.jpg", 30, 20, input);
  Bitmap work, scratch;
  Bytes profile;
  ASSERT_EQ(LoadJpeg(folder_ / "in.jpg", work, scratch, profile), LoadResult::Ok);
  ASSERT_EQ(Save(folder_ / "out.jpg", work, profile), SaveResult::Ok);
  EXPECT_TRUE(CheckLayout(ReadBytes(folder_ / "out.jpg")).empty());
  EXPECT_EQ(testing::JpegSize(folder_ / "out.jpg"), std::make_pair(20, 30));  // stood upright by the load

  std::memcpy(input.iccProfile.data() + 16, "RGB ", 4);
  input.grayscale = false;
  testing::WriteJpeg(folder_ / "in.jpg", 30, 20, input);
  ASSERT_EQ(LoadJpeg(folder_ / "in.jpg", work, scratch, profile), LoadResult::Ok);
  ASSERT_EQ(Save(folder_ / "out.jpg", work, profile), SaveResult::Ok);
  EXPECT_TRUE(CheckLayout(ReadBytes(folder_ / "out.jpg")) == input.iccProfile);
}

// ---- Folders ----

TEST_F(JpegSave, RefusesPathsOfTwoBytesOrLess) {
  for (const char* path : {"", "a", "/a"}) EXPECT_EQ(Save(path, Pattern(8, 8)), SaveResult::PathTooShort) << path;
  EXPECT_EQ(notices_, std::vector<std::string>(3, text::kSaveNoFolder));
}

TEST_F(JpegSave, CreatesMissingFoldersAndLeavesTheCurrentFolderAlone) {
  ::umask(022);
  const std::string before = CurrentFolder();
  ASSERT_EQ(Save(folder_ / "one/two/three/a.jpg", Pattern(30, 20)), SaveResult::Ok);
  EXPECT_EQ(testing::JpegSize(folder_ / "one/two/three/a.jpg"), std::make_pair(30, 20));
  EXPECT_EQ(CurrentFolder(), before) << "workers open paths meanwhile: the process's folder stays";
  struct stat st {};
  ASSERT_EQ(::stat((folder_ / "one/two/three/a.jpg").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0644u);  // as any new file under the umask, not the 0600 of mkstemp
  // A doubled separator at the seam of folder and name.
  ASSERT_EQ(Save(folder_ / "out//b.jpg", Pattern(30, 20)), SaveResult::Ok);
  EXPECT_EQ(testing::JpegSize(folder_ / "out/b.jpg"), std::make_pair(30, 20));
  // A relative path is relative to the current folder.
  ASSERT_TRUE(SetCurrentFolder(folder_.Path()));
  ASSERT_EQ(Save("rel/c.jpg", Pattern(30, 20)), SaveResult::Ok);
  EXPECT_EQ(ListFilesBelow(folder_ / "rel"), std::vector<std::string>{"c.jpg"});
  EXPECT_TRUE(notices_.empty());
}

TEST_F(JpegSave, AFileInPlaceOfTheFolderCannotBeCreated) {
  testing::WriteText(folder_ / "file", "x");
  EXPECT_EQ(Save(folder_ / "file/a.jpg", Pattern(8, 8)), SaveResult::CannotCreateFolder);
  EXPECT_EQ(Save(folder_ / "file/sub/a.jpg", Pattern(8, 8)), SaveResult::CannotCreateFolder);
  EXPECT_EQ(notices_, (std::vector<std::string>{Format(text::kSaveCannotCreate, (folder_ / "file").c_str()),
                                                Format(text::kSaveCannotCreate, (folder_ / "file/sub").c_str())}));
}

// ---- Replacing, and failing without damage ----

TEST_F(JpegSave, ReplacesAnExistingFileWhole) {
  WriteBytes(folder_ / "a.jpg", Bytes(100000, 0xAB));
  ASSERT_EQ(Save(folder_ / "a.jpg", Pattern(40, 30)), SaveResult::Ok);
  EXPECT_EQ(testing::JpegSize(folder_ / "a.jpg"), std::make_pair(40, 30));
  EXPECT_EQ(ListFilesBelow(folder_.Path()), std::vector<std::string>{"a.jpg"});
}

TEST_F(JpegSave, AFolderOfTheTargetNameIsNotReplaced) {
  testing::MakeFolders(folder_ / "a.jpg/inside");
  EXPECT_EQ(Save(folder_ / "a.jpg", Pattern(8, 8)), SaveResult::WriteFailed);
  EXPECT_EQ(notices_, std::vector<std::string>{Format(text::kSaveWriteFailedBecause, std::strerror(EISDIR))});
  EXPECT_FALSE(TemporaryFileLeft());
  EXPECT_TRUE(FolderExists(folder_ / "a.jpg/inside"));
}

TEST_F(JpegSave, AWriteThatFailsHalfwayLeavesTheOldFileAndNoTemporaryFile) {
  // A file size limit stands in for a full disk: the first write is cut short (a partial write),
  // the next one fails with EFBIG. SIGXFSZ would end the process, so it is ignored meanwhile.
  const Bytes old(5000, 0x5A);
  WriteBytes(folder_ / "a.jpg", old);
  Bitmap noisy;
  testing::FillRandom(noisy, 300, 200, 9);  // about 150 KB at quality 100, more than the limit
  quality_ = 100;
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit limited = saved;
  limited.rlim_cur = 20000;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
  const SaveResult result = Save(folder_ / "a.jpg", noisy);
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_EQ(result, SaveResult::WriteFailed);
  EXPECT_EQ(notices_, std::vector<std::string>{Format(text::kSaveWriteFailedBecause, std::strerror(EFBIG))});
  EXPECT_TRUE(ReadBytes(folder_ / "a.jpg") == old);
  EXPECT_FALSE(TemporaryFileLeft());
}

TEST_F(JpegSave, ReadOnlyFolderAndReadOnlyTargetAreRefused) {
  if (::geteuid() == 0) GTEST_SKIP() << "running as root, for whom permission bits refuse nothing";
  testing::MakeFolders(folder_ / "locked");
  ASSERT_EQ(::chmod((folder_ / "locked").c_str(), 0555), 0);
  EXPECT_EQ(Save(folder_ / "locked/a.jpg", Pattern(8, 8)), SaveResult::WriteFailed);
  const Bytes old(300, 1);
  WriteBytes(folder_ / "kept.jpg", old);
  ASSERT_EQ(::chmod((folder_ / "kept.jpg").c_str(), 0444), 0);
  EXPECT_EQ(Save(folder_ / "kept.jpg", Pattern(8, 8)), SaveResult::WriteFailed);
  EXPECT_TRUE(ReadBytes(folder_ / "kept.jpg") == old);
  EXPECT_EQ(notices_, std::vector<std::string>(2, Format(text::kSaveWriteFailedBecause, std::strerror(EACCES))));
  EXPECT_FALSE(TemporaryFileLeft());
}

}  // namespace
}  // namespace phototrim
