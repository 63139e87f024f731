// 顔に合わせる in the crop check window: faces looked for on a thread of their own, results taken in turn.
#pragma once

#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "trim/geometry/crop_position.h"
#include "trim/geometry/size_table.h"

namespace phototrim::app {

class FaceFocusWork {
 public:
  // Looks for the faces of each (index, path) under `pair`, in order, on a thread of its own. A
  // picture without a face found gives no position: its frame stays where it is.
  FaceFocusWork(std::vector<std::pair<int, std::string>> pictures, TargetSize pair);
  ~FaceFocusWork();  // stops after the picture in hand

  struct Placed {
    int index;
    CropPosition place;
  };
  // The positions found since the last call.
  std::vector<Placed> TakeFound();
  bool Done();
  // True when no detector could be loaded.
  bool DetectorMissing();
  int Total() const { return total_; }
  int Finished();

 private:
  const int total_;
  std::mutex mutex_;
  std::vector<Placed> found_;
  int finished_ = 0;
  bool done_ = false;
  bool missing_ = false;
  std::jthread thread_;  // last: it stops and joins before the rest goes
};

}  // namespace phototrim::app
