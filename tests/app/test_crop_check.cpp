// The crop check window on the offscreen platform: frames moved with keys, positions saved and
// opened, and the next 実行 cutting where the frames were put.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>

#include <QCheckBox>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

#include "app/crop_check_grid.h"
#include "app/crop_check_window.h"
#include "support/heif_files.h"
#include "support/picture_files.h"
#include "support/test_folder.h"
#include "trim/geometry/crop_positions_file.h"
#include "window_fixture.h"

namespace phototrim {
namespace {

using testing::TestFolder;

void Key(QWidget* to, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QKeyEvent press(QEvent::KeyPress, key, modifiers);
  QCoreApplication::sendEvent(to, &press);
}

// Lets the thumbnails come in, for at most a few seconds.
bool WaitForThumbnails(app::CropCheckGrid& grid) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!grid.AllLoaded() && std::chrono::steady_clock::now() < end) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  return grid.AllLoaded();
}

// Three pictures: two landscape (free columns at L) and one portrait (free rows), one of them broken.
void WritePictures(const TestFolder& folder) {
  testing::WriteJpeg(folder / "in/a.jpg", 403, 250, {}, 1);
  testing::WriteJpeg(folder / "in/b.jpg", 250, 403, {}, 2);
  testing::WriteJpeg(folder / "in/sub/c.jpg", 403, 250, {}, 3);
  testing::WriteText(folder / "in/broken.jpg", "not a picture");
}

TEST(CropCheck, KeysMoveFramesAlongTheirFreeAxisAndPositionsSaveAndOpen) {
  TestFolder folder;
  WritePictures(folder);
  const std::vector<std::string> paths = {folder / "in/a.jpg", folder / "in/b.jpg", folder / "in/broken.jpg",
                                          folder / "in/sub/c.jpg"};
  std::vector<QString> notices;
  app::CropCheckWindow::Asking asking{[&](bool) { return QString::fromStdString(folder / "positions.txt"); },
                                      [&](const QString& text) { notices.push_back(text); }};
  CropPositions positions;
  app::CropCheckWindow window(paths, folder / "in/", positions, [] { return TargetSize{2000, 1401}; }, asking);
  window.show();
  app::CropCheckGrid& grid = *window.Grid();
  ASSERT_TRUE(WaitForThumbnails(grid));
  EXPECT_EQ(grid.PictureAt(2).state, app::CropCheckGrid::Picture::State::Failed);

  Key(&grid, Qt::Key_Right);
  Key(&grid, Qt::Key_Right, Qt::ShiftModifier);
  Key(&grid, Qt::Key_Down);  // a landscape frame at L has no room up or down
  EXPECT_EQ(grid.PlaceOf(0), (CropPosition{6100, 5000}));
  Key(&grid, Qt::Key_Right, Qt::ControlModifier);
  Key(&grid, Qt::Key_Up, Qt::ShiftModifier);
  Key(&grid, Qt::Key_Left);
  EXPECT_EQ(grid.PlaceOf(1), (CropPosition{5000, 4000}));
  Key(&grid, Qt::Key_End);
  for (int i = 0; i < 60; ++i) Key(&grid, Qt::Key_Left);  // stops at the edge
  EXPECT_EQ(grid.PlaceOf(3), (CropPosition{0, 5000}));
  EXPECT_EQ(window.MovedLabel->text(), QString::fromUtf8("動かした枠: 3枚 / 4枚"));
  Key(&grid, Qt::Key_Delete);
  EXPECT_EQ(grid.PlaceOf(3), kCentred);
  Key(&grid, Qt::Key_Right);
  EXPECT_EQ(grid.PlaceOf(3), (CropPosition{5100, 5000}));

  // No face in these pictures: 顔に合わせる leaves every frame where it is, and the window answers meanwhile.
  window.FacesAllButton->click();
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (window.FindingFaces() && std::chrono::steady_clock::now() < end) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  EXPECT_FALSE(window.FindingFaces());
  EXPECT_TRUE(notices.empty());
  EXPECT_EQ(grid.PlaceOf(3), (CropPosition{5100, 5000}));

  window.SaveButton->click();
  EXPECT_EQ(testing::ReadBytes(folder / "positions.txt").size(), CropPositionsText(positions).size());
  CropPositions opened;
  app::CropCheckWindow again(paths, folder / "in/", opened, [] { return TargetSize{2000, 1401}; }, asking);
  again.OpenButton->click();
  EXPECT_EQ(opened.Entries().size(), 3u);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(again.Grid()->PlaceOf(i), grid.PlaceOf(i)) << i;
  again.RecentreAllButton->click();
  EXPECT_EQ(again.Grid()->MovedCount(), 0);

  testing::WriteText(folder / "positions.txt", "a.jpg\t101\t0\n");
  again.OpenButton->click();
  testing::WriteText(folder / "positions.txt", "a.jpg\t1\t0\ngone.jpg\t1\t1\n");
  again.OpenButton->click();
  ASSERT_EQ(notices.size(), 2u);
  EXPECT_NE(notices[0].indexOf(QString::fromUtf8("positions.txt:1:")), -1) << notices[0].toStdString();
  EXPECT_NE(notices[1].indexOf(QString::fromUtf8("gone.jpg")), -1) << notices[1].toStdString();
  EXPECT_EQ(again.Grid()->PlaceOf(0), (CropPosition{100, 0}));
}

