// phototrim-window-bench: one run of the real main window, timed, with the waits of its event loop.
//
//   phototrim-window-bench [--jobs N] [--size NAME] [--dpi N] [--reduce] [--plain] [--quality Q]
//                          INPUT_FOLDER OUTPUT_FOLDER
//
// The window comes up without the splash (on the offscreen platform when there is no display). The
// folders are chosen with the folder buttons and the switches set on their controls, as a user
// would; then 実行 is clicked. Every question is answered いいえ (go on), and the boxes are closed as
// they come. A timer that fires at every pass of the event loop records the gaps between passes,
// from the click on 実行 to the final box. The last line of stdout is
//
//   run_s=<seconds> longest_gap_ms=<ms> p99_gap_ms=<ms> saved=<n> errors=<n> skipped=<n> jobs=<n>
//
// --jobs 1 gives the one-at-a-time run (one worker); without --jobs the window chooses.
//
//   phototrim-window-bench --crop-check INPUT_FOLDER
//
// chooses the input folder, clicks 確認… and waits until every thumbnail of the crop check window has
// come; a timer every few milliseconds records the waits of the event loop meanwhile. Last line:
//
//   first_screen_ms=<ms> all_ms=<ms> longest_gap_ms=<ms> peak_rss_mb=<MiB> pictures=<n>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <QCheckBox>
#include <QCoreApplication>
#include <QEventLoop>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTimer>

#include <sys/resource.h>

#include "app/Unit1.h"
#include "app/application.h"
#include "app/crop_check_grid.h"
#include "app/crop_check_window.h"
#include "platform/file_system.h"
#include "trim/geometry/size_table.h"

namespace {

using namespace phototrim;
using Clock = std::chrono::steady_clock;

struct BenchOptions {
  std::optional<int> jobs;
  int sizeRow = 0;
  std::optional<int> dpi;
  bool reduce = false;
  bool plain = false;
  std::optional<int> quality;
  std::string input, output;
  std::string cropCheck;  // the folder of --crop-check
};

int Usage(const char* problem) {
  std::fprintf(stderr,
               "phototrim-window-bench: %s\n"
               "usage: phototrim-window-bench [--jobs N] [--size NAME] [--dpi N] [--reduce] [--plain] "
               "[--quality Q] INPUT_FOLDER OUTPUT_FOLDER\n"
               "       phototrim-window-bench --crop-check INPUT_FOLDER\n",
               problem);
  return 64;
}

std::optional<int> Number(const char* text, int low, int high) {
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || value < low || value > high) return std::nullopt;
  return static_cast<int>(value);
}

// Reads the arguments; a message when they are not usable.
const char* Parse(int argc, char** argv, BenchOptions& options) {
  std::vector<std::string> folders;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--reduce") {
      options.reduce = true;
    } else if (arg == "--plain") {
      options.plain = true;
    } else if (arg == "--crop-check") {
      if (!hasValue) return "an option lacks its value";
      options.cropCheck = AbsolutePath(argv[++i]);
    } else if (arg == "--jobs" || arg == "--size" || arg == "--dpi" || arg == "--quality") {
      if (!hasValue) return "an option lacks its value";
      const char* value = argv[++i];
      if (arg == "--jobs" && !(options.jobs = Number(value, 1, 256))) return "--jobs takes 1 to 256";
      if (arg == "--quality" && !(options.quality = Number(value, 0, 100))) return "--quality takes 0 to 100";
      if (arg == "--dpi") {
        options.dpi = Number(value, 0, 10000);
        if (!options.dpi || std::find(kDpiChoices.begin(), kDpiChoices.end(), *options.dpi) == kDpiChoices.end())
          return "--dpi takes 150, 200, 300, 320 or 400";
      }
      if (arg == "--size" && (options.sizeRow = FindSizeRow(value)) < 0) return "unknown size name";
    } else if (arg.rfind("--", 0) == 0) {
      return "unknown option";
    } else {
      folders.push_back(arg);
    }
  }
  if (!options.cropCheck.empty()) return folders.empty() ? nullptr : "--crop-check takes no other folder";
  if (folders.size() != 2) return "give the input and the output folder";
  options.input = AbsolutePath(folders[0]);
  options.output = AbsolutePath(folders[1]);
  return nullptr;
}

// The boxes of the run, answered at once: いいえ to every question; folders from the command line.
class BenchDialogs : public app::Dialogs {
 public:
  std::vector<QString> folders;
  std::function<void(const QString&)> onNotice;

  void Notice(const QString&, const QString& text) override {
    if (onNotice) onNotice(text);
  }
  bool Ask(const QString&, const QString&) override { return false; }
  void Error(const QString&, const QString& text) override {
    std::fprintf(stderr, "error box: %s\n", text.toUtf8().constData());
  }
  std::optional<QString> GetText(const QString&, const QString&, int) override { return std::nullopt; }
  QString GetFolder(const QString&) override {
    if (folders.empty()) return QString();
    QString folder = folders.front();
    folders.erase(folders.begin());
    return folder;
  }
};

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// The value below which a share `p` of the sorted `values` lie (nearest rank).
double Percentile(std::vector<double> values, double p) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[static_cast<std::size_t>(p * double(values.size() - 1) + 0.5)];
}

