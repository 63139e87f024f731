// Runs driven from the window over small generated folder trees: what the window shows, and when.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <functional>

#include <QCheckBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTimer>

#include "app/application.h"
#include "app/stop_signals.h"
#include "support/picture_files.h"
#include "support/test_folder.h"
#include "trim/format.h"
#include "trim/messages.h"
#include "window_fixture.h"

namespace phototrim {
namespace {

using testing::JpegSize;
using testing::ScriptedDialogs;
using testing::TestFolder;
using testing::WindowUnderTest;
using testing::WriteJpeg;
namespace fs = std::filesystem;
using Kind = ScriptedDialogs::Kind;

constexpr int kVga = 12, kQvga = 11;

std::string Progress(int percent, int done, int total, int errors, int skips) {
  return Format(text::kProgressStatus, percent, done, total, errors, skips);
}
std::string Finished(int saved, int errors, int skips) { return Format(text::kFinishedStatus, saved, errors, skips); }
std::string Aborted(int saved, int errors, int skips) { return Format(text::kAbortedStatus, saved, errors, skips); }
std::pair<int, int> Size(int w, int h) { return {w, h}; }

// A click as the user makes it: a press and a release on the button, delivered by the event loop.
void PostClick(QWidget* button) {
  const QPointF centre = QRectF(button->rect()).center();
  const QPointF global = button->mapToGlobal(centre);
  QCoreApplication::postEvent(
      button, new QMouseEvent(QEvent::MouseButtonPress, centre, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
  QCoreApplication::postEvent(
      button, new QMouseEvent(QEvent::MouseButtonRelease, centre, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
}

// Every run of the window works on its pictures on other threads, one file at a time (one worker)
// or several at once: what the window shows and writes is the same.
class WindowRun : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    window->SetRunJobs(GetParam());
    window->Edit1->setText(QString::fromStdString(folder / "in/"));
    window->Edit2->setText(QString::fromStdString(folder / "out/"));
    window->show();
    QObject::connect(window->StatusBar1, &QStatusBar::messageChanged,
                     [this](const QString& text) { statusTexts.push_back(text.toStdString()); });
    QObject::connect(window->ProgressBar1, &QProgressBar::valueChanged, [this](int value) { progress.push_back(value); });
  }
  // 実行, clicked and handled in the event loop as a user's click is.
  void Run() {
    PostClick(window->BitBtn2);
    QCoreApplication::processEvents();
  }
  std::string In(const std::string& name) { return folder / ("in/" + name); }
  std::string Out(const std::string& name) { return folder / ("out/" + name); }
  void ExpectIdle() {
    EXPECT_TRUE(window->BitBtn2->isEnabled());
    EXPECT_FALSE(window->BitBtn3->isEnabled());
    EXPECT_FALSE(window->ProgressBar1->isVisible());
    EXPECT_FALSE(window->Running());
  }
  // Runs `action` at the next pump of the run, after the current handler has returned.
  static void AtNextPump(std::function<void()> action) { QTimer::singleShot(0, std::move(action)); }

  TestFolder folder;
  WindowUnderTest window;
  std::vector<std::string> statusTexts;
  std::vector<int> progress;
};

TEST_P(WindowRun, ThreeFilesAdvanceProgressAndStatusAndEndWithTheSummaryBox) {
  for (const char* name : {"a.jpg", "b.jpg", "sub/c.jpg"}) WriteJpeg(In(name), 400, 300);
  bool runningAtFinalBox = false;
  window.dialogs.onBox = [&](const ScriptedDialogs::Box&) {
    runningAtFinalBox = !window->BitBtn2->isEnabled() && window->BitBtn3->isEnabled() && window->ProgressBar1->isVisible();
  };
  Run();

  EXPECT_EQ(progress, (std::vector<int>{33, 66, 100}));
  EXPECT_EQ(statusTexts, (std::vector<std::string>{Progress(33, 1, 3, 0, 0), Progress(66, 2, 3, 0, 0),
                                                   Progress(100, 3, 3, 0, 0), Finished(3, 0, 0)}));
  EXPECT_EQ(window.MemoLines(), (std::vector<std::string>{In("a.jpg"), In("b.jpg"), In("sub/c.jpg")}));
  ASSERT_EQ(window.dialogs.boxes.size(), 1u);
  EXPECT_EQ(window.dialogs.boxes[0].kind, Kind::Notice);
  EXPECT_EQ(window.dialogs.boxes[0].title, "写真トリミングツ－ル（カルネラ付属ツール）");
  EXPECT_EQ(window.dialogs.boxes[0].text, Finished(3, 0, 0));
  EXPECT_TRUE(runningAtFinalBox) << "the summary box comes before the window goes back to idle";
  ExpectIdle();
  EXPECT_EQ(window.Status(), Finished(3, 0, 0));
  EXPECT_EQ(JpegSize(Out("sub/c.jpg")), Size(400, 280)) << "cropped to L's ratio";
}

TEST_P(WindowRun, FailureAnsweredNoCountsAnErrorAndHoldsTheProgressBar) {
  WriteJpeg(In("a.jpg"), 400, 300);
  testing::WriteText(In("b.jpg"), "not a picture");
  WriteJpeg(In("c.jpg"), 400, 300);
  std::vector<int> progressAtQuestion;
  window.dialogs.onBox = [&](const ScriptedDialogs::Box& box) {
    if (box.kind == Kind::Ask) progressAtQuestion.push_back(window->ProgressBar1->value());
  };
  Run();

  EXPECT_EQ(window.dialogs.Texts(Kind::Ask), std::vector<std::string>{Format(text::kAskDecode, In("b.jpg").c_str())});
  EXPECT_EQ(progressAtQuestion, std::vector<int>{33});
  EXPECT_EQ(progress, (std::vector<int>{33, 100}));
  EXPECT_EQ(statusTexts,
            (std::vector<std::string>{Progress(33, 1, 3, 0, 0), Progress(100, 3, 3, 1, 0), Finished(2, 1, 0)}));
  EXPECT_EQ(window.MemoLines(),
            (std::vector<std::string>{In("a.jpg"), In("b.jpg"), text::kMemoDecode, In("c.jpg")}));
  EXPECT_EQ(window.dialogs.Texts(Kind::Notice), std::vector<std::string>{Finished(2, 1, 0)});
  ExpectIdle();
}

TEST_P(WindowRun, FailureAnsweredYesStopsTheRun) {
  testing::WriteText(In("a.jpg"), "not a picture");
  WriteJpeg(In("b.jpg"), 400, 300);
  window.dialogs.answers = {true};
  Run();
  EXPECT_EQ(window.MemoLines(), (std::vector<std::string>{In("a.jpg"), text::kMemoAborted}));
  EXPECT_EQ(window.dialogs.Texts(Kind::Notice), std::vector<std::string>{Aborted(0, 0, 0)});
  EXPECT_FALSE(fs::exists(Out("b.jpg")));
  ExpectIdle();
}

TEST_P(WindowRun, ExistingFilesAreAskedAboutOncePerRun) {
  for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) WriteJpeg(In(name), 400, 300);
  Run();
  EXPECT_TRUE(window.dialogs.Texts(Kind::Ask).empty());
  for (int run = 2; run <= 3; ++run) {
    SCOPED_TRACE(run);
    window.dialogs.boxes.clear();
    Run();
    // いいえ to the first question allows overwriting for the rest of this run only.
    EXPECT_EQ(window.dialogs.Texts(Kind::Ask), std::vector<std::string>{Format(text::kAskExisting, Out("a.jpg").c_str())});
    EXPECT_EQ(window.dialogs.Texts(Kind::Notice), std::vector<std::string>{Finished(3, 0, 0)});
  }
}

TEST_P(WindowRun, StartRefusalShowsOnlyItsNotice) {
  WriteJpeg(In("a.jpg"), 400, 300);
  window->Edit1->clear();
  window->Edit2->clear();
  Run();
  EXPECT_EQ(window.dialogs.Texts(Kind::Notice), std::vector<std::string>{text::kNoInputFolder});
  EXPECT_EQ(window.MemoLines(), std::vector<std::string>{""});
  EXPECT_TRUE(statusTexts.empty());
  ExpectIdle();
}

TEST_P(WindowRun, AbortClickedBetweenFilesStopsAtTheNextFile) {
  for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) WriteJpeg(In(name), 400, 300);
  QObject::connect(window->StatusBar1, &QStatusBar::messageChanged, [this](const QString& text) {
    if (text.toStdString() == Progress(33, 1, 3, 0, 0)) PostClick(window->BitBtn3);
  });
  Run();
  EXPECT_EQ(window.MemoLines(), (std::vector<std::string>{In("a.jpg"), In("b.jpg"), text::kMemoAborted}));
  EXPECT_EQ(window.dialogs.Texts(Kind::Notice), (std::vector<std::string>{text::kAbortedNotice, Aborted(1, 0, 0)}));
  EXPECT_FALSE(fs::exists(Out("b.jpg")));
  ExpectIdle();
}

TEST_P(WindowRun, AbortOrCloseWhileALargePictureIsWorkedOnStopsAtOnceAsAtItsStart) {
  WriteJpeg(In("a.jpg"), 400, 300);
  WriteJpeg(In("b.jpg"), 4200, 2802);
  window->CheckBox2->click();  // reduce, with the high-quality reduction: b takes a while
  for (const bool close : {false, true}) {
    SCOPED_TRACE(close ? "closed" : "中断");
    fs::remove_all(Out(""));
    statusTexts.clear();
    window->show();
    // The second pass of the event loop after b's line: the run waits for b's work.
    int passes = 0;
    QTimer ticker;
    ticker.setInterval(0);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
      if (window.MemoLines().back() == In("b.jpg") && ++passes == 2) close ? (void)window->close() : window->BitBtn3->click();
    });
    ticker.start();
    Run();
    ASSERT_EQ(passes, 2);
    EXPECT_EQ(window.MemoLines(), (std::vector<std::string>{In("a.jpg"), text::kMemoNotReduced, In("b.jpg"), text::kMemoAborted}));
    EXPECT_EQ(statusTexts, (std::vector<std::string>{Progress(50, 1, 2, 0, 0), Aborted(1, 0, 0)}));
    EXPECT_TRUE(fs::exists(Out("a.jpg")));
    EXPECT_FALSE(fs::exists(Out("b.jpg")));
    ExpectIdle();
  }
  // 中断 tells the stop; a user who has closed the window is asked and told nothing more.
  EXPECT_EQ(window.dialogs.Texts(Kind::Notice), (std::vector<std::string>{text::kAbortedNotice, Aborted(1, 0, 0)}));
  QCoreApplication::processEvents();
  EXPECT_FALSE(window->isVisible());
}

