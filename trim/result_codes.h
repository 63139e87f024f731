// Result codes of the picture and file operations: 0 is success, each failure a small negative value.
#pragma once

namespace phototrim {

inline constexpr int kOk = 0;

// Decoding a picture
inline constexpr int kLoadFailed = -2;  // unreadable, not a JPEG, corrupt, truncated, too large

// SaveJpeg
inline constexpr int kSavePathTooShort = -1;
inline constexpr int kSaveCannotCreateFolder = -2;
inline constexpr int kSaveCannotEnterFolder = -3;
inline constexpr int kSaveWriteFailed = -4;
// A file stands at the path, and the caller did not allow replacing it: it appeared after the
// caller looked (another run saving into the same folder). The caller asks, as for any existing file.
inline constexpr int kSaveTargetExists = -5;

// One file's work: the host stopped it (its abort seen by the high-quality reduction, or its
// cancel) before it was done; nothing of it is used.
inline constexpr int kStopped = -8;

// Any operation: the memory for a picture could not be had. The run reports it and ends.
inline constexpr int kOutOfMemory = -9;

}  // namespace phototrim
