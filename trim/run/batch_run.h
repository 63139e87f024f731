// The batch run: every JPEG file of the input tree through load, skip, crop, reduce and save.
#pragma once

#include "trim/run/batch_host.h"
#include "trim/run/workspace.h"

namespace phototrim {

// How a run ended, in numbers, for hosts that answer with more than texts (an exit status).
struct RunSummary {
  bool started = false;  // false when a start check refused the run
  bool outputIsInput = false;  // refused because the output folder is the input folder
  // stopped by the abort (also while the files were being collected, before the run started), a
  // question answered はい, or memory running out outside the picture operations
  bool aborted = false;
  int SavedCount = 0;
  int ErrorCount = 0;
  int SkipCount = 0;
};

// Where the work of the files (load, crop, reduction, encode) is done: on the run's own thread when
// it has one job, or always on worker threads (a host whose thread must stay free for its events).
enum class WorkThreads { OwnForOneJob, Workers };

// Runs one whole batch (the Execute command) and returns when it has ended: the start checks (an
// output folder that is the input folder, in any spelling, is refused with `outputIsInput`), the
// collection (an output folder inside the input tree is left out of it), each file in list order with a question at every failure (はい stops), and the
// final text. Everything is shown through `host`; settings are read from it as the run needs them.
// On worker threads the work of up to `jobs` files is done ahead, each worker with a workspace of
// its own, while this thread asks, saves and shows everything in list order: the outcome, the files
// and every line are those of a one-at-a-time run. Settings that change meanwhile apply from the
// next file as they would one at a time: the run reads them when it takes a file (the quality when
// it saves it), and work done with others is done again. While it waits for a worker, or for a
// save done on a thread of its own, the run lets the host's events run every few milliseconds; an
// abort seen while it waits for a file's work stops the run at once, as at that file's start.
RunSummary RunBatch(Workspace& workspace, BatchHost& host, int jobs = 1,
                    WorkThreads threads = WorkThreads::OwnForOneJob);

// The output path of the file `path` of a run whose input folder text is `in` and output folder
// text `out`: `out`, a '/' when it has none at its end, and the tail of `path` after the byte length
// of `in`. Never cut: a path of more than 2047 bytes is the run's to refuse. `path` must not be
// shorter than `in`.
std::string ComposeOutputPath(const std::string& path, const std::string& in, const std::string& out);

}  // namespace phototrim
