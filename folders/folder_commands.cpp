// The window's folder choice: the input and output folder pickers and dropped folders.
#include "folders/folder_commands.h"

#include <optional>
#include <string>
#include <vector>

#include <QFile>
#include <QUrl>

#include "folders/dropped_paths.h"
#include "folders/folder_statistics.h"
#include "folders/folder_texts.h"
#include "platform/file_system.h"
#include "platform/path_text.h"

namespace phototrim::folders {

namespace {

// The picker's folder as path bytes, ending in '/'; nothing when cancelled. Entering the folder is
// the test that it can be used (and leaves it the current folder); when it fails, `unusable` is shown.
std::optional<std::string> PickFolder(FolderHost& window, const char* unusable) {
  // Untitled: the picker's own caption says what it is for.
  const QString picked = window.PickFolder(QString());
  // Cancel gives the empty path. (The root "/" is a single byte here, so no shorter-than-two rule.)
  if (picked.isEmpty()) return std::nullopt;
  std::string path = QFile::encodeName(picked).toStdString();
  if (!SetCurrentFolder(path)) {
    window.Notice(QString::fromUtf8(unusable));
    return std::nullopt;
  }
  if (EndsWithSeparator(path) != 1) path += '/';
  return path;
}

void ShowFolderStatus(FolderHost& window) {
  window.ShowStatus(QString::fromStdString(FolderStatusText(window.Counters())));
}

}  // namespace

void ChooseInputFolder(FolderHost& window) {
  const auto path = PickFolder(window, kInputFolderUnusable);
  if (!path) return;
  window.ShowInputFolder(*path);
  // The scan reads the field back, as the run will.
  ScanFolder(window, window.InputFolderPath());
  ShowFolderStatus(window);
}

void ChooseOutputFolder(FolderHost& window) {
  const auto path = PickFolder(window, kOutputFolderUnusable);
  if (!path) return;
  window.ShowOutputFolder(*path);
  window.SetOutputFolderChosen();
}

void TakeDroppedFolder(FolderHost& window, const QList<QUrl>& urls) {
  // Drops reach the window only inside it, so every drop that gets here lands in its client area.
  // Only the first item counts, exactly as dropped: no '/' added, no test that it is a folder.
  const std::vector<std::string> paths = DroppedPaths(urls);
  if (paths.empty()) return;
  ScanFolder(window, paths.front());
  window.ShowInputFolder(paths.front());
  ShowFolderStatus(window);
}

}  // namespace phototrim::folders
