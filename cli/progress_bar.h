// A one-line progress bar on a terminal: files done, percent and the time still to go.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>

namespace phototrim::cli {

class ProgressBar {
 public:
  using Clock = std::chrono::steady_clock;

  explicit ProgressBar(std::FILE* out) : out_(out) {}

  // A file is starting: `done` files of `total` are behind us.
  void Update(int done, int total);
  // Removes the bar from its line, so that other text can be written there.
  void Clear();
  // Draws the bar again after other text.
  void Redraw();

  // The bar's text for `done` of `total` files, `elapsed` seconds in; for the tests.
  static std::string Render(int done, int total, double elapsedSeconds, int width);

 private:
  std::FILE* out_;
  int done_ = 0;
  int total_ = 0;
  bool shown_ = false;
  Clock::time_point start_ = Clock::now();
  bool started_ = false;
};

}  // namespace phototrim::cli