TEST_P(WindowRun, SettingsChangedDuringARunApplyFromTheNextFileFoldersFromTheNextRun) {
  for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) WriteJpeg(In(name), 1600, 1200);
  WriteJpeg(folder / "in2/d.jpg", 1600, 1200);
  window->SizeButtons[kVga]->click();  // turns the reduction on
  ASSERT_TRUE(window->CheckBox2->isChecked());
  QObject::connect(window->StatusBar1, &QStatusBar::messageChanged, [this](const QString& text) {
    if (text.toStdString() == Progress(33, 1, 3, 0, 0))
      AtNextPump([this] {
        window->CheckBox2->click();  // read for each file: b is not reduced
        // Both folders are the run's from its start: they show now and apply to the next run.
        window->Edit1->setText(QString::fromStdString(folder / "in2"));
        window->Edit2->setText(QString::fromStdString(folder / "out2"));
      });
    if (text.toStdString() == Progress(66, 2, 3, 0, 0))
      AtNextPump([this] {
        // The size is read at the start only: c is still reduced to VGA, not QVGA.
        window->SizeButtons[kQvga]->click();  // and turns the reduction back on
        window->TrackBar1->setValue(5);
      });
  });
  Run();
  EXPECT_EQ(window.dialogs.Texts(Kind::Notice), std::vector<std::string>{Finished(3, 0, 0)});
  EXPECT_EQ(JpegSize(Out("a.jpg")), Size(640, 480));
  EXPECT_EQ(JpegSize(Out("b.jpg")), Size(1600, 1200));
  EXPECT_EQ(JpegSize(Out("c.jpg")), Size(640, 480));
  EXPECT_FALSE(fs::exists(folder / "out2"));
  // Quality 5 instead of 90 for the same picture makes a much smaller file.
  EXPECT_LT(fs::file_size(Out("c.jpg")) * 3, fs::file_size(Out("a.jpg")));
  EXPECT_EQ(window->Edit2->text().toStdString(), folder / "out2");
  window.dialogs.boxes.clear();
  Run();
  EXPECT_EQ(window.dialogs.Texts(Kind::Notice), std::vector<std::string>{Finished(1, 0, 0)});
  EXPECT_TRUE(fs::exists(folder / "out2/d.jpg"));
}

