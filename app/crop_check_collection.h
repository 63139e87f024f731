// The crop check's pictures, collected on a thread of their own: a folder of thousands of files on
// a slow disk would otherwise hold the window still until its listing ends.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace phototrim::app {

class PictureCollection {
 public:
  // What a run started now would collect: its input folder, switches and output folder.
  struct Source {
    std::string root;
    bool noSubfolders = false;
    bool heif = false;
    std::string leaveOut;  // the output folder, left out where it lies inside the tree
    bool operator==(const Source&) const = default;
  };

  // Starts collecting at once, with the engine's collection; `ended` is called on the collection's
  // thread when it has ended (it may be empty).
  PictureCollection(Source source, std::function<void()> ended);
  // Stops the collection at its next entry and waits for it (at most one folder's listing).
  ~PictureCollection();
  PictureCollection(const PictureCollection&) = delete;
  PictureCollection& operator=(const PictureCollection&) = delete;

  const Source& From() const { return source_; }
  bool Done() const { return done_.load(std::memory_order_acquire); }
  // Pictures found so far, for the window to show while it waits.
  int Found() const { return found_.load(std::memory_order_relaxed); }
  // The collected paths in the run's order, once Done(); the list is handed over once.
  std::vector<std::string> Take();

 private:
  const Source source_;
  std::vector<std::string> paths_;  // the thread's alone until done_
  std::atomic<bool> done_{false};
  std::atomic<int> found_{0};
  std::jthread thread_;  // last: it stops and joins before the rest goes
};

}  // namespace phototrim::app