TEST(CropCheck, TheNextRunCutsWhereTheFramesWerePut) {
  TestFolder folder;
  WritePictures(folder);
  std::filesystem::remove(folder / "in/broken.jpg");
  testing::MakeFolders(folder / "out");  // the folder picker offers only folders that exist
  testing::WindowUnderTest window;
  window.dialogs.folders = {QString::fromStdString(folder / "in"), QString::fromStdString(folder / "out")};
  EXPECT_FALSE(window->BitBtn9->isEnabled());
  window->BitBtn8->click();
  window->BitBtn1->click();
  ASSERT_TRUE(window->BitBtn9->isEnabled());
  window->BitBtn9->click();
  ASSERT_NE(window->CropCheck(), nullptr);
  app::CropCheckGrid& grid = *window->CropCheck()->Grid();
  ASSERT_TRUE(WaitForThumbnails(grid));
  Key(&grid, Qt::Key_Left, Qt::ShiftModifier);
  Key(&grid, Qt::Key_Right, Qt::ControlModifier);
  Key(&grid, Qt::Key_Down, Qt::ShiftModifier);
  std::string reason;
  ASSERT_TRUE(WriteCropPositionsFile(folder / "positions.txt", window->CropPlaces, reason)) << reason;
  window->CropCheck()->close();

  window->BitBtn2->click();  // returns when the run has ended
  // The command with the same positions makes the same files; without them, other ones.
  const std::string command = std::string("'") + PHOTOTRIM_BATCH_EXE + "' --quiet --crop-positions '" +
                              (folder / "positions.txt") + "' '" + (folder / "in") + "' '" + (folder / "cli") +
                              "' > /dev/null && '" + PHOTOTRIM_BATCH_EXE + "' --quiet '" + (folder / "in") + "' '" +
                              (folder / "centred") + "' > /dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0);
  for (const char* name : {"a.jpg", "b.jpg", "sub/c.jpg"}) {
    const auto placed = testing::ReadBytes(folder / ("out/" + std::string(name)));
    EXPECT_TRUE(placed == testing::ReadBytes(folder / ("cli/" + std::string(name)))) << name;
    EXPECT_EQ(placed == testing::ReadBytes(folder / ("centred/" + std::string(name))), std::string(name) == "sub/c.jpg")
        << name;
  }
}