TEST_P(WindowRun, OutputFolderThatIsTheInputIsRefusedAtExecuteWithItsBox) {
  WriteJpeg(In("a.jpg"), 3000, 2000);
  fs::create_directory_symlink(folder / "in", folder / "link");
  for (const std::string out : {"in/", "in/.", "in//", "link"}) {
    window.dialogs.boxes.clear();
    window->Edit2->setText(QString::fromStdString(folder / out));
    window.dialogs.answers = {false, false};  // いいえ, were anything asked
    Run();
    EXPECT_EQ(window.dialogs.Texts(Kind::Notice), std::vector<std::string>{text::kOutputIsInput}) << out;
    EXPECT_TRUE(window.dialogs.Texts(Kind::Ask).empty()) << out;
    EXPECT_EQ(window.MemoLines(), std::vector<std::string>{""}) << out;
    ExpectIdle();
  }
  EXPECT_EQ(JpegSize(In("a.jpg")), Size(3000, 2000));
  EXPECT_EQ(testing::ListFilesBelow(folder / "in"), std::vector<std::string>{"a.jpg"});
}

TEST_P(WindowRun, AnExceptionInARunReachesTheErrorBoxAndTheWindowGoesBackToIdle) {
  auto* application = static_cast<app::TApplication*>(QCoreApplication::instance());
  application->SetDialogs(&window.dialogs);
  testing::WriteText(In("a.jpg"), "not a picture");
  window.dialogs.onBox = [](const ScriptedDialogs::Box& box) {
    if (box.kind == Kind::Ask) throw std::runtime_error("想定外の失敗");
  };
  Run();
  application->SetDialogs(nullptr);
  ASSERT_EQ(window.dialogs.Texts(Kind::Error), std::vector<std::string>{"想定外の失敗"});
  EXPECT_EQ(window.dialogs.boxes.back().title, "写真トリミングツ－ル");
  ExpectIdle();
}

