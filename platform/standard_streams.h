// Makes sure the standard streams are open, before a program opens anything else.
#pragma once

namespace phototrim {

// Opens /dev/null on each of descriptors 0, 1 and 2 that is closed. A program started with one of
// them closed would otherwise give that number to the next file it opens, an output picture
// perhaps, and its log lines would be written into the picture. Call first thing in main().
void EnsureStandardStreams();

}  // namespace phototrim
