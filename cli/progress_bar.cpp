// A one-line progress bar with an estimate of the time left, drawn with a carriage return.
#include "cli/progress_bar.h"

#include <cmath>

#include "trim/format.h"

namespace phototrim::cli {

namespace {
std::string Duration(double seconds) {
  const long total = std::lround(seconds);
  if (total >= 3600) return Format("%ld:%02ld:%02ld", total / 3600, total / 60 % 60, total % 60);
  return Format("%ld:%02ld", total / 60, total % 60);
}
}  // namespace

std::string ProgressBar::Render(int done, int total, double elapsedSeconds, int width) {
  const int percent = total > 0 ? static_cast<int>(static_cast<long long>(done) * 100 / total) : 0;
  const int filled = total > 0 ? static_cast<int>(static_cast<long long>(done) * width / total) : 0;
  std::string bar = "[";
  bar.append(static_cast<std::size_t>(filled), '#');
  bar.append(static_cast<std::size_t>(width - filled), '.');
  bar += ']';
  bar += Format(" %d/%d %3d%%", done, total, percent);
  // The estimate needs a file or two behind it to mean anything.
  if (done > 0 && done < total) bar += "  残り " + Duration(elapsedSeconds / done * (total - done));
  return bar;
}

void ProgressBar::Update(int done, int total) {
  if (!started_) {
    start_ = Clock::now();
    started_ = true;
  }
  done_ = done;
  total_ = total;
  Redraw();
}

void ProgressBar::Clear() {
  if (!shown_) return;
  std::fputs("\r\033[K", out_);
  std::fflush(out_);
  shown_ = false;
}

void ProgressBar::Redraw() {
  if (!started_) return;
  const double elapsed = std::chrono::duration<double>(Clock::now() - start_).count();
  std::fprintf(out_, "\r\033[K%s", Render(done_, total_, elapsed, 30).c_str());
  std::fflush(out_);
  shown_ = true;
}

}  // namespace phototrim::cli
