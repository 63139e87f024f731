// phototrim-batch: runs one batch over a folder tree from the command line.
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

#include "cli/options.h"
#include "cli/terminal_host.h"
#include "platform/file_system.h"
#include "platform/path_text.h"
#include "trim/run/batch_run.h"

namespace {

volatile std::sig_atomic_t interrupted = 0;

// The first Ctrl-C asks the run to stop like the window's Abort button; a second one ends the
// process at once (a save in progress leaves no half-written picture, only its temporary file).
void OnInterrupt(int) {
  interrupted = 1;
  std::signal(SIGINT, SIG_DFL);
}

}  // namespace

int main(int argc, char** argv) {
  using namespace phototrim;
  using namespace phototrim::cli;
  Options options;
  std::string error;
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (!ParseOptions(args, options, error)) {
    std::fprintf(stderr, "phototrim-batch: %s\n使い方は phototrim-batch --help で表示できます。\n", error.c_str());
    return kExitUsage;
  }
  if (options.help) {
    std::fputs(HelpText().c_str(), stdout);
    return kExitFinished;
  }
  if (options.version) {
    std::printf("phototrim-batch %s\n", PHOTOTRIM_VERSION);
    return kExitFinished;
  }
  // Saving makes each output folder the current folder, so relative folders are fixed first.
  // The input folder is stored with its separator, as the window's folder picker does, so that the
  // mirrored paths have a single one at the seam.
  options.inputFolder = AbsolutePath(options.inputFolder);
  if (EndsWithSeparator(options.inputFolder) != 1) options.inputFolder += '/';
  options.outputFolder = AbsolutePath(options.outputFolder);

  std::signal(SIGINT, OnInterrupt);
  const bool showProgress = options.progress == ProgressDisplay::On ||
                            (options.progress == ProgressDisplay::Auto && !options.quiet && ::isatty(STDERR_FILENO));
  Workspace workspace;
  TerminalHost host(options, workspace, interrupted, stdout, stderr, showProgress);
  const long cores = ::sysconf(_SC_NPROCESSORS_ONLN);
  const int jobs = options.jobs > 0 ? options.jobs : static_cast<int>(std::clamp(cores, 1L, 256L));
  const RunSummary summary = RunBatch(workspace, host, jobs);
  if (!summary.started) return kExitRefused;
  if (summary.aborted) return kExitStopped;
  return summary.ErrorCount > 0 ? kExitFinishedWithErrors : kExitFinished;
}