// Sets the switches on the window's controls as a user would: a click where the control is enabled.
void SetCheck(QAbstractButton* button, bool checked) {
  if (button->isChecked() == checked) return;
  if (button->isEnabled()) button->click();
  else button->setChecked(checked);
}

// The crop check window on `folder`, from the click on 確認… until every thumbnail has come.
int CropCheckBench(app::TForm1& form, BenchDialogs& dialogs, const std::string& folder) {
  dialogs.folders = {QString::fromStdString(folder)};
  form.BitBtn8->click();
  if (form.InputFolderPath().empty()) return Usage("the folder cannot be used");
  QCoreApplication::processEvents();

  Clock::time_point last;
  double longestGap = 0, firstScreen = -1, all = -1;
  QTimer ticker;
  ticker.setTimerType(Qt::PreciseTimer);
  ticker.setInterval(2);  // a pass of the event loop every 2 ms when nothing holds it up
  QEventLoop loop;
  const auto start = Clock::now();
  last = start;
  QObject::connect(&ticker, &QTimer::timeout, [&] {
    const auto now = Clock::now();
    longestGap = std::max(longestGap, Ms(now - last));
    last = now;
    const app::CropCheckWindow* window = form.CropCheck();
    if (!window) return;
    if (firstScreen < 0 && window->Grid()->VisibleLoaded()) firstScreen = Ms(now - start);
    if (window->Grid()->AllLoaded()) {
      all = Ms(now - start);
      loop.quit();
    }
  });
  ticker.start();
  form.BitBtn9->click();
  longestGap = std::max(longestGap, Ms(Clock::now() - last));  // the click itself collects the pictures
  last = Clock::now();
  if (!form.CropCheck()) return Usage("the crop check window did not open");
  loop.exec();
  ticker.stop();
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  std::printf("first_screen_ms=%.0f all_ms=%.0f longest_gap_ms=%.1f peak_rss_mb=%.0f pictures=%d\n", firstScreen, all,
              longestGap, usage.ru_maxrss / 1024.0, form.CropCheck()->Grid()->Count());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  BenchOptions options;
  if (const char* problem = Parse(argc, argv, options)) return Usage(problem);
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
      qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  app::PrepareEnvironment();
  app::TApplication application(argc, argv);
  app::SetUpApplication(application);

  BenchDialogs dialogs;
  app::SplashOptions noSplash;
  noSplash.show = false;
  app::TForm1 form(&dialogs, noSplash);
  if (options.jobs) form.SetRunJobs(*options.jobs);
  form.show();
  QCoreApplication::processEvents();
  if (!options.cropCheck.empty()) return CropCheckBench(form, dialogs, options.cropCheck);

  // The output folder picker offers only folders that exist.
  if (!CreateFolderTree(options.output)) return Usage("the output folder cannot be made");
  dialogs.folders = {QString::fromStdString(options.input), QString::fromStdString(options.output)};
  form.BitBtn8->click();
  form.BitBtn1->click();
  if (form.InputFolderPath().empty() || form.OutputFolderPath().empty()) return Usage("a folder cannot be used");
  form.SizeButtons[static_cast<std::size_t>(options.sizeRow)]->click();
  if (options.dpi) {
    const auto at = std::find(kDpiChoices.begin(), kDpiChoices.end(), *options.dpi) - kDpiChoices.begin();
    SetCheck(form.DpiButtons[static_cast<std::size_t>(at)], true);
  }
  if (options.reduce) SetCheck(form.CheckBox2, true);
  if (options.plain) SetCheck(form.CheckBox3, false);
  if (options.quality) form.TrackBar1->setValue(*options.quality);
  QCoreApplication::processEvents();

  std::vector<double> gaps;
  Clock::time_point last, finalBox;
  QString finalText;
  bool measuring = false;
  QTimer ticker;
  ticker.setInterval(0);  // fires at every pass of the event loop
  QObject::connect(&ticker, &QTimer::timeout, [&] {
    if (!measuring) return;
    const auto now = Clock::now();
    gaps.push_back(Ms(now - last));
    last = now;
  });
  // The final box is the last notice of a run (no stop is asked for, so no other notice but a
  // save's comes before it; a save's notice is followed by its question).
  dialogs.onNotice = [&](const QString& text) {
    if (!measuring) return;
    finalBox = Clock::now();
    finalText = text;
  };
  ticker.start();
  const auto start = Clock::now();
  last = start;
  measuring = true;
  form.BitBtn2->click();  // returns when the run has ended
  measuring = false;
  ticker.stop();
  if (finalText.isEmpty()) return Usage("the run did not start");
  gaps.push_back(Ms(finalBox - last));

  // The counters of the final text, in its order: saved, errors, skipped.
  int counts[3] = {0, 0, 0};
  const QString digits = finalText.section(QChar(u'。'), 1);
  int found = 0;
  for (const QString& part : digits.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
    bool ok = false;
    const int value = part.toInt(&ok);
    if (ok && found < 3) counts[found++] = value;
  }
  std::printf("%s\n", finalText.toUtf8().constData());
  std::printf("run_s=%.3f longest_gap_ms=%.1f p99_gap_ms=%.1f saved=%d errors=%d skipped=%d jobs=%d\n",
              std::chrono::duration<double>(finalBox - start).count(), Percentile(gaps, 1.0),
              Percentile(gaps, 0.99), counts[0], counts[1], counts[2], form.RunJobs());
  return 0;
}
