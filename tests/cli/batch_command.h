// Runs the real phototrim-batch from a test, with both streams and the exit status captured.
#pragma once

#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <vector>

#include "support/test_folder.h"

namespace phototrim::cli {

struct CommandResult {
  int status = -1;
  std::string out, err;
};

inline std::string ReadText(const std::string& path) {
  const auto bytes = testing::ReadBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

// Runs the command in `cwd` (the test folder when empty) with the arguments; the streams go
// through files in the test folder. `before` and `after` are shell text put around the command
// (a wrapper or settings before it, more redirections after it).
inline CommandResult RunBatchCommand(const testing::TestFolder& folder, const std::vector<std::string>& args,
                                     const std::string& cwd = "", const std::string& before = "",
                                     const std::string& after = "") {
  std::string command = "cd '" + (cwd.empty() ? folder.Path() : cwd) + "' && " + before + " '" PHOTOTRIM_BATCH_EXE "'";
  for (const std::string& arg : args) command += " '" + arg + "'";
  command += " > '" + (folder / "stdout.txt") + "' 2> '" + (folder / "stderr.txt") + "' < /dev/null " + after;
  CommandResult result;
  const int raw = std::system(command.c_str());
  result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  result.out = ReadText(folder / "stdout.txt");
  result.err = ReadText(folder / "stderr.txt");
  return result;
}

}  // namespace phototrim::cli
