// The crop check window: the grid, the count of moved frames, and the commands around it.
#include "app/crop_check_window.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/crop_check_faces.h"
#include "app/crop_check_grid.h"
#include "trim/geometry/crop_positions_file.h"

namespace phototrim::app {

namespace {

constexpr int kFacesPollMs = 50;
constexpr int kCollectionPollMs = 100;

QString U(const char* text) { return QString::fromUtf8(text); }

QPushButton* Button(const char* text, const char* accessibleName, QWidget* parent) {
  auto* button = new QPushButton(U(text), parent);
  button->setAccessibleName(U(accessibleName));
  return button;
}

}  // namespace

CropCheckWindow::CropCheckWindow(const std::vector<std::string>& paths, const std::string& root,
                                 CropPositions& positions, std::function<TargetSize()> pair, Asking asking,
                                 QWidget* parent)
    : CropCheckWindow(root, positions, std::move(pair), std::move(asking), parent) {
  grid_->SetPictures(paths);
  ShowMovedCount();
}

CropCheckWindow::CropCheckWindow(const PictureCollection::Source& source, CropPositions& positions,
                                 std::function<TargetSize()> pair, Asking asking, QWidget* parent)
    : CropCheckWindow(source.root, positions, std::move(pair), std::move(asking), parent) {
  source_ = source;
  // The list is taken as soon as it is there; the timer only shows the count meanwhile. (The call
  // queued here goes with the window: the collection's thread has ended before the window does.)
  collection_ = std::make_unique<PictureCollection>(
      source, [this] { QMetaObject::invokeMethod(this, [this] { TakeCollection(); }, Qt::QueuedConnection); });
  connect(&collectionPoll_, &QTimer::timeout, this, [this] { TakeCollection(); });
  collectionPoll_.start(kCollectionPollMs);
  EnableCommands();
  ShowMovedCount();
}

CropCheckWindow::CropCheckWindow(const std::string& root, CropPositions& positions, std::function<TargetSize()> pair,
                                 Asking asking, QWidget* parent)
    : QWidget(parent, Qt::Window), root_(root), positions_(positions), asking_(std::move(asking)), pair_(pair) {
  source_.root = root;
  setWindowTitle(U("トリミングの確認"));
  grid_ = new CropCheckGrid(root, positions, std::move(pair), this);
  auto* hint = new QLabel(U("矢印キー・ドラッグ: 枠を動かす　Ctrl+矢印: 写真を選ぶ　"
                            "Delete・ダブルクリック: 中央に戻す"),
                          this);
  hint->setWordWrap(true);
  MovedLabel = new QLabel(this);
  MovedLabel->setAccessibleName(U("動かした枠の数"));
  RecentreButton = Button("中央に戻す", "選んだ写真の枠を中央に戻す", this);
  RecentreAllButton = Button("すべて中央に戻す", "すべての枠を中央に戻す", this);
  FacesButton = Button("顔に合わせる", "選んだ写真の枠を顔に合わせる", this);
  FacesAllButton = Button("すべて顔に合わせる", "すべての写真の枠を顔に合わせる", this);
  OpenButton = Button("開く…", "位置ファイルを開く", this);
  SaveButton = Button("保存…", "位置ファイルに保存する", this);
  CloseButton = Button("閉じる", "閉じる", this);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(MovedLabel, 1);
  for (QPushButton* button :
       {RecentreButton, RecentreAllButton, FacesButton, FacesAllButton, OpenButton, SaveButton, CloseButton})
    buttons->addWidget(button);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(grid_, 1);
  layout->addWidget(hint);
  layout->addLayout(buttons);
  setTabOrder(grid_, RecentreButton);
  setTabOrder(RecentreButton, RecentreAllButton);
  setTabOrder(RecentreAllButton, FacesButton);
  setTabOrder(FacesButton, FacesAllButton);
  setTabOrder(FacesAllButton, OpenButton);
  setTabOrder(OpenButton, SaveButton);
  setTabOrder(SaveButton, CloseButton);

  grid_->onChanged = [this] { ShowMovedCount(); };
  connect(RecentreButton, &QPushButton::clicked, this, [this] { grid_->Recentre(grid_->Current()); });
  connect(RecentreAllButton, &QPushButton::clicked, this, [this] { grid_->RecentreAll(); });
  connect(FacesButton, &QPushButton::clicked, this, [this] { FocusOnFaces(false); });
  connect(FacesAllButton, &QPushButton::clicked, this, [this] { FocusOnFaces(true); });
  connect(&facesPoll_, &QTimer::timeout, this, [this] { TakeFaces(); });
  connect(OpenButton, &QPushButton::clicked, this, [this] { Open(); });
  connect(SaveButton, &QPushButton::clicked, this, [this] { Save(); });
  connect(CloseButton, &QPushButton::clicked, this, [this] { close(); });
  ShowMovedCount();
  resize(900, 640);
  grid_->setFocus();
}

CropCheckWindow::~CropCheckWindow() = default;

void CropCheckWindow::TakeCollection() {
  if (!collection_) return;
  if (!collection_->Done()) {
    ShowMovedCount();
    return;
  }
  collectionPoll_.stop();
  grid_->SetPictures(collection_->Take());
  collection_.reset();
  EnableCommands();
  ShowMovedCount();
}

void CropCheckWindow::EnableCommands() {
  // Until the pictures are known, nothing can be placed on them, nor a file's lines matched with them.
  const bool ready = !collection_;
  for (QPushButton* button : {RecentreButton, RecentreAllButton, OpenButton}) button->setEnabled(ready);
  for (QPushButton* button : {FacesButton, FacesAllButton}) button->setEnabled(ready && !faces_);
}

void CropCheckWindow::ShowMovedCount() {
  if (collection_) {
    MovedLabel->setText(U("写真を集めています… %1枚").arg(collection_->Found()));
    return;
  }
  QString text = U("動かした枠: %1枚 / %2枚").arg(grid_->MovedCount()).arg(grid_->Count());
  if (faces_) text += U("　顔を探しています… %1 / %2").arg(faces_->Finished()).arg(faces_->Total());
  MovedLabel->setText(text);
}

void CropCheckWindow::FocusOnFaces(bool all) {
  if (faces_ || grid_->Count() == 0) return;
  std::vector<std::pair<int, std::string>> pictures;
  for (int i = all ? 0 : grid_->Current(); i < (all ? grid_->Count() : grid_->Current() + 1); ++i)
    pictures.emplace_back(i, grid_->PictureAt(i).path);
  faces_ = std::make_unique<FaceFocusWork>(std::move(pictures), pair_ ? pair_() : TargetSize{});
  EnableCommands();
  facesPoll_.start(kFacesPollMs);
  ShowMovedCount();
}

void CropCheckWindow::TakeFaces() {
  if (!faces_) return;
  const bool done = faces_->Done();  // read before the last results are taken
  for (const FaceFocusWork::Placed& found : faces_->TakeFound())
    positions_.Set(grid_->PictureAt(found.index).relative, found.place);
  const bool missing = faces_->DetectorMissing();
  if (done) {
    faces_.reset();
    facesPoll_.stop();
    EnableCommands();
  }
  grid_->Refresh();
  ShowMovedCount();
  if (missing && asking_.notice)
    asking_.notice(U("顔を探す準備ができませんでした（opencv-data パッケージが必要です）。"));
}

void CropCheckWindow::SizeChanged() { grid_->Refresh(); }

void CropCheckWindow::Save() {
  const QString name = asking_.fileName ? asking_.fileName(true) : QString();
  if (name.isEmpty()) return;
  std::string reason;
  if (!WriteCropPositionsFile(name.toStdString(), positions_, reason) && asking_.notice)
    asking_.notice(U("位置ファイルを保存できませんでした。\n%1\n%2").arg(name, QString::fromUtf8(reason.c_str())));
}

void CropCheckWindow::Open() {
  const QString name = asking_.fileName ? asking_.fileName(false) : QString();
  if (name.isEmpty()) return;
  CropPositions read;
  PositionsFileError error;
  if (!ReadCropPositionsFile(name.toStdString(), read, error)) {
    if (asking_.notice)
      asking_.notice(U("位置ファイルを開けませんでした。\n%1")
                         .arg(QString::fromUtf8(DescribePositionsError(name.toStdString(), error).c_str())));
    return;
  }
  // The file replaces what was placed: the same as running with it.
  positions_ = std::move(read);
  grid_->Refresh();
  ShowMovedCount();
  std::vector<std::string> paths;
  for (int i = 0; i < grid_->Count(); ++i) paths.push_back(grid_->PictureAt(i).path);
  std::vector<std::string> unmatched;
  PlaceEach(positions_, paths, root_, &unmatched);
  if (!unmatched.empty() && asking_.notice)
    asking_.notice(U("位置ファイルの %1 行は、この入力フォルダにない写真です（使われません）。\n%2")
                       .arg(unmatched.size())
                       .arg(QString::fromUtf8(unmatched.front().c_str())));
}

}  // namespace phototrim::app
