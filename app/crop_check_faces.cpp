// 顔に合わせる: the faces of the chosen pictures, found aside so that the window keeps answering.
#include "app/crop_check_faces.h"

#include "trim/faces/face_focus.h"

namespace phototrim::app {

FaceFocusWork::FaceFocusWork(std::vector<std::pair<int, std::string>> pictures, TargetSize pair)
    : total_(static_cast<int>(pictures.size())),
      thread_([this, pictures = std::move(pictures), pair](std::stop_token stop) {
        FaceFinder finder;
        if (!finder.Ready()) {
          std::lock_guard lock(mutex_);
          missing_ = done_ = true;
          return;
        }
        for (const auto& [index, path] : pictures) {
          if (stop.stop_requested()) break;
          const std::optional<CropPosition> place = finder.FocusOf(path, pair);
          std::lock_guard lock(mutex_);
          if (place) found_.push_back({index, *place});
          ++finished_;
        }
        std::lock_guard lock(mutex_);
        done_ = true;
      }) {}

FaceFocusWork::~FaceFocusWork() = default;

std::vector<FaceFocusWork::Placed> FaceFocusWork::TakeFound() {
  std::lock_guard lock(mutex_);
  std::vector<Placed> found;
  found.swap(found_);
  return found;
}

bool FaceFocusWork::Done() {
  std::lock_guard lock(mutex_);
  return done_;
}

bool FaceFocusWork::DetectorMissing() {
  std::lock_guard lock(mutex_);
  return missing_;
}

int FaceFocusWork::Finished() {
  std::lock_guard lock(mutex_);
  return finished_;
}

}  // namespace phototrim::app
