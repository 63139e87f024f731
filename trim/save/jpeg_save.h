// SaveJpeg: encodes the working bitmap into one output file, creating its folder, never half-written.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

#include "trim/bitmap.h"
#include "trim/codec/jpeg_encode.h"
#include "trim/save/encoded_jpeg.h"
#include "trim/save/file_calls.h"
#include "trim/save/folder_flushes.h"
#include "trim/save/leftover_sweep.h"
#include "trim/save/written_outputs.h"

namespace phototrim {

// How a save ended. Every failure but TargetExists shows its notice first.
enum class SaveResult {
  Ok,
  PathTooShort,        // two bytes or fewer: no folder is named
  CannotCreateFolder,  // a level of the folder could not be made
  CannotEnterFolder,   // made, but it cannot be opened
  WriteFailed,         // encoding, writing, flushing or naming the file failed, or it was refused
  TargetExists,        // a file appeared at the path and may not be replaced (see SaveJpegHost)
  Stopped,             // the host gave the save up: nothing is written, no notice is shown
};

struct SaveJpegHost {
  std::function<int()> readQuality;                        // read once, just before encoding
  std::function<void(const std::string&)> showNotice;      // a modal notice with an OK button
  LeftoverSweeps* sweeps = nullptr;  // a run's record of folders swept for leftovers, if any
  // A run's record of folders to flush at its end; without one, the save flushes its folder itself.
  FolderFlushes* folderFlushes = nullptr;
  const FileCalls* calls = nullptr;  // the system's own calls when null
  // Receives the system's words for a failure ("Read-only file system"), or ours where no system
  // call failed; empty for a path too short, or an encoder that gave up on its own. The notice of
  // a failed write (WriteFailed) carries it already.
  std::string* reason = nullptr;
  const JpegMarkers* markers = nullptr;  // Exif and print resolution asked for, if any
  // Whether a file that stands at the path may be replaced. Without it, a file that appeared since
  // the caller looked is left as it is, and the save returns TargetExists without a notice.
  bool mayReplace = true;
  // A run's outputs: never replaced, even where replacing is allowed (WriteFailed).
  WrittenOutputs* written = nullptr;
  // The most a new file may allow, within the umask (an existing file's own permissions pass on).
  mode_t newFileMode = 0666;
  // Asked between pieces of the file as it is encoded; true gives the save up: nothing is written,
  // no notice is shown, and the result is Stopped.
  std::function<bool()> cancelled = nullptr;
};

// Writes `picture` as a baseline JFIF file (density unit 0 at 1 x 1, 2x2/1x1/1x1 sampling, the float
// FDCT, standard Huffman tables, the host's quality with baseline forced) to `path`, with the ICC
// profile when `colorProfile` is not empty and no other marker. The folder part of the path is
// opened, or created with all missing levels; the current folder stays as it is. The file is written
// to a temporary file in that folder, flushed to disk and renamed over the target only when
// complete; on failure the temporary file is removed and an existing target is untouched. Each
// failure shows its notice and returns what failed; TargetExists shows none (see SaveJpegHost).
SaveResult SaveJpeg(const std::string& path, const Bitmap& picture, const std::vector<std::uint8_t>& colorProfile,
                    const SaveJpegHost& host);

// SaveJpeg for a picture encoded ahead: the same folder steps, notices and results, and the same
// whole-or-nothing write; an EncodedJpeg that holds nothing fails as a failed encode does (WriteFailed).
SaveResult SaveEncodedJpeg(const std::string& path, const EncodedJpeg& encoded, const SaveJpegHost& host);

}  // namespace phototrim
