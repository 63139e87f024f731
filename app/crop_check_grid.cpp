// The crop check's grid: cells drawn from thumbnails decoded aside, frames placed by hand.
#include "app/crop_check_grid.h"

#include <algorithm>
#include <cmath>
#include <thread>

#include <QAccessible>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QHideEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QShowEvent>

namespace phototrim::app {

namespace {

constexpr int kBoxWidth = 160, kBoxHeight = 120;  // the picture's box in a cell
constexpr int kCellWidth = 176, kCellHeight = 148;
constexpr int kPad = 8;
constexpr int kArrowStep = 100, kShiftStep = 1000;  // 1 % and 10 % of the room
constexpr int kMarginRows = 2;                      // rows held beyond the view, above and below
constexpr int kPollMs = 15;                          // finished thumbnails are taken this often

int ClampPosition(int value) { return std::clamp(value, 0, kPositionScale); }

}  // namespace

CropCheckGrid::CropCheckGrid(const std::string& root, CropPositions& positions, std::function<TargetSize()> pair,
                             QWidget* parent)
    : QAbstractScrollArea(parent), root_(root), positions_(positions), pair_(std::move(pair)) {
  setFocusPolicy(Qt::StrongFocus);
  setAccessibleName(QString::fromUtf8("トリミング確認の一覧"));
  verticalScrollBar()->setSingleStep(kCellHeight / 4);
  connect(&poll_, &QTimer::timeout, this, [this] { Poll(); });
}

void CropCheckGrid::SetPictures(const std::vector<std::string>& paths) {
  if (loader_) return;  // one collection a grid
  pictures_.reserve(paths.size());
  for (const std::string& path : paths) {
    Picture picture;
    picture.path = path;
    picture.relative = RelativeToFolder(path, root_);
    picture.name = QString::fromUtf8(picture.relative.c_str());  // lossy for display only
    pictures_.push_back(std::move(picture));
  }
  const qreal ratio = devicePixelRatioF();
  const QSize box(static_cast<int>(std::ceil(kBoxWidth * ratio)), static_cast<int>(std::ceil(kBoxHeight * ratio)));
  const int threads = std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
  loader_ = std::make_unique<ThumbnailLoader>(paths, box, threads);
  poll_.start(kPollMs);
  UpdateScrollBar();
  AskForNearest();
  Describe();
  viewport()->update();
}

CropCheckGrid::~CropCheckGrid() = default;

int CropCheckGrid::Capacity() const {
  // The rows in view (a partly shown one at each end) and the margin above and below.
  return (viewport()->height() / kCellHeight + 2 + 2 * kMarginRows) * Columns();
}

int CropCheckGrid::Columns() const { return std::max(1, (viewport()->width() - kPad) / kCellWidth); }

QRect CropCheckGrid::CellRect(int index) const {
  const int columns = Columns();
  return {kPad + (index % columns) * kCellWidth, kPad + (index / columns) * kCellHeight - verticalScrollBar()->value(),
          kCellWidth - kPad, kCellHeight - kPad};
}

QRectF CropCheckGrid::PictureRect(int index) const {
  const Picture& picture = PictureAt(index);
  const QRect cell = CellRect(index);
  QSizeF size(kBoxWidth, kBoxHeight);
  if (picture.width > 0 && picture.height > 0)
    size = QSizeF(picture.width, picture.height).scaled(size, Qt::KeepAspectRatio);
  return {cell.left() + (cell.width() - size.width()) / 2, cell.top() + 2 + (kBoxHeight - size.height()) / 2,
          size.width(), size.height()};
}

int CropCheckGrid::IndexAt(QPoint point) const {
  const int columns = Columns();
  const int x = point.x() - kPad, y = point.y() - kPad + verticalScrollBar()->value();
  if (x < 0 || y < 0 || x / kCellWidth >= columns) return -1;
  const int index = (y / kCellHeight) * columns + x / kCellWidth;
  return index < Count() ? index : -1;
}

std::pair<int, int> CropCheckGrid::VisibleRange() const {
  const int columns = Columns();
  const int top = verticalScrollBar()->value();
  const int first = std::max(0, (top - kPad) / kCellHeight) * columns;
  const int last = ((top + viewport()->height()) / kCellHeight + 1) * columns;
  return {std::min(first, Count()), std::min(last, Count())};
}

bool CropCheckGrid::VisibleLoaded() const {
  if (!HasPictures()) return false;
  const auto [first, last] = VisibleRange();
  for (int i = first; i < last; ++i)
    if (PictureAt(i).state == Picture::State::Waiting) return false;
  return true;
}

CropPosition CropCheckGrid::PlaceOf(int index) const { return positions_.Of(PictureAt(index).relative); }

CropDecision CropCheckGrid::Decision(int index) const {
  const Picture& picture = PictureAt(index);
  const TargetSize pair = pair_ ? pair_() : TargetSize{};
  if (picture.width <= 0 || pair.LongSide < 1 || pair.ShortSide < 1) return {};
  // The window's run keeps the crop within PlaneCapacity, so the frame shows that too.
  return DecideCrop(picture.width, picture.height, pair, PlaceOf(index), true);
}

void CropCheckGrid::MoveFrame(int index, int dx, int dy) {
  if (index < 0 || index >= Count()) return;
  const CropDecision crop = Decision(index);
  if (crop.check != CropCheck::Ok) return;
  const Picture& picture = PictureAt(index);
  CropPosition place = PlaceOf(index);
  // Only an axis with room moves: the other keeps its value, which no crop uses.
  if (picture.width > crop.kept.width) place.x = ClampPosition(place.x + dx);
  if (picture.height > crop.kept.height) place.y = ClampPosition(place.y + dy);
  if (place == PlaceOf(index)) return;
  positions_.Set(picture.relative, place);
  Changed();
}

void CropCheckGrid::Recentre(int index) {
  if (index < 0 || index >= Count() || PlaceOf(index) == kCentred) return;
  positions_.Set(PictureAt(index).relative, kCentred);
  Changed();
}

void CropCheckGrid::RecentreAll() {
  for (const Picture& picture : pictures_) positions_.Set(picture.relative, kCentred);
  Changed();
}

int CropCheckGrid::MovedCount() const {
  return static_cast<int>(std::count_if(pictures_.begin(), pictures_.end(),
                                        [this](const Picture& p) { return positions_.Of(p.relative) != kCentred; }));
}

void CropCheckGrid::Refresh() {
  viewport()->update();
  Describe();
}

void CropCheckGrid::Changed() {
  Refresh();
  if (onChanged) onChanged();
}

void CropCheckGrid::SetCurrent(int index) {
  if (index < 0 || index >= Count()) return;
  current_ = index;
  EnsureVisible(index);
  Refresh();
}

void CropCheckGrid::EnsureVisible(int index) {
  const QRect cell = CellRect(index);
  QScrollBar* bar = verticalScrollBar();
  if (cell.top() < 0) bar->setValue(bar->value() + cell.top() - kPad);
  else if (cell.bottom() > viewport()->height()) bar->setValue(bar->value() + cell.bottom() - viewport()->height() + kPad);
}

void CropCheckGrid::Describe() {
  if (Count() == 0) return;
  const Picture& picture = PictureAt(current_);
  const CropPosition place = PlaceOf(current_);
  QString text = QString::fromUtf8("%1　横 %2%　縦 %3%")
                     .arg(picture.name, QString::fromStdString(FormatPercent(place.x)),
                          QString::fromStdString(FormatPercent(place.y)));
  if (picture.state == Picture::State::Failed) text += QString::fromUtf8("　読み込めません");
  setAccessibleDescription(text);
}

void CropCheckGrid::UpdateScrollBar() {
  const int rows = (Count() + Columns() - 1) / Columns();
  verticalScrollBar()->setPageStep(viewport()->height());
  verticalScrollBar()->setRange(0, std::max(0, kPad + rows * kCellHeight - viewport()->height()));
}

void CropCheckGrid::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  UpdateScrollBar();
  AskForNearest();
}

