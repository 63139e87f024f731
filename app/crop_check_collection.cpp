// The crop check's collection on a thread: the engine's CollectJpegFiles, stoppable between entries.
#include "app/crop_check_collection.h"

#include "platform/process_settings.h"
#include "trim/collect/collect_jpeg_files.h"

namespace phototrim::app {

PictureCollection::PictureCollection(Source source, std::function<void()> ended) : source_(std::move(source)) {
  thread_ = std::jthread([this, ended = std::move(ended)](std::stop_token stop) {
    LeaveStopSignalsToTheMainThread();
    FolderCounters counters;
    CollectWatch watch;
    watch.stop = [this, &stop] {
      found_.store(static_cast<int>(paths_.size()), std::memory_order_relaxed);
      return stop.stop_requested();
    };
    // The switches as they were when 確認… was clicked: the window's controls are not read here.
    const bool noSubfolders = source_.noSubfolders;
    CollectJpegFiles(source_.root, paths_, counters, [noSubfolders] { return noSubfolders; }, watch,
                     source_.leaveOut, source_.heif);
    found_.store(static_cast<int>(paths_.size()), std::memory_order_relaxed);
    done_.store(true, std::memory_order_release);
    if (ended) ended();
  });
}

PictureCollection::~PictureCollection() = default;  // the jthread asks for the stop and joins

std::vector<std::string> PictureCollection::Take() {
  if (!Done()) return {};
  return std::move(paths_);
}

}  // namespace phototrim::app
