// The command line's host of the batch run: settings from the options, text to stdout and stderr.
#pragma once

#include <csignal>
#include <cstdio>
#include <optional>
#include <string>

#include "cli/options.h"
#include "cli/progress_bar.h"
#include "trim/run/batch_host.h"
#include "trim/run/workspace.h"

namespace phototrim::cli {

class TerminalHost : public BatchHost {
 public:
  // `stopRequested` is the flag that Ctrl-C and the stop signals raise; the pump turns it into the
  // run's abort. On a terminal, control characters in what is printed are shown escaped.
  TerminalHost(const Options& options, Workspace& workspace, const volatile std::sig_atomic_t& stopRequested,
               std::FILE* out, std::FILE* err, bool showProgress);

  std::string InputFolder() override { return options_.inputFolder; }
  std::string OutputFolder() override { return options_.outputFolder; }
  bool CropToRatio() override { return true; }  // the window's hidden switch is always on
  bool Reduce() override { return options_.reduce; }
  bool HighQuality() override { return options_.highQuality; }
  bool NoSubfolders() override { return options_.noSubfolders; }
  bool SkipSmall() override { return options_.skipSmall; }
  SizeSettings Size() override { return options_.size; }
  int Quality() override { return options_.quality; }
  bool NoSizeLimit() override { return options_.noSizeLimit; }
  CropPositions CropPlaces() override { return positions_; }
  void SetCropPlaces(CropPositions positions) { positions_ = std::move(positions); }
  bool Heif() override { return options_.heif; }
  bool KeepExif() override { return options_.keepExif; }
  bool KeepGps() override { return options_.keepGps; }
  bool DpiTag() override { return options_.dpiTag; }

  void EnterRunningState() override {}
  void LeaveRunningState() override;
  void ClearMemo() override {}
  void AddMemoLine(const std::string& line) override;
  void SetStatusText(const std::string&) override {}
  void SetProgress(int) override {}
  void ShowNotice(NoticeKind kind, const std::string& text) override;
  bool AskYesNo(QuestionKind kind, const std::string& text) override;
  void FileStarting(int index, int total) override;
  void ShowFailureReason(const std::string& reason) override;
  void ShowUnreadableFolder(const std::string& folder, const std::string& reason) override;
  void ShowUnmatchedCropPosition(const std::string& relativePath, int line) override;
  void PumpEvents() override;

  // The final text of the run, as the window's last box shows it.
  const std::string& FinalText() const { return finalText_; }
  // How many folders of the input tree could not be read.
  int UnreadableFolders() const { return unreadableFolders_; }
  // The errno of the first write to stdout that failed, 0 when every line got through.
  int LogError() const { return logError_; }

 private:
  // A message of one or more lines on stderr, around the progress bar.
  void ToStderr(const std::string& text, bool keepLineBreaks = true);
  // Sends what is buffered for stdout on its way and keeps the reason of the first failure.
  void FlushOut();

  const Options& options_;
  Workspace& workspace_;
  const volatile std::sig_atomic_t& stopRequested_;
  std::FILE* out_;
  std::FILE* err_;
  const bool outIsTerminal_;
  const bool errIsTerminal_;
  int unreadableFolders_ = 0;
  int logError_ = 0;
  std::optional<ProgressBar> progress_;
  std::string finalText_;
  CropPositions positions_;
};

}  // namespace phototrim::cli
