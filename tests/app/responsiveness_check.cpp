// phototrim_responsiveness_check: how the window answers while a run works on a 6000 x 4000 photo
// with the high-quality reduction. A measurement, not a test: it prints figures and judges nothing.
//
//   phototrim_responsiveness_check [CLICKS] [SCREENSHOT.png]
//
// The picture is a smooth pattern with fine grain (so it decodes about as slowly as a real photo) and
// is reduced to L at 400 dpi (2000 x 1401) from the window, as 実行 does. A timer that fires at every
// pass of the event loop records how long the loop waits between passes; then, run after run, a second
// thread clicks 中断 (a mouse press and release posted to the button, as the window system delivers
// them) at a moment of its own while the picture is worked on, and the check measures how long the run
// takes to stop. Given a file name (and a real display), it also saves the screen in the middle of the
// first run, and after the last one beside it (NAME-after.png).
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <thread>
#include <vector>

#include <QCheckBox>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextDocument>
#include <QPointingDevice>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include "app/Unit1.h"
#include "app/application.h"
#include "scripted_dialogs.h"
#include "support/picture_files.h"
#include "support/test_folder.h"
#include "trim/bitmap.h"
#include "support/jpeg_load.h"

namespace {

using Clock = std::chrono::steady_clock;
double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

void PostClick(QWidget* button) {
  const QPointF centre = QRectF(button->rect()).center();
  const QPointF global = button->mapToGlobal(centre);
  const QPointingDevice* mouse = QPointingDevice::primaryPointingDevice();
  QCoreApplication::postEvent(button, new QMouseEvent(QEvent::MouseButtonPress, centre, global, Qt::LeftButton,
                                                      Qt::LeftButton, Qt::NoModifier, mouse));
  QCoreApplication::postEvent(button, new QMouseEvent(QEvent::MouseButtonRelease, centre, global, Qt::LeftButton,
                                                      Qt::NoButton, Qt::NoModifier, mouse));
}

double Percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[static_cast<std::size_t>(p * double(v.size() - 1) + 0.5)];
}

// A 6000 x 4000 picture with the detail of a photograph: smooth shapes and a fine grain.
void WritePhoto(const std::string& path) {
  phototrim::Bitmap picture;
  phototrim::testing::FillPattern(picture, 6000, 4000, 7);
  std::mt19937 random(11);
  for (int y = 0; y < picture.Height(); ++y) {
    std::uint8_t* row = picture.Row(y);
    for (std::size_t i = 0; i < picture.Stride(); ++i)
      row[i] = static_cast<std::uint8_t>(std::clamp(int(row[i]) + int(random() % 25) - 12, 0, 255));
  }
  phototrim::testing::JpegOptions options;
  options.quality = 92;
  phototrim::testing::WriteBytes(path, phototrim::testing::EncodeJpeg(picture, options));
}

}  // namespace

int main(int argc, char** argv) {
  using namespace phototrim;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  app::PrepareEnvironment();
  app::TApplication application(argc, argv);
  app::SetUpApplication(application);
  const int clicks = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
  const QString screenshot = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
  QPointingDevice::primaryPointingDevice();  // made here, on the window's thread, before the clicker uses it

  testing::TestFolder folder;
  const std::string picture = folder / "in/photo.jpg";
  WritePhoto(picture);
  {
    Bitmap work, scratch;
    std::vector<std::uint8_t> profile;
    const auto start = Clock::now();
    LoadJpeg(picture, work, scratch, profile);
    std::printf("decode of the 6000 x 4000 picture alone: %.0f ms\n", Ms(Clock::now() - start));
  }

  testing::ScriptedDialogs dialogs;
  app::SplashOptions noSplash;
  noSplash.show = false;
  app::TForm1 form(&dialogs, noSplash);
  form.Edit1->setText(QString::fromStdString(folder / "in/"));
  form.CheckBox2->setChecked(true);  // L at 400 dpi, high quality
  form.show();

  std::vector<double> gaps, latencies;
  double fileTime = 0;
  for (int run = 0; run <= clicks; ++run) {
    form.Edit2->setText(QString::fromStdString(folder / ("out" + std::to_string(run) + "/")));
    dialogs.boxes.clear();
    const bool abort = run > 0;
    std::atomic<bool> fileStarted{false};
    std::atomic<long long> clickPosted{0};
    Clock::time_point first{}, last{}, stopped{};
    bool grabbed = false;
    QTimer ticker;
    ticker.setInterval(0);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
      if (!form.Running()) return;
      auto now = Clock::now();
      if (!fileStarted) {
        first = now;
        fileStarted = true;
      } else {
        gaps.push_back(Ms(now - last));
        if (run == 0 && !screenshot.isEmpty() && !grabbed && Ms(now - first) > 100) {
          grabbed = QGuiApplication::primaryScreen()->grabWindow(0).save(screenshot);
          now = Clock::now();  // the grab is not the run's time
        }
      }
      last = now;
    });
    // The run writes 中断 into the memo as soon as it has stopped.
    QObject::connect(form.Memo1, &QPlainTextEdit::blockCountChanged, [&] {
      if (stopped == Clock::time_point{} && form.Memo1->document()->lastBlock().text() == QStringLiteral("中断"))
        stopped = Clock::now();
    });
    std::thread clicker;
    if (abort) {
      // Once the run has started, after a pause of its own each run within the file's time: the clicks
      // land in the decode, the reduction, the encode and the loop's time slices.
      std::mt19937 random(static_cast<unsigned>(run));
      const double pause = fileTime * 0.7 * double(random() % 1000) / 1000.0;
      clicker = std::thread([&, pause] {
        while (!fileStarted) std::this_thread::sleep_for(std::chrono::microseconds(50));
        std::this_thread::sleep_for(std::chrono::microseconds(static_cast<long long>(pause * 1000)));
        clickPosted = Clock::now().time_since_epoch().count();
        PostClick(form.BitBtn3);
      });
    }
    const auto runStart = Clock::now();
    ticker.start();
    form.BitBtn2Click();
    ticker.stop();
    if (clicker.joinable()) clicker.join();
    QCoreApplication::processEvents();  // a click that came too late goes to the idle window, not to the next run
    QObject::disconnect(form.Memo1, nullptr, nullptr, nullptr);
    if (!abort) {
      fileTime = Ms(Clock::now() - runStart);
    } else if (stopped != Clock::time_point{}) {
      latencies.push_back(Ms(stopped - Clock::time_point(Clock::duration(clickPosted.load()))));
    } else {
      std::printf("click %d came after the file was saved\n", run);
    }
  }
  if (!screenshot.isEmpty()) {
    QString after = screenshot;
    after.insert(after.lastIndexOf(QLatin1Char('.')), QStringLiteral("-after"));
    QGuiApplication::primaryScreen()->grabWindow(0).save(after);
  }
  std::printf("one run (decode, crop, reduction to 2000 x 1401, encode, save): %.0f ms\n", fileTime);
  std::printf("wait between event-loop passes in the runs: median %.1f ms, p99 %.1f ms, max %.1f ms (%zu gaps)\n",
              Percentile(gaps, 0.5), Percentile(gaps, 0.99), Percentile(gaps, 1.0), gaps.size());
  if (!latencies.empty())
    std::printf("中断 clicked during the run, until the run has stopped: median %.1f ms, max %.1f ms (%zu clicks)\n",
                Percentile(latencies, 0.5), Percentile(latencies, 1.0), latencies.size());
  return 0;
}
