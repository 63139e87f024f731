// The window as the host of a batch run: settings read from the controls at the moment the run asks,
// and everything the run shows put into the memo, the status line, the progress bar and the boxes.
#pragma once

#include "trim/run/batch_host.h"

namespace phototrim::app {

class TForm1;

class WindowHost : public BatchHost {
 public:
  explicit WindowHost(TForm1& form) : form_(form) {}

  std::string InputFolder() override;
  std::string OutputFolder() override;
  bool CropToRatio() override;
  bool Reduce() override;
  bool HighQuality() override;
  bool NoSubfolders() override;
  bool SkipSmall() override;
  bool Heif() override;
  SizeSettings Size() override;
  int Quality() override;
  CropPositions CropPlaces() override;

  void EnterRunningState() override;
  void LeaveRunningState() override;
  void ClearMemo() override;
  void AddMemoLine(const std::string& line) override;
  void SetStatusText(const std::string& text) override;
  void SetProgress(int percent) override;
  void ShowNotice(NoticeKind kind, const std::string& text) override;
  bool AskYesNo(QuestionKind kind, const std::string& text) override;
  void SetCollecting(bool collecting) override;
  void PumpEvents() override;

 private:
  TForm1& form_;
};

}  // namespace phototrim::app
