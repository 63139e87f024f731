// How loading a picture ended: the decode of its file and the rows taken to where they go.
// Shared by the decoders and the sinks that take their rows.
#pragma once

namespace phototrim {

enum class LoadResult {
  Ok,
  Failed,       // unreadable, not a picture, corrupt, truncated, too large; the decoder says why
  OutOfMemory,  // the memory for the picture could not be had: this file fails, the run goes on
  Stopped,      // the host stopped the work before it was done; nothing of it is used
};

}  // namespace phototrim
