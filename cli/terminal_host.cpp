// The command line's host: answers questions from the options and prints what the window would show.
#include "cli/terminal_host.h"

#include <cerrno>
#include <unistd.h>

#include "cli/crop_listing.h"
#include "cli/terminal_text.h"
#include "trim/format.h"

namespace phototrim::cli {

namespace {
bool IsTerminal(std::FILE* stream) { return ::isatty(::fileno(stream)) == 1; }
}  // namespace

TerminalHost::TerminalHost(const Options& options, Workspace& workspace, const volatile std::sig_atomic_t& stopRequested,
                           std::FILE* out, std::FILE* err, bool showProgress)
    : options_(options), workspace_(workspace), stopRequested_(stopRequested), out_(out), err_(err),
      outIsTerminal_(IsTerminal(out)), errIsTerminal_(IsTerminal(err)) {
  if (showProgress) progress_.emplace(err);
}

void TerminalHost::ToStderr(const std::string& text, bool keepLineBreaks) {
  if (progress_) progress_->Clear();
  // Bytes as they are for a script; a file name shown on a terminal may not steer it.
  const std::string shown = errIsTerminal_ ? EscapeControls(text, keepLineBreaks) : text;
  std::fprintf(err_, "%s\n", shown.c_str());
  std::fflush(err_);
  if (progress_) progress_->Redraw();
}

void TerminalHost::AddMemoLine(const std::string& line) {
  if (options_.quiet) return;
  if (progress_) progress_->Clear();
  const std::string shown = outIsTerminal_ ? EscapeControls(line, false) : line;
  std::fprintf(out_, "%s\n", shown.c_str());
  FlushOut();
  if (progress_) progress_->Redraw();
}

void TerminalHost::FlushOut() {
  errno = 0;
  if ((std::fflush(out_) != 0 || std::ferror(out_)) && logError_ == 0) logError_ = errno != 0 ? errno : EIO;
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
  if (!options_.quiet) ToStderr(reason, false);
}

void TerminalHost::ShowUnreadableFolder(const std::string& folder, const std::string& reason) {
  ++unreadableFolders_;
  // Said even when quiet: the files of that folder are missing from the run.
  ToStderr(Format("フォルダを読み込めませんでした: %s: %s", folder.c_str(), reason.c_str()), false);
}

void TerminalHost::ShowUnmatchedCropPosition(const std::string& relativePath, int line) {
  // Said even when quiet: a crop the user placed is not made.
  ToStderr(UnmatchedPositionText(options_, relativePath, line), false);
}

void TerminalHost::FileStarting(int index, int total) {
  if (progress_) progress_->Update(index, total);
}

void TerminalHost::PumpEvents() {
  if (stopRequested_) workspace_.AbortRequested = true;
}

void TerminalHost::LeaveRunningState() {
  if (progress_) progress_->Clear();
  if (!finalText_.empty()) std::fprintf(out_, "%s\n", finalText_.c_str());
  FlushOut();
}

}  // namespace phototrim::cli
