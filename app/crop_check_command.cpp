// 確認…: the main window opens the crop check window on its input folder and keeps its frames in step.
#include <QCheckBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QRadioButton>

#include "app/Unit1.h"
#include "app/crop_check_window.h"

namespace phototrim::app {

TargetSize TForm1::ChosenTargetSize() { return ComputeTargetSize(host_.Size()); }

void TForm1::BitBtn9Click() {
  const std::string root = InputFolderPath();
  if (root.empty()) return;
  // What a run started now would collect. Another folder, a switch or the output folder changed:
  // the pictures are collected anew (aside: the window answers meanwhile).
  const PictureCollection::Source source{root, NoSubfolders(), Heif(), OutputFolderPath()};
  if (cropCheck_ && !(cropCheck_->From() == source)) {
    cropCheck_->deleteLater();
    cropCheck_ = nullptr;
  }
  if (!cropCheck_) {
    CropCheckWindow::Asking asking;
    const QString filter = QString::fromUtf8("位置ファイル (*.txt);;すべてのファイル (*)");
    asking.fileName = [this, filter](bool save) {
      return save ? QFileDialog::getSaveFileName(cropCheck_, QString::fromUtf8("位置ファイルに保存"), QString(), filter)
                  : QFileDialog::getOpenFileName(cropCheck_, QString::fromUtf8("位置ファイルを開く"), QString(), filter);
    };
    asking.notice = [this](const QString& text) { dialogs().Notice(MessageCaption, text); };
    cropCheck_ = new CropCheckWindow(source, CropPlaces, [this] { return ChosenTargetSize(); }, asking, this);
    // The frames follow the size and the resolution chosen here.
    const auto follow = [this] {
      if (cropCheck_) cropCheck_->SizeChanged();
    };
    for (QRadioButton* button : SizeButtons) connect(button, &QRadioButton::toggled, cropCheck_, follow);
    for (QRadioButton* button : DpiButtons) connect(button, &QRadioButton::toggled, cropCheck_, follow);
    connect(Edit3, &QLineEdit::textChanged, cropCheck_, follow);
    connect(Edit4, &QLineEdit::textChanged, cropCheck_, follow);
  }
  cropCheck_->show();
  cropCheck_->raise();
  cropCheck_->activateWindow();
}

}  // namespace phototrim::app
