// What a run refuses before it touches anything: a fixed size that is no whole number, an output
// folder that would replace the originals or could never take a file.
#pragma once

#include <string>

#include "trim/geometry/size_table.h"

namespace phototrim {

// True when the fixed pixel size is in force (both texts typed) and either text is anything but a
// whole number of 1 or more in plain decimal digits ("800px", " 800", "0x20", "+800", "0").
bool FixedSizeUnusable(const SizeSettings& size);

enum class OutputFolderFault {
  None,
  SameAsInput,  // the same folder, by identity: every output would replace its original
  NotAFolder,   // the path, or the nearest part of it that exists, is a file
  ReadOnly,     // on a file system mounted read-only
};

// Checks the output folder against the input folder by identity (device and inode), so that any
// spelling of one folder ("in/.", "./in", "in//", a symbolic link) is the same. An output folder
// still to be made is judged by the nearest folder above it that exists.
OutputFolderFault CheckOutputFolder(const std::string& input, const std::string& output);

}  // namespace phototrim
