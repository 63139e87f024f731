// Settings of the whole process that only a program's main makes, once, before its first thread.
#pragma once

namespace phototrim {

// A write past the file size limit (ulimit -f) then fails with EFBIG, like a full disk, instead of
// killing the process by SIGXFSZ with its temporary file left behind.
void IgnoreFileSizeLimitSignal();

// Threads made after this get stacks of a fixed, ample size: by default their size follows the
// main thread's limit (ulimit -s), and a small one there would crash the workers deep in a decode.
void GiveThreadsFixedStacks();

}  // namespace phototrim