void CropCheckGrid::scrollContentsBy(int, int) {
  viewport()->update();
  AskForNearest();
}

void CropCheckGrid::showEvent(QShowEvent* event) {
  QAbstractScrollArea::showEvent(event);
  AskForNearest();
}

void CropCheckGrid::hideEvent(QHideEvent* event) {
  QAbstractScrollArea::hideEvent(event);
  // A closed window decodes nothing more: the cores are the run's, which often starts next.
  if (loader_) loader_->Want({});
}

void CropCheckGrid::AskForNearest() {
  if (!loader_ || !isVisible()) return;
  // Nearest to the view first; beyond the images held, only those never shown yet (so that every
  // picture's size is known), farthest last.
  const auto [first, last] = VisibleRange();
  std::vector<std::pair<int, int>> byDistance;
  for (int i = 0; i < Count(); ++i) {
    const Picture& picture = PictureAt(i);
    if (picture.state != Picture::State::Waiting) continue;
    const int distance = i < first ? first - i : i >= last ? i - last + 1 : 0;
    if (picture.loadedOnce && distance > Capacity()) continue;
    byDistance.emplace_back(distance, i);
  }
  std::sort(byDistance.begin(), byDistance.end());
  std::vector<int> order;
  order.reserve(byDistance.size());
  for (const auto& [distance, index] : byDistance) order.push_back(index);
  loader_->Want(std::move(order));
}

