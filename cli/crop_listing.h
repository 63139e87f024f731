// --crop-positions and --print-crops: the positions file of a run, and the crops a run would make.
#pragma once

#include <cstdio>
#include <string>

#include "cli/options.h"
#include "trim/geometry/crop_positions.h"

namespace phototrim::cli {

// Reads the file of --crop-positions, if any. False with "FILE:LINE: reason" in `error`.
bool LoadCropPositions(const Options& options, CropPositions& positions, std::string& error);

// With --crop-focus faces: for every collected picture that `positions` does not name, the position
// that centres its frame on its faces (the centre when none is found), found on `jobs` threads; the
// result does not depend on their number. False when the face detector cannot be loaded.
bool AddFaceFocus(const Options& options, CropPositions& positions, int jobs, std::FILE* err);

// Writes a line per collected picture, in the run's order, to `out`:
//   PATH  X  Y  LEFT  TOP  WIDTH  HEIGHT  PICTURE_WIDTH  PICTURE_HEIGHT    (TAB between fields)
// with the crop rectangle on the upright picture, or after X and Y one word: "skip" (small picture
// that the run skips), "refused" (no crop can be made), "unreadable" (reason on `err`). The first
// three fields are a positions file. Returns the exit status: 1 when a picture is unreadable or a
// folder cannot be read.
int PrintCrops(const Options& options, const CropPositions& positions, std::FILE* out, std::FILE* err);

// The report of a position that names no picture of the run.
std::string UnmatchedPositionText(const Options& options, const std::string& relativePath, int line);

}  // namespace phototrim::cli
