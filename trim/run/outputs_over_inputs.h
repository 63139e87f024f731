// Which files of a run's list are written over by the run itself, found by folder identity.
#pragma once

#include <string>
#include <vector>

namespace phototrim {

// For each file of `files` (the list collected from `in`), the index of the file of the same list
// that its output under `out` replaces, or -1. Paths are compared by the identity (device, inode)
// of their folder and by name, so any spelling of a folder, symbolic links included, is the same
// folder. A folder that does not exist yet holds no file of the list.
// `namedAs`, when given, holds for each file the path whose tail names its output (heif_names.h).
std::vector<int> OutputsOverInputs(const std::vector<std::string>& files, const std::string& in,
                                   const std::string& out, const std::vector<std::string>& namedAs = {});

}  // namespace phototrim
