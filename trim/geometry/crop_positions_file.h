// The crop positions file: a line "PATH<TAB>X<TAB>Y" per picture, read with limits, written sorted.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "trim/geometry/crop_positions.h"

namespace phototrim {

// Far beyond a line per photo of any real collection (about 150,000 lines), and small enough to read whole.
inline constexpr std::size_t kMaxPositionsFileBytes = std::size_t{16} << 20;

struct PositionsFileError {
  int line = 0;        // the faulty line, from 1; 0 for the file as a whole
  std::string reason;  // in Japanese, for the user
};

// Reads the lines of `text` into `positions`. Blank lines and lines starting with "#" are skipped, a
// CR before the line end and a UTF-8 byte order mark are allowed. A path is relative to the input
// folder, without "." or ".." names or empty ones; the same path twice is refused (which of the two
// was meant cannot be known). False, with nothing added, at the first faulty line.
bool ParseCropPositions(std::string_view text, CropPositions& positions, PositionsFileError& error);

// The same for a file: missing, unreadable, not a regular file, larger than kMaxPositionsFileBytes
// or holding control characters (a binary file) is refused with its reason.
bool ReadCropPositionsFile(const std::string& path, CropPositions& positions, PositionsFileError& error);

// "FILE:LINE: reason", or "FILE: reason" for the file as a whole.
std::string DescribePositionsError(const std::string& path, const PositionsFileError& error);

// The text of the positions, a line per picture in byte order of the paths, with a heading comment.
std::string CropPositionsText(const CropPositions& positions);

// Writes the text to `path` through a temporary file beside it, renamed over it once complete.
bool WriteCropPositionsFile(const std::string& path, const CropPositions& positions, std::string& reason);

}  // namespace phototrim
