// A main window for the folder commands' tests: scripted pickers and name dialog, real drops, a temp folder.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <QCoreApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QWindow>
#include <gtest/gtest.h>

#include "app/Unit1.h"
#include "folders/folder_field.h"
#include "platform/file_system.h"
#include "scripted_dialogs.h"
#include "support/test_folder.h"
#include "window_fixture.h"

namespace phototrim::testing {

// The scripted dialogs, also noting the length limit the name dialog was opened with.
class FolderDialogs : public ScriptedDialogs {
 public:
  int nameMaxLength = -1;
  std::optional<QString> GetText(const QString& title, const QString& label, int maxLength) override {
    nameMaxLength = maxLength;
    return ScriptedDialogs::GetText(title, label, maxLength);
  }
};

// A file URL for path bytes exactly, valid UTF-8 or not.
inline QUrl FileUrl(const std::string& path) {
  return QUrl::fromEncoded(QByteArray("file://") +
                           QByteArray(path.data(), static_cast<qsizetype>(path.size())).toPercentEncoding("/"));
}

class FolderWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    startFolder = CurrentFolder();
    form->show();
  }
  // The commands move the current folder into the temp folder, which goes when the test ends.
  void TearDown() override { SetCurrentFolder(startFolder); }

  // A click on a picker button, with the picker answering `path` (empty: キャンセル).
  void Pick(QWidget* button, const std::string& path) {
    dialogs.folders.push_back(QString::fromUtf8(path.data(), static_cast<qsizetype>(path.size())));
    static_cast<QAbstractButton*>(button)->click();
  }
  void PickInput(const std::string& path) { Pick(form->BitBtn8, path); }
  void PickOutput(const std::string& path) { Pick(form->BitBtn1, path); }

  // A drop as the desktop delivers one: enter, then drop, on the window at the centre of `over`; the
  // window finds the widget under the point and passes the events up to the one that takes drops.
  bool Drop(const std::vector<std::string>& paths, QWidget* over = nullptr) {
    QList<QUrl> urls;
    for (const std::string& path : paths) urls.push_back(FileUrl(path));
    return DropUrls(urls, over);
  }
  bool DropUrls(const QList<QUrl>& urls, QWidget* over = nullptr) {
    if (!over) over = form->Memo1;
    QMimeData data;
    data.setUrls(urls);
    const QPoint point = over->mapTo(form.get(), over->rect().center());
    constexpr Qt::DropActions kActions = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
    QDragEnterEvent enter(point, kActions, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(form->windowHandle(), &enter);
    if (!enter.isAccepted()) return false;
    QDropEvent drop(point, kActions, &data, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(form->windowHandle(), &drop);
    return drop.isAccepted();
  }

  // The exact bytes a run reads from the folder fields.
  std::string InputFolder() const { return folders::FolderFieldPath(*form->Edit1); }
  std::string OutputFolder() const { return folders::FolderFieldPath(*form->Edit2); }
  std::vector<std::string> MemoLines() const {
    std::vector<std::string> lines;
    for (const QString& line : form->Memo1->toPlainText().split(QLatin1Char('\n'))) lines.push_back(line.toStdString());
    return lines;
  }
  std::string Status() const { return form->StatusBar1->currentMessage().toStdString(); }
  std::vector<std::string> Notices() const { return dialogs.Texts(ScriptedDialogs::Kind::Notice); }

  TestFolder folder;
  FolderDialogs dialogs;
  std::unique_ptr<app::TForm1> form = std::make_unique<app::TForm1>(&dialogs, NoSplash());
  std::string startFolder;
};

}  // namespace phototrim::testing