void CropCheckGrid::Poll() {
  if (!loader_) return;
  std::vector<ThumbnailLoader::Loaded> finished = loader_->TakeFinished();
  if (finished.empty()) return;
  const auto [first, last] = VisibleRange();
  bool inView = false;
  for (ThumbnailLoader::Loaded& loaded : finished) {
    Picture& picture = pictures_[static_cast<std::size_t>(loaded.index)];
    if (!picture.loadedOnce) ++loadedCount_;
    picture.loadedOnce = true;
    if (loaded.ok) {
      picture.state = Picture::State::Shown;
      picture.width = loaded.width;
      picture.height = loaded.height;
      picture.image = std::move(loaded.image);
      picture.image.setDevicePixelRatio(devicePixelRatioF());
      ++heldImages_;
    } else {
      picture.state = Picture::State::Failed;
      picture.reason = QString::fromUtf8(loaded.reason.c_str());
    }
    inView = inView || (loaded.index >= first && loaded.index < last);
  }
  // Memory stays bounded: the images farthest from the view go, to be decoded again if needed.
  if (heldImages_ > Capacity()) {
    std::vector<std::pair<int, int>> held;
    for (int i = 0; i < Count(); ++i)
      if (PictureAt(i).state == Picture::State::Shown)
        held.emplace_back(i < first ? first - i : i >= last ? i - last + 1 : 0, i);
    std::sort(held.begin(), held.end(), std::greater<>());
    for (std::size_t k = 0; k < held.size() && heldImages_ > Capacity() && held[k].first > 0; ++k) {
      Picture& picture = pictures_[static_cast<std::size_t>(held[k].second)];
      picture.image = QImage();
      picture.state = Picture::State::Waiting;
      loader_->Release(held[k].second);
      --heldImages_;
    }
  }
  if (inView) viewport()->update();
  Describe();
}

void CropCheckGrid::paintEvent(QPaintEvent*) {
  QPainter painter(viewport());
  const QPalette& colours = palette();
  painter.fillRect(viewport()->rect(), colours.base());
  if (!HasPictures()) {
    painter.setPen(colours.text().color());
    painter.drawText(viewport()->rect(), Qt::AlignCenter, QString::fromUtf8("写真を集めています…"));
    return;
  }
  const auto [first, last] = VisibleRange();
  const QFontMetrics metrics(font());
  for (int i = first; i < last; ++i) {
    const Picture& picture = PictureAt(i);
    const QRect cell = CellRect(i);
    if (i == current_) {
      painter.setPen(QPen(colours.highlight(), hasFocus() ? 3 : 1));
      painter.drawRect(cell.adjusted(-3, -3, 2, 2));
    }
    const QRectF box = PictureRect(i);
    const QRect caption(cell.left(), cell.top() + kBoxHeight + 4, cell.width(), cell.height() - kBoxHeight - 4);
    painter.setPen(colours.text().color());
    const bool moved = PlaceOf(i) != kCentred;
    painter.drawText(caption, Qt::AlignHCenter | Qt::AlignTop,
                     metrics.elidedText((moved ? QString::fromUtf8("● ") : QString()) + picture.name, Qt::ElideMiddle,
                                        caption.width()));
    if (picture.state == Picture::State::Failed) {
      painter.fillRect(box, colours.window());
      painter.drawText(box, Qt::AlignCenter | Qt::TextWordWrap, QString::fromUtf8("読み込めません"));
      continue;
    }
    if (picture.state == Picture::State::Waiting || picture.image.isNull()) {
      painter.fillRect(box, colours.alternateBase());
      continue;
    }
    painter.drawImage(box, picture.image);
    const CropDecision crop = Decision(i);
    if (crop.check != CropCheck::Ok) {
      painter.fillRect(box, QColor(0, 0, 0, 140));
      painter.setPen(Qt::white);
      painter.drawText(box, Qt::AlignCenter | Qt::TextWordWrap, QString::fromUtf8("トリミングできません"));
      continue;
    }
    const double scale = box.width() / picture.width;
    const QRectF frame(box.left() + crop.kept.x * scale, box.top() + crop.kept.y * scale, crop.kept.width * scale,
                       crop.kept.height * scale);
    // The part the crop cuts away, dimmed on each side of the frame.
    const QColor dim(0, 0, 0, 150);
    painter.fillRect(QRectF(box.left(), box.top(), box.width(), frame.top() - box.top()), dim);
    painter.fillRect(QRectF(box.left(), frame.bottom(), box.width(), box.bottom() - frame.bottom()), dim);
    painter.fillRect(QRectF(box.left(), frame.top(), frame.left() - box.left(), frame.height()), dim);
    painter.fillRect(QRectF(frame.right(), frame.top(), box.right() - frame.right(), frame.height()), dim);
    painter.setPen(QPen(QColor(255, 215, 0), 2));
    painter.drawRect(frame.adjusted(1, 1, -1, -1));
  }
}

