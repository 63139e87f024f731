// The positions file of phototrim-batch, and the listing of the crops a run would make.
#include "cli/crop_listing.h"

#include <cstring>
#include <vector>

#include "trim/codec/jpeg_decoder.h"
#include "trim/codec/orientation.h"
#include "trim/collect/collect_jpeg_files.h"
#include "trim/format.h"
#include "trim/geometry/crop.h"
#include "trim/geometry/crop_positions_file.h"
#include "trim/result_codes.h"

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

int PrintCrops(const Options& options, const CropPositions& positions, std::FILE* out, std::FILE* err) {
  int status = kExitFinished;
  std::vector<std::string> files;
  FolderCounters counters;
  const CollectWatch watch{{}, [&](const std::string& folder, int error) {
                             std::fprintf(err, "フォルダを読み込めませんでした: %s: %s\n", folder.c_str(), std::strerror(error));
                             status = kExitFinishedWithErrors;
                           }};
  CollectJpegFiles(options.inputFolder, files, counters, [&] { return options.noSubfolders; }, watch);
  std::vector<std::string> unmatched;
  const std::vector<CropPosition> places = PlaceEach(positions, files, options.inputFolder, &unmatched);
  for (const std::string& relative : unmatched)
    std::fprintf(err, "%s\n", UnmatchedPositionText(options, relative, positions.Entries().at(relative).line).c_str());

  const TargetSize pair = ComputeTargetSize(options.size);
  for (std::size_t i = 0; i < files.size(); ++i) {
    const CropPosition place = places.empty() ? kCentred : places[i];
    std::string line = RelativeToFolder(files[i], options.inputFolder) + '\t' + FormatPercent(place.x) + '\t' +
                       FormatPercent(place.y) + '\t';
    JpegDecoder decoder;
    if (decoder.OpenFile(files[i], LoadLimits{}) != kOk) {
      std::fprintf(err, "%s: %s\n", files[i].c_str(), decoder.Reason().c_str());
      status = kExitFinishedWithErrors;
      line += "unreadable";
    } else {
      const bool turned = AxesOf(decoder.Orientation()).turned;
      const int W = turned ? decoder.Height() : decoder.Width();
      const int H = turned ? decoder.Width() : decoder.Height();
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
