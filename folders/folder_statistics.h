// The folder statistics: the status text of a scan of the input folder (the scan is folders::ScanFolder).
#pragma once

#include <string>

#include "trim/collect/collect_jpeg_files.h"

namespace phototrim::folders {

// "サブフォルダ数 s  全ファイル数 f   JPEGファイル数 j" for the counters of a scan.
std::string FolderStatusText(const FolderCounters& counters);

}  // namespace phototrim::folders