TEST_P(WindowRun, ClosingTheWindowDuringARunStopsItQuietlyAndThenCloses) {
  for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) WriteJpeg(In(name), 400, 300);
  QObject::connect(window->StatusBar1, &QStatusBar::messageChanged, [this](const QString& text) {
    if (text.toStdString() == Progress(33, 1, 3, 0, 0)) AtNextPump([this] { window->close(); });
  });
  Run();
  EXPECT_TRUE(window->isVisible()) << "still there while the run ends";
  QCoreApplication::processEvents();
  EXPECT_FALSE(window->isVisible());
  EXPECT_TRUE(window.dialogs.boxes.empty()) << "nothing more is asked of a user who has closed the window";
  EXPECT_TRUE(fs::exists(Out("a.jpg")));
  EXPECT_FALSE(fs::exists(Out("b.jpg")));
}

TEST_P(WindowRun, AbortClickedWhileTheFilesAreCollectedStopsTheRunBeforeItStarts) {
  for (int i = 0; i < 20; ++i) WriteJpeg(In(Format("%02d/a.jpg", i)), 400, 300);
  window->workspace.PumpSlice = {};  // events at every chance the collection gives
  QTimer ticker;
  ticker.start(0);
  bool clicked = false;
  QObject::connect(&ticker, &QTimer::timeout, [&] {
    // 中断 is there to be clicked before the running state; 実行 cannot start a second run meanwhile.
    if (clicked || window->Running() || !window->BitBtn3->isEnabled()) return;
    clicked = true;
    EXPECT_FALSE(window->BitBtn2->isEnabled());
    PostClick(window->BitBtn3);
  });
  Run();
  EXPECT_TRUE(clicked);
  EXPECT_EQ(window.dialogs.Texts(Kind::Notice), std::vector<std::string>{text::kAbortedNotice});
  EXPECT_TRUE(statusTexts.empty());
  EXPECT_FALSE(fs::exists(folder / "out"));
  ExpectIdle();
}

TEST_P(WindowRun, AStopSignalClosesTheWindowStoppingARunFirst) {
  for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) WriteJpeg(In(name), 400, 300);
  {
    app::StopSignals stopSignals([this] { window->close(); });
    QObject::connect(window->StatusBar1, &QStatusBar::messageChanged, [](const QString& text) {
      if (text.toStdString() == Progress(33, 1, 3, 0, 0)) ::raise(SIGTERM);
    });
    Run();
    QCoreApplication::processEvents();
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(window.dialogs.boxes.empty());
    EXPECT_TRUE(fs::exists(Out("a.jpg")));
    EXPECT_FALSE(fs::exists(Out("b.jpg")));
  }
  // No run going: the window just closes.
  WindowUnderTest idle;
  idle->show();
  app::StopSignals stopSignals([&idle] { idle->close(); });
  ::raise(SIGHUP);
  QCoreApplication::processEvents();
  EXPECT_FALSE(idle->isVisible());
}

INSTANTIATE_TEST_SUITE_P(Jobs, WindowRun, ::testing::Values(1, 3),
                         [](const ::testing::TestParamInfo<int>& jobs) { return std::to_string(jobs.param) + "Jobs"; });

}  // namespace
}  // namespace phototrim
