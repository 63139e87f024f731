// The window's folder choice: the input and output folder pickers and dropped folders.
#include <optional>
#include <string>
#include <vector>

#include <QFile>
#include <QLineEdit>
#include <QStatusBar>
#include <QUrl>

#include "app/Unit1.h"
#include "folders/dropped_paths.h"
#include "folders/folder_field.h"
#include "folders/folder_statistics.h"
#include "folders/folder_texts.h"
#include "platform/file_system.h"
#include "platform/path_text.h"

namespace phototrim::app {

namespace {

// The picker's folder as path bytes, ending in '/'; nothing when cancelled. Entering the folder is
// the test that it can be used (and leaves it the current folder); when it fails, `unusable` is shown.
std::optional<std::string> PickFolder(TForm1& form, const char* unusable) {
  // Untitled: the picker's own caption says what it is for.
  const QString picked = form.dialogs().GetFolder(QString());
  // Cancel gives the empty path. (The root "/" is a single byte here, so no shorter-than-two rule.)
  if (picked.isEmpty()) return std::nullopt;
  std::string path = QFile::encodeName(picked).toStdString();
  if (!SetCurrentFolder(path)) {
    form.dialogs().Notice(form.MessageCaption, QString::fromUtf8(unusable));
    return std::nullopt;
  }
  if (EndsWithSeparator(path) != 1) path += '/';
  return path;
}

}  // namespace

void TForm1::BitBtn8Click() {
  const auto path = PickFolder(*this, folders::kInputFolderUnusable);
  if (!path) return;
  folders::SetFolderField(*Edit1, *path);
  // The scan reads the field back, as the run will.
  ScanFolder(folders::FolderFieldPath(*Edit1));
  StatusBar1->showMessage(QString::fromStdString(folders::FolderStatusText(workspace.Counters)));
}

void TForm1::BitBtn1Click() {
  const auto path = PickFolder(*this, folders::kOutputFolderUnusable);
  if (!path) return;
  folders::SetFolderField(*Edit2, *path);
  SetOutputFolderChosen();
}

void TForm1::WMDropFiles(const QList<QUrl>& urls) {
  // Every drop brings the window to the front, also one that changes nothing.
  raise();
  activateWindow();
  // Drops reach the window only inside it, so every drop that gets here lands in its client area.
  // Only the first item counts, exactly as dropped: no '/' added, no test that it is a folder.
  const std::vector<std::string> paths = folders::DroppedPaths(urls);
  if (paths.empty()) return;
  ScanFolder(paths.front());
  folders::SetFolderField(*Edit1, paths.front());
  StatusBar1->showMessage(QString::fromStdString(folders::FolderStatusText(workspace.Counters)));
}

}  // namespace phototrim::app
