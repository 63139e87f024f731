// The names of our temporary files, ".phototrim-<pid>-XXXXXX.tmp": made by a save, read by the sweep.
#pragma once

#include <string>
#include <string_view>
#include <sys/types.h>

namespace phototrim {

// A new name for a temporary file of this process; `attempt` counts the tries after a name was taken.
// Hidden, recognisable as ours when a crash leaves it, and not ".jpg", so that no run ever collects it.
std::string TemporaryName(int attempt);

// The process id in a name of ours; 0 for any other name.
pid_t TemporaryNameOwner(std::string_view name);

}  // namespace phototrim
