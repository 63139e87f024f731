// phototrim-batch: runs one batch over a folder tree from the command line.
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

#include "cli/crop_listing.h"
#include "cli/options.h"
#include "cli/terminal_host.h"
#include "cli/terminal_text.h"
#include "platform/file_system.h"
#include "platform/path_text.h"
#include "platform/standard_streams.h"
#include "trim/messages.h"
#include "trim/reduce/reduction_kernels.h"
#include "trim/run/batch_run.h"
#include "trim/run/process_start.h"

namespace {

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

volatile std::sig_atomic_t stopRequested = 0;

// The first Ctrl-C, SIGTERM or SIGHUP asks the run to stop like the window's Abort button (the
// picture being saved is finished or left untouched, no temporary file stays); a second one ends
// the process at once (a save in progress leaves its temporary file, which the next run removes).
void OnStopSignal(int) {
  stopRequested = 1;
  struct sigaction byDefault {};
  byDefault.sa_handler = SIG_DFL;
  for (const int signal : kStopSignals) ::sigaction(signal, &byDefault, nullptr);  // safe in a handler
}

void CatchStopSignals() {
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;  // a write or flush in progress goes on rather than fail
  for (const int signal : kStopSignals) ::sigaction(signal, &action, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  using namespace phototrim;
  using namespace phototrim::cli;
  EnsureStandardStreams();
  PrepareProcessForRuns();
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
    // The second line names the vector instructions the reduction runs on (PHOTOTRIM_SIMD may lower them).
    std::printf("phototrim-batch %s\n縮小の命令セット: %s\n", PHOTOTRIM_VERSION, KernelSetName(BestKernelSet()));
    return kExitFinished;
  }
  // A positions file that cannot be used stops the command before anything is written. It is read
  // before the input folder becomes the current one: its path is relative to where the command started.
  CropPositions positions;
  if (!LoadCropPositions(options, positions, error)) {
    std::fprintf(stderr, "phototrim-batch: %s\n", error.c_str());
    return kExitUsage;
  }
  // The folders are fixed once, whatever the current folder becomes (entering the input below).
  // The input folder is stored with its separator, as the window's folder picker does, so that the
  // mirrored paths have a single one at the seam.
  options.inputFolder = AbsolutePath(options.inputFolder);
  if (EndsWithSeparator(options.inputFolder) != 1) options.inputFolder += '/';
  options.outputFolder = AbsolutePath(options.outputFolder);
  // Entering the folder is the test that it can be used, as for the window's folder picker.
  if (!SetCurrentFolder(options.inputFolder)) {
    const std::string reason = options.inputFolder + ": " + std::strerror(errno);
    std::fprintf(stderr, "%s\n%s\n", text::kInputFolderUnusable,
                 (::isatty(STDERR_FILENO) ? EscapeControls(reason, false) : reason).c_str());
    return kExitRefused;
  }

  const long cores = ::sysconf(_SC_NPROCESSORS_ONLN);
  const int jobs = options.jobs > 0 ? options.jobs : static_cast<int>(std::clamp(cores, 1L, 256L));
  if (!AddFaceFocus(options, positions, jobs, stderr)) return kExitRefused;
  if (options.printCrops) return PrintCrops(options, positions, stdout, stderr);

  CatchStopSignals();
  // A reader of the log that goes away (… | head) makes the writes fail, not the run end.
  std::signal(SIGPIPE, SIG_IGN);
  const bool showProgress = options.progress == ProgressDisplay::On ||
                            (options.progress == ProgressDisplay::Auto && !options.quiet && ::isatty(STDERR_FILENO));
  Workspace workspace;
  TerminalHost host(options, workspace, stopRequested, stdout, stderr, showProgress);
  host.SetCropPlaces(std::move(positions));
  const RunSummary summary = RunBatch(workspace, host, jobs);
  if (summary.aborted) return kExitStopped;
  if (summary.outputIsInput) return kExitOutputIsInput;
  if (!summary.started) return kExitRefused;
  if (host.LogError() != 0) {
    std::fprintf(stderr, "%s: %s\n", text::kLogLost, std::strerror(host.LogError()));
    return kExitLogLost;
  }
  // Files that were never met are as missing from the output as files that failed.
  return summary.ErrorCount > 0 || host.UnreadableFolders() > 0 ? kExitFinishedWithErrors : kExitFinished;
}
