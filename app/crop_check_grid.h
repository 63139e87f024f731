// The crop check's grid: every picture upright with the crop frame of the current size over it,
// the cut-away part dimmed; frames moved with the mouse or the arrow keys along their free axis.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QAbstractScrollArea>
#include <QImage>
#include <QTimer>

#include "app/crop_check_thumbnails.h"
#include "trim/geometry/crop.h"
#include "trim/geometry/crop_positions.h"

namespace phototrim::app {

class CropCheckGrid : public QAbstractScrollArea {
 public:
  struct Picture {
    std::string path;      // as collected
    std::string relative;  // to the input folder: the key of its position
    QString name;          // for display
    enum class State { Waiting, Shown, Failed } state = State::Waiting;
    bool loadedOnce = false;
    QImage image;          // held while it is near the view
    int width = 0, height = 0;  // the whole picture, upright; 0 until its thumbnail has come
    QString reason;
  };

  // The pictures collected under `root`, given by SetPictures; `positions` is where their crops
  // sit, changed in place; `pair` gives the current size.
  CropCheckGrid(const std::string& root, CropPositions& positions, std::function<TargetSize()> pair,
                QWidget* parent = nullptr);
  ~CropCheckGrid() override;

  // The collected pictures, once their collection has ended; until then the grid shows that it waits.
  void SetPictures(const std::vector<std::string>& paths);
  bool HasPictures() const { return loader_ != nullptr; }

  int Count() const { return static_cast<int>(pictures_.size()); }
  const Picture& PictureAt(int index) const { return pictures_[static_cast<std::size_t>(index)]; }
  int Current() const { return current_; }
  void SetCurrent(int index);
  CropPosition PlaceOf(int index) const;
  // Moves the frame of `index` by hundredths of a percent along the axes that have room.
  void MoveFrame(int index, int dx, int dy);
  void Recentre(int index);
  void RecentreAll();
  int MovedCount() const;
  // The size or the positions changed outside: the frames are drawn anew.
  void Refresh();

  // For measurements and tests: every thumbnail has come once; those in view are shown.
  bool AllLoaded() const { return HasPictures() && loadedCount_ == Count(); }
  bool VisibleLoaded() const;
  int HeldImages() const { return heldImages_; }

  std::function<void()> onChanged;  // a frame moved

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  int Columns() const;
  int Capacity() const;  // images held at most: what is in view and a margin around it
  QRect CellRect(int index) const;           // in the viewport
  QRectF PictureRect(int index) const;       // the fitted picture in its cell, in the viewport
  int IndexAt(QPoint point) const;           // -1 outside every cell
  std::pair<int, int> VisibleRange() const;  // first and one past the last cell in view
  CropDecision Decision(int index) const;    // the frame, on the upright picture
  void UpdateScrollBar();
  void EnsureVisible(int index);
  // Takes the finished thumbnails, lets go of those far from the view, and asks for the nearest.
  void Poll();
  void AskForNearest();
  void Changed();
  void Describe();  // the accessible description: the current picture and its place

  const std::string root_;
  std::vector<Picture> pictures_;
  CropPositions& positions_;
  std::function<TargetSize()> pair_;
  std::unique_ptr<ThumbnailLoader> loader_;
  QTimer poll_;
  int current_ = 0;
  int loadedCount_ = 0;
  int heldImages_ = 0;
  // A drag of a frame: where it began and the place the frame had then.
  int dragIndex_ = -1;
  QPointF dragStart_;
  CropPosition dragPlace_;
};

}  // namespace phototrim::app
