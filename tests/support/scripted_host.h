// A batch host for tests: settings in plain fields, every call recorded, questions answered from a script.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "trim/run/batch_host.h"

namespace phototrim::testing {

class ScriptedHost : public BatchHost {
 public:
  // Settings, as the window's controls would hold them.
  std::string input, output;
  bool crop = true, reduce = false, highQuality = true, noSubfolders = false, skipSmall = true, noSizeLimit = false;
  SizeSettings size;
  int quality = 90;
  bool heif = false, keepExif = false, keepGps = false, dpiTag = false;

  // Answers to questions in order (true = はい); when they run out, `defaultAnswer`.
  std::deque<bool> answers;
  bool defaultAnswer = false;
  // Called at every pump with its count from 1; may change settings or raise the abort. The pumps
  // while the files are collected are counted apart, for `onCollectingPump`.
  std::function<void(int)> onPump;
  std::function<void(int)> onCollectingPump;

  // What the run showed.
  std::vector<std::string> memo, notices, questions, statusTexts, events;
  std::vector<int> progress;
  std::vector<QuestionKind> questionKinds;
  bool running = false, collecting = false;
  int pumps = 0, collectingPumps = 0;
  std::vector<std::string> failureReasons, unreadableFolders;

  std::string InputFolder() override { return input; }
  std::string OutputFolder() override { return output; }
  bool CropToRatio() override { return crop; }
  bool Reduce() override { return reduce; }
  bool HighQuality() override { return highQuality; }
  bool NoSubfolders() override { return noSubfolders; }
  bool SkipSmall() override { return skipSmall; }
  SizeSettings Size() override { return size; }
  int Quality() override { return quality; }
  bool NoSizeLimit() override { return noSizeLimit; }
  bool Heif() override { return heif; }
  bool KeepExif() override { return keepExif; }
  bool KeepGps() override { return keepGps; }
  bool DpiTag() override { return dpiTag; }

  void EnterRunningState() override {
    running = true;
    events.push_back("running");
  }
  void LeaveRunningState() override {
    running = false;
    events.push_back("idle");
  }
  void ClearMemo() override {
    memo.clear();
    events.push_back("clear");
  }
  void AddMemoLine(const std::string& line) override { memo.push_back(line); }
  void SetStatusText(const std::string& text) override { statusTexts.push_back(text); }
  void SetProgress(int percent) override { progress.push_back(percent); }
  void ShowNotice(NoticeKind, const std::string& text) override {
    notices.push_back(text);
    events.push_back("notice");
  }
  bool AskYesNo(QuestionKind kind, const std::string& text) override {
    questions.push_back(text);
    questionKinds.push_back(kind);
    if (answers.empty()) return defaultAnswer;
    const bool answer = answers.front();
    answers.pop_front();
    return answer;
  }
  void ShowFailureReason(const std::string& reason) override { failureReasons.push_back(reason); }
  void SetCollecting(bool on) override { collecting = on; }
  void ShowUnreadableFolder(const std::string& folder, const std::string& reason) override {
    unreadableFolders.push_back(folder + ": " + reason);
  }
  void PumpEvents() override {
    if (collecting) {
      ++collectingPumps;
      if (onCollectingPump) onCollectingPump(collectingPumps);
      return;
    }
    ++pumps;
    if (onPump) onPump(pumps);
  }
};

}  // namespace phototrim::testing