TEST(CropCheck, PicturesAreCollectedAsideAsTheRunWouldCollectThem) {
  TestFolder folder;
  testing::WriteJpeg(folder / "in/a.jpg", 403, 250);
  testing::WriteJpeg(folder / "in/sub/b.jpg", 250, 403);
  Bitmap picture;
  testing::FillPattern(picture, 320, 240);
  testing::HeifOptions withThumbnail;
  withThumbnail.thumbnail = 160;
  testing::WriteBytes(folder / "in/c.heic", testing::WithRotation(testing::MakeHeif(picture, withThumbnail), 1, true));
  testing::WindowUnderTest window;
  window.dialogs.folders = {QString::fromStdString(folder / "in")};
  window->BitBtn8->click();
  const struct {
    bool noSubfolders, heif;
    int pictures;
  } cases[] = {{false, false, 2}, {true, false, 1}, {false, true, 3}, {false, true, 3}};
  const app::CropCheckWindow* previous = nullptr;
  for (const auto& c : cases) {
    window->CheckBox4->setChecked(c.noSubfolders);
    window->CheckBox6->setChecked(c.heif);
    window->BitBtn9->click();
    app::CropCheckWindow* check = window->CropCheck();
    ASSERT_NE(check, nullptr);
    // The same switches keep the window and what was collected; other ones collect anew.
    EXPECT_EQ(check == previous, &c == &cases[3]) << c.pictures;
    previous = check;
    ASSERT_TRUE(WaitForThumbnails(*check->Grid())) << c.pictures;
    EXPECT_FALSE(check->Collecting());
    EXPECT_TRUE(check->OpenButton->isEnabled());
    ASSERT_EQ(check->Grid()->Count(), c.pictures);
  }
  // The HEIF picture stands as the run turns it, and its frame sits on that geometry.
  const app::CropCheckGrid::Picture& heif = previous->Grid()->PictureAt(1);
  EXPECT_EQ(heif.relative, "c.heic");
  EXPECT_EQ(heif.state, app::CropCheckGrid::Picture::State::Shown);
  EXPECT_EQ(heif.width, 240);
  EXPECT_EQ(heif.height, 320);
}

TEST(CropCheck, ClosedAndGoneWhileItsPicturesAreStillCollected) {
  TestFolder folder;
  // Enough folders that the collection is still going when the window goes.
  for (int i = 0; i < 200; ++i) testing::WriteJpeg(folder / ("in/" + std::to_string(i) + "/a.jpg"), 16, 16);
  CropPositions positions;
  app::PictureCollection::Source source;
  source.root = folder / "in";
  for (int i = 0; i < 3; ++i) {
    auto window = std::make_unique<app::CropCheckWindow>(source, positions, [] { return TargetSize{2000, 1401}; },
                                                         app::CropCheckWindow::Asking{});
    window->show();
    EXPECT_FALSE(window->OpenButton->isEnabled() && window->Collecting());
    if (i > 0) QCoreApplication::processEvents(QEventLoop::AllEvents, 5 * i);
    window->close();
    window.reset();  // stops the collection and waits for it
  }
}

TEST(CropCheck, AClosedWindowDecodesNoMoreThumbnailsUntilItIsShownAgain) {
  TestFolder folder;
  std::vector<std::string> paths;
  for (int i = 0; i < 300; ++i) {
    paths.push_back(folder / ("in/" + std::to_string(i) + ".jpg"));
    testing::WriteJpeg(paths.back(), 96, 64, {}, i);
  }
  CropPositions positions;
  app::CropCheckWindow window(paths, folder / "in/", positions, [] { return TargetSize{2000, 1401}; },
                              app::CropCheckWindow::Asking{});
  window.show();
  window.close();
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(800);
  while (std::chrono::steady_clock::now() < end) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  EXPECT_FALSE(window.Grid()->AllLoaded());
  window.show();
  EXPECT_TRUE(WaitForThumbnails(*window.Grid()));
}

}  // namespace
}  // namespace phototrim
