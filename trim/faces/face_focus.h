// Faces in a photo, found with OpenCV's frontal-face cascade (Debian's opencv-data), and the crop
// position that keeps them in the frame.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "trim/bitmap.h"
#include "trim/geometry/crop_position.h"
#include "trim/geometry/size_table.h"

namespace phototrim {

// One detector; not to be shared between threads (each worker has its own).
class FaceFinder {
 public:
  FaceFinder();
  ~FaceFinder();
  FaceFinder(const FaceFinder&) = delete;
  FaceFinder& operator=(const FaceFinder&) = delete;

  // False when the cascade file cannot be loaded: no face is ever found then.
  bool Ready() const;
  // The faces of an upright picture (BGR), in its pixels. The same picture gives the same faces.
  std::vector<PixelRect> Find(const Bitmap& picture);
  // The position that centres the frame of the file's crop on all its faces together (their joint
  // bounding box), along the free axis; nothing when no face is found or the file is unreadable.
  std::optional<CropPosition> FocusOf(const std::string& path, const TargetSize& pair);

 private:
  struct Cascade;
  std::unique_ptr<Cascade> cascade_;
};

// Where opencv-data installs the cascade used.
extern const char* const kFaceCascadePath;

}  // namespace phototrim
