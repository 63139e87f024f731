// The crop check's thumbnails, decoded on worker threads in the order the window asks for them.
#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <QImage>
#include <QSize>

namespace phototrim::app {

class ThumbnailLoader {
 public:
  struct Loaded {
    int index = 0;
    bool ok = false;
    QImage image;        // fitted into the box, ready to draw
    int width = 0;       // the whole picture, upright
    int height = 0;
    std::string reason;  // why it failed
  };

  // Starts `threads` workers over `paths`; each thumbnail is fitted into `box` device pixels.
  ThumbnailLoader(std::vector<std::string> paths, QSize box, int threads);
  ~ThumbnailLoader();
  ThumbnailLoader(const ThumbnailLoader&) = delete;
  ThumbnailLoader& operator=(const ThumbnailLoader&) = delete;

  // The pictures wanted next, most urgent first; replaces what was wanted before (a picture being
  // decoded is finished either way). Each picture is decoded once, until it is released. Handed
  // over at once or at the next TakeFinished.
  void Want(std::vector<int> order);
  // The window let go of this thumbnail: it is decoded again when it is wanted again.
  void Release(int index);
  // The thumbnails finished since the last call. The window's thread never waits here: a worker
  // holding the lock (and preempted, at its lower priority) only delays them to the next call.
  std::vector<Loaded> TakeFinished();

 private:
  void Work(std::stop_token stop);
  // Hands the wanted order and the released pictures to the workers if the lock is free now.
  void HandOver();

  const std::vector<std::string> paths_;
  const QSize box_;
  std::mutex mutex_;
  std::condition_variable_any wanted_;
  std::deque<int> queue_;
  std::vector<bool> taken_;  // given to a worker already (a later Want may ask for it again)
  std::vector<Loaded> finished_;
  int decoding_ = 0;
  // The window's side, not shared: what is still to be handed over.
  bool orderPending_ = false;
  std::vector<int> pendingOrder_;
  std::vector<int> pendingReleases_;
  std::vector<std::jthread> workers_;  // last: they stop and join before the rest goes
};

}  // namespace phototrim::app
