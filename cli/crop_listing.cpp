// The positions file of phototrim-batch, and the listing of the crops a run would make.
#include "cli/crop_listing.h"

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include "trim/codec/heif_decoder.h"
#include "trim/codec/jpeg_decoder.h"
#include "trim/geometry/orientation.h"
#include "trim/collect/collect_jpeg_files.h"
#include "trim/collect/heif_names.h"
#include "trim/faces/face_focus.h"
#include "trim/format.h"
#include "trim/geometry/crop.h"
#include "trim/geometry/crop_positions_file.h"
#include "trim/load_result.h"

namespace phototrim::cli {

bool LoadCropPositions(const Options& options, CropPositions& positions, std::string& error) {
  if (options.cropPositionsFile.empty()) return true;
  PositionsFileError fault;
  if (ReadCropPositionsFile(options.cropPositionsFile, positions, fault)) return true;
  error = DescribePositionsError(options.cropPositionsFile, fault);
  return false;
}

std::string UnmatchedPositionText(const Options& options, const std::string& relativePath, int line) {
  return Format("%s:%d: 入力フォルダにない写真です（この行は使われません）: %s", options.cropPositionsFile.c_str(), line,
                relativePath.c_str());
}

namespace {

std::vector<std::string> CollectedFiles(const Options& options, std::FILE* err, int* unreadableFolders) {
  std::vector<std::string> files;
  FolderCounters counters;
  const CollectWatch watch{{}, [&](const std::string& folder, int error) {
                             std::fprintf(err, "フォルダを読み込めませんでした: %s: %s\n", folder.c_str(), std::strerror(error));
                             if (unreadableFolders) ++*unreadableFolders;
                           }};
  // As the run collects: HEIF files with --heic, the output folder left out where it lies inside.
  CollectJpegFiles(options.inputFolder, files, counters, [&] { return options.noSubfolders; }, watch,
                   options.outputFolder, options.heif);
  return files;
}

// The upright size a run crops the picture at `path` by, read from its header alone. False with
// the decoder's reason when it cannot be read.
bool UprightSize(const std::string& path, int& W, int& H, std::string& reason) {
  if (HasHeifExtension(path)) {
    HeifDecoder decoder;
    if (decoder.OpenFile(path, LoadLimits{}) != LoadResult::Ok) {
      reason = decoder.Reason();
      return false;
    }
    W = decoder.Width(), H = decoder.Height();  // libheif's, upright
    return true;
  }
  JpegDecoder decoder;
  if (decoder.OpenFile(path, LoadLimits{}) != LoadResult::Ok) {
    reason = decoder.Reason();
    return false;
  }
  const bool turned = AxesOf(decoder.Orientation()).turned;
  W = turned ? decoder.Height() : decoder.Width();
  H = turned ? decoder.Width() : decoder.Height();
  return true;
}

}  // namespace

bool AddFaceFocus(const Options& options, CropPositions& positions, int jobs, std::FILE* err) {
  if (!options.focusFaces) return true;
  const std::vector<std::string> files = CollectedFiles(options, err, nullptr);
  std::vector<std::size_t> wanted;
  for (std::size_t i = 0; i < files.size(); ++i)
    if (!positions.Entries().count(RelativeToFolder(files[i], options.inputFolder))) wanted.push_back(i);
  const TargetSize pair = ComputeTargetSize(options.size);
  std::vector<CropPosition> found(wanted.size(), kCentred);
  std::atomic<std::size_t> next{0};
  std::atomic<bool> ready{true};
  {
    // Each thread its own detector; each picture's result goes to its own slot.
    std::vector<std::jthread> threads;
    for (int t = 0; t < std::max(1, std::min<int>(jobs, static_cast<int>(wanted.size()))); ++t)
      threads.emplace_back([&] {
        FaceFinder finder;
        if (!finder.Ready()) {
          ready = false;
          return;
        }
        for (std::size_t k = next++; k < wanted.size(); k = next++) found[k] = finder.FocusOf(files[wanted[k]], pair).value_or(kCentred);
      });
  }
  if (!ready) {
    std::fprintf(err, "顔検出の準備ができません（%s を読めません。opencv-data パッケージが必要です）。\n", kFaceCascadePath);
    return false;
  }
  for (std::size_t k = 0; k < wanted.size(); ++k)
    positions.Set(RelativeToFolder(files[wanted[k]], options.inputFolder), found[k]);
  return true;
}

int PrintCrops(const Options& options, const CropPositions& positions, std::FILE* out, std::FILE* err) {
  int unreadableFolders = 0;
  const std::vector<std::string> files = CollectedFiles(options, err, &unreadableFolders);
  int status = unreadableFolders > 0 ? kExitFinishedWithErrors : kExitFinished;
  std::vector<std::string> unmatched;
  const std::vector<CropPosition> places = PlaceEach(positions, files, options.inputFolder, &unmatched);
  for (const std::string& relative : unmatched)
    std::fprintf(err, "%s\n", UnmatchedPositionText(options, relative, positions.Entries().at(relative).line).c_str());

  const TargetSize pair = ComputeTargetSize(options.size);
  for (std::size_t i = 0; i < files.size(); ++i) {
    const CropPosition place = places.empty() ? kCentred : places[i];
    std::string line = RelativeToFolder(files[i], options.inputFolder) + '\t' + FormatPercent(place.x) + '\t' +
                       FormatPercent(place.y) + '\t';
    int W = 0, H = 0;
    std::string reason;
    if (!UprightSize(files[i], W, H, reason)) {
      std::fprintf(err, "%s: %s\n", files[i].c_str(), reason.c_str());
      status = kExitFinishedWithErrors;
      line += "unreadable";
    } else {
      const CropDecision crop = DecideCrop(W, H, pair, place, !options.noSizeLimit);
      if (options.skipSmall && SmallPicture(W, H)) {
        line += "skip";
      } else if (crop.check != CropCheck::Ok) {
        line += "refused";
      } else {
        line += Format("%d\t%d\t%d\t%d\t%d\t%d", crop.kept.x, crop.kept.y, crop.kept.width, crop.kept.height, W, H);
      }
    }
    std::fprintf(out, "%s\n", line.c_str());
  }
  return status;
}

}  // namespace phototrim::cli
