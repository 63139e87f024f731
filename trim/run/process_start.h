// What a program that hosts batch runs sets up once in its main, before anything else of the engine.
#pragma once

namespace phototrim {

// The heap keeps memory between pictures (platform/process_settings.h), a write past `ulimit -f` is one file's
// failure (EFBIG), and threads have stacks of their own size. The engine changes none of this itself.
void PrepareProcessForRuns();

}  // namespace phototrim
