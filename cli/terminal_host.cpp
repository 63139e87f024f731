// The command line's host: answers questions from the options and prints what the window would show.
#include "cli/terminal_host.h"

namespace phototrim::cli {

TerminalHost::TerminalHost(const Options& options, Workspace& workspace, const volatile std::sig_atomic_t& interrupted,
                           std::FILE* out, std::FILE* err, bool showProgress)
    : options_(options), workspace_(workspace), interrupted_(interrupted), out_(out), err_(err) {
  if (showProgress) progress_.emplace(err);
}

void TerminalHost::ToStderr(const std::string& text) {
  if (progress_) progress_->Clear();
  std::fprintf(err_, "%s\n", text.c_str());
  std::fflush(err_);
  if (progress_) progress_->Redraw();
}

void TerminalHost::AddMemoLine(const std::string& line) {
  if (options_.quiet) return;
  if (progress_) progress_->Clear();
  std::fprintf(out_, "%s\n", line.c_str());
  std::fflush(out_);
  if (progress_) progress_->Redraw();
}

void TerminalHost::ShowNotice(NoticeKind kind, const std::string& text) {
  if (kind == NoticeKind::Final) {
    finalText_ = text;  // printed on stdout once the run has left its running state
    return;
  }
  ToStderr(text);
}

bool TerminalHost::AskYesNo(QuestionKind kind, const std::string& text) {
  const bool stop = kind == QuestionKind::ExistingFile ? !options_.overwrite : options_.stopOnError;
  if (!options_.quiet) ToStderr(text + (stop ? "\n→ はい（中断）" : "\n→ いいえ（続行）"));
  return stop;
}

void TerminalHost::ShowFailureReason(const std::string& reason) {
  if (!options_.quiet) ToStderr(reason);
}

void TerminalHost::FileStarting(int index, int total) {
  if (progress_) progress_->Update(index, total);
}

void TerminalHost::PumpEvents() {
  if (interrupted_) workspace_.AbortRequested = true;
}

void TerminalHost::LeaveRunningState() {
  if (progress_) progress_->Clear();
  if (!finalText_.empty()) std::fprintf(out_, "%s\n", finalText_.c_str());
  std::fflush(out_);
}

}  // namespace phototrim::cli