void CropCheckGrid::keyPressEvent(QKeyEvent* event) {
  const bool control = event->modifiers() & Qt::ControlModifier;
  const int step = event->modifiers() & Qt::ShiftModifier ? kShiftStep : kArrowStep;
  const int columns = Columns();
  switch (event->key()) {
    case Qt::Key_Left:
      control ? SetCurrent(current_ - 1) : MoveFrame(current_, -step, 0);
      break;
    case Qt::Key_Right:
      control ? SetCurrent(current_ + 1) : MoveFrame(current_, step, 0);
      break;
    case Qt::Key_Up:
      control ? SetCurrent(current_ - columns) : MoveFrame(current_, 0, -step);
      break;
    case Qt::Key_Down:
      control ? SetCurrent(current_ + columns) : MoveFrame(current_, 0, step);
      break;
    case Qt::Key_PageUp:
      SetCurrent(std::max(0, current_ - columns * std::max(1, viewport()->height() / kCellHeight)));
      break;
    case Qt::Key_PageDown:
      SetCurrent(std::min(Count() - 1, current_ + columns * std::max(1, viewport()->height() / kCellHeight)));
      break;
    case Qt::Key_Home:
      SetCurrent(0);
      break;
    case Qt::Key_End:
      SetCurrent(Count() - 1);
      break;
    case Qt::Key_Delete:
    case Qt::Key_Backspace:
      Recentre(current_);
      break;
    default:
      QAbstractScrollArea::keyPressEvent(event);
      return;
  }
  event->accept();
}

void CropCheckGrid::mousePressEvent(QMouseEvent* event) {
  const int index = IndexAt(event->position().toPoint());
  if (index < 0 || event->button() != Qt::LeftButton) return;
  SetCurrent(index);
  dragIndex_ = index;
  dragStart_ = event->position();
  dragPlace_ = PlaceOf(index);
}

void CropCheckGrid::mouseMoveEvent(QMouseEvent* event) {
  if (dragIndex_ < 0) return;
  const CropDecision crop = Decision(dragIndex_);
  if (crop.check != CropCheck::Ok) return;
  const Picture& picture = PictureAt(dragIndex_);
  const double scale = PictureRect(dragIndex_).width() / picture.width;
  const QPointF moved = event->position() - dragStart_;
  // The pointer's way across the room on screen, as a share of that room.
  const auto share = [](double pixels, double room) {
    return room > 0 ? static_cast<int>(std::lround(pixels / room * kPositionScale)) : 0;
  };
  const int x = ClampPosition(dragPlace_.x + share(moved.x(), (picture.width - crop.kept.width) * scale));
  const int y = ClampPosition(dragPlace_.y + share(moved.y(), (picture.height - crop.kept.height) * scale));
  const CropPosition now = PlaceOf(dragIndex_);
  MoveFrame(dragIndex_, x - now.x, y - now.y);
}

void CropCheckGrid::mouseReleaseEvent(QMouseEvent*) { dragIndex_ = -1; }

void CropCheckGrid::mouseDoubleClickEvent(QMouseEvent* event) {
  const int index = IndexAt(event->position().toPoint());
  if (index >= 0) Recentre(index);
}

}  // namespace phototrim::app
