// The crop check window (確認…): the crops of a whole folder at a glance, placed by hand, saved and opened.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QTimer>
#include <QWidget>

#include "app/crop_check_collection.h"
#include "trim/geometry/crop_positions.h"
#include "trim/geometry/size_table.h"

class QLabel;
class QPushButton;

namespace phototrim::app {

class CropCheckGrid;
class FaceFocusWork;

class CropCheckWindow : public QWidget {
 public:
  // How the window asks for a file name (empty: cancelled) and shows a notice; tests answer themselves.
  struct Asking {
    std::function<QString(bool save)> fileName;
    std::function<void(const QString&)> notice;
  };

  // The pictures `paths` collected under `root`. `positions` belongs to the main window and keeps
  // what is placed here until the program closes; `pair` gives the main window's current size.
  CropCheckWindow(const std::vector<std::string>& paths, const std::string& root, CropPositions& positions,
                  std::function<TargetSize()> pair, Asking asking, QWidget* parent = nullptr);
  // The pictures that `source` names, collected aside while the window already answers; they come
  // into the grid when the collection ends.
  CropCheckWindow(const PictureCollection::Source& source, CropPositions& positions, std::function<TargetSize()> pair,
                  Asking asking, QWidget* parent = nullptr);
  ~CropCheckWindow() override;

  CropCheckGrid* Grid() const { return grid_; }
  const std::string& Root() const { return root_; }
  // What the pictures were collected from (for the paths given at once: the root alone).
  const PictureCollection::Source& From() const { return source_; }
  bool Collecting() const { return collection_ != nullptr; }
  // The main window's size or resolution changed: the frames follow.
  void SizeChanged();
  // Writes the moved positions to a file / reads them from one (through Asking).
  void Save();
  void Open();
  // 顔に合わせる: the frame of the chosen picture, or of every picture, centred on its faces.
  void FocusOnFaces(bool all);
  bool FindingFaces() const { return faces_ != nullptr; }

  QLabel* MovedLabel = nullptr;
  QPushButton* RecentreButton = nullptr;
  QPushButton* RecentreAllButton = nullptr;
  QPushButton* FacesButton = nullptr;
  QPushButton* FacesAllButton = nullptr;
  QPushButton* OpenButton = nullptr;
  QPushButton* SaveButton = nullptr;
  QPushButton* CloseButton = nullptr;

 private:
  CropCheckWindow(const std::string& root, CropPositions& positions, std::function<TargetSize()> pair, Asking asking,
                  QWidget* parent);
  void ShowMovedCount();
  void TakeFaces();
  void TakeCollection();
  void EnableCommands();

  const std::string root_;
  PictureCollection::Source source_;
  std::unique_ptr<PictureCollection> collection_;
  QTimer collectionPoll_;
  CropPositions& positions_;
  Asking asking_;
  CropCheckGrid* grid_ = nullptr;
  std::function<TargetSize()> pair_;
  std::unique_ptr<FaceFocusWork> faces_;
  QTimer facesPoll_;
};

}  // namespace phototrim::app
