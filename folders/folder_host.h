// What the folder commands need of the window they belong to: its two folder fields, the memo, the
// status line, the "no subfolders" switch, the folder counters and its dialogs. The window implements
// it; the commands work on nothing else, so this folder needs nothing of the window's own code.
#pragma once

#include <optional>
#include <string>

#include <QString>

#include "trim/collect/collect_jpeg_files.h"

namespace phototrim::folders {

class FolderHost {
 public:
  virtual ~FolderHost() = default;

  // The input and output folder fields, as the exact bytes of their paths (see folder_field.h).
  virtual std::string InputFolderPath() = 0;
  virtual void ShowInputFolder(const std::string& path) = 0;
  virtual std::string OutputFolderPath() = 0;
  virtual void ShowOutputFolder(const std::string& path) = 0;
  // Once an output folder has been chosen, the subfolder command stays available.
  virtual void SetOutputFolderChosen() = 0;

  // The memo, emptied and then given all lines of a scan as one text, and the status line.
  virtual void ClearMemo() = 0;
  virtual void AddMemoText(const QString& lines) = 0;
  virtual void ShowStatus(const QString& text) = 0;
  // "Do not descend into subfolders", read at every subfolder a scan meets.
  virtual bool NoSubfolders() = 0;
  // HEIC/HEIF files are listed and counted beside the JPEG files, as a run would take them.
  virtual bool Heif() { return false; }
  // The folder counters a scan fills: the same ones a run fills.
  virtual FolderCounters& Counters() = 0;

  // The folder picker (empty when cancelled), a notice under the window's caption, and the one-line
  // text dialog (nothing when cancelled).
  virtual QString PickFolder(const QString& title) = 0;
  virtual void Notice(const QString& text) = 0;
  virtual std::optional<QString> AskText(const QString& title, const QString& label, int maxLength) = 0;
};

}  // namespace phototrim::folders
