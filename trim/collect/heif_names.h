// HEIF inputs among the collected files: which names they are, and the output names they get.
#pragma once

#include <string>
#include <vector>

namespace phototrim {

// Whether a file name ends in ".heic", ".heif" or ".hif", in any letter case.
bool HasHeifExtension(const std::string& name);

// For each collected path, the path whose name the output takes: a JPEG input's own; for a HEIF
// input, its name with the extension replaced by ".jpg" (IMG_0001.HEIC: IMG_0001.jpg). When another
// input of the same folder already gives that name, compared without regard to letter case (the
// output may be on a file system that folds it), or an earlier HEIF input in byte order does, the
// HEIF input keeps its whole name and gets ".jpg" appended (IMG_0001.HEIC.jpg). Empty when that too
// is taken: no output overwrites another input's output.
std::vector<std::string> OutputNamePaths(const std::vector<std::string>& paths);

}  // namespace phototrim
