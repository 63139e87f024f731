// The crop check's thumbnails, decoded on worker threads so that the window's own thread never waits.
#include "app/crop_check_thumbnails.h"

#include <cstring>
#include <sys/resource.h>
#include <unistd.h>

#include "platform/process_settings.h"
#include "trim/load_result.h"
#include "trim/thumbs/thumbnail_decode.h"

namespace phototrim::app {

namespace {

constexpr int kWorkerNice = 10;

// Decodes and fits one thumbnail; on the worker's thread, so the window's thread only draws it.
void Load(const std::string& path, QSize box, ThumbnailLoader::Loaded& loaded) {
  Thumbnail thumbnail;
  loaded.ok = DecodeThumbnail(path, std::max(box.width(), box.height()), thumbnail, loaded.reason) == LoadResult::Ok;
  if (!loaded.ok) return;
  loaded.width = thumbnail.width;
  loaded.height = thumbnail.height;
  const Bitmap& pixels = thumbnail.pixels;
  QImage image(pixels.Width(), pixels.Height(), QImage::Format_BGR888);
  for (int y = 0; y < pixels.Height(); ++y)
    std::memcpy(image.scanLine(y), pixels.Row(y), static_cast<std::size_t>(pixels.Width()) * 3);
  // Fitted by the whole picture's ratio, so that the crop frame drawn over it is where it will be.
  const QSize fitted = QSize(thumbnail.width, thumbnail.height).scaled(box, Qt::KeepAspectRatio).expandedTo({1, 1});
  loaded.image = image.scaled(fitted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                     .convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

}  // namespace

ThumbnailLoader::ThumbnailLoader(std::vector<std::string> paths, QSize box, int threads)
    : paths_(std::move(paths)), box_(box), taken_(paths_.size(), false) {
  for (int i = 0; i < std::max(threads, 1); ++i) workers_.emplace_back([this](std::stop_token stop) {
      phototrim::LeaveStopSignalsToTheMainThread();
      Work(stop);
    });
}

ThumbnailLoader::~ThumbnailLoader() {
  for (std::jthread& worker : workers_) worker.request_stop();
  wanted_.notify_all();
  workers_.clear();  // joins
}

void ThumbnailLoader::Want(std::vector<int> order) {
  pendingOrder_ = std::move(order);
  orderPending_ = true;
  HandOver();
}

void ThumbnailLoader::Release(int index) {
  if (index >= 0 && static_cast<std::size_t>(index) < paths_.size()) pendingReleases_.push_back(index);
}

void ThumbnailLoader::HandOver() {
  if (!orderPending_ && pendingReleases_.empty()) return;
  std::unique_lock lock(mutex_, std::try_to_lock);
  if (!lock.owns_lock()) return;
  for (const int index : pendingReleases_) taken_[static_cast<std::size_t>(index)] = false;
  pendingReleases_.clear();
  if (orderPending_) {
    queue_.clear();
    for (const int index : pendingOrder_)
      if (index >= 0 && static_cast<std::size_t>(index) < paths_.size()) queue_.push_back(index);
    orderPending_ = false;
    lock.unlock();
    wanted_.notify_all();
  }
}

std::vector<ThumbnailLoader::Loaded> ThumbnailLoader::TakeFinished() {
  HandOver();
  std::vector<Loaded> finished;
  std::unique_lock lock(mutex_, std::try_to_lock);
  if (lock.owns_lock()) finished.swap(finished_);
  return finished;
}

void ThumbnailLoader::Work(std::stop_token stop) {
  // Below the window's thread: on a busy machine the window still answers at once. (Linux sets
  // the nice value per thread.)
  ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), kWorkerNice);
  std::unique_lock lock(mutex_);
  while (true) {
    wanted_.wait(lock, stop, [this] { return !queue_.empty(); });
    if (stop.stop_requested()) return;
    const int index = queue_.front();
    queue_.pop_front();
    if (taken_[static_cast<std::size_t>(index)]) continue;
    taken_[static_cast<std::size_t>(index)] = true;
    ++decoding_;
    lock.unlock();
    Loaded loaded;
    loaded.index = index;
    Load(paths_[static_cast<std::size_t>(index)], box_, loaded);
    lock.lock();
    --decoding_;
    finished_.push_back(std::move(loaded));
  }
}

}  // namespace phototrim::app
