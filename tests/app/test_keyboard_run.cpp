// A whole run with the keyboard alone: Tab to each command, Return to press it, arrows for the quality.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSlider>
#include <QToolTip>

#include "support/picture_files.h"
#include "support/test_folder.h"
#include "window_fixture.h"

namespace phototrim {
namespace {

using testing::ScriptedDialogs;
using testing::TestFolder;
using testing::WindowUnderTest;
namespace fs = std::filesystem;

void Press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  ASSERT_NE(QApplication::focusWidget(), nullptr);
  QKeyEvent press(QEvent::KeyPress, key, modifiers);
  QKeyEvent release(QEvent::KeyRelease, key, modifiers);
  QCoreApplication::sendEvent(QApplication::focusWidget(), &press);
  QCoreApplication::sendEvent(QApplication::focusWidget(), &release);
}

std::string Focused() { return QApplication::focusWidget() ? QApplication::focusWidget()->objectName().toStdString() : ""; }

// Tab (or Shift+Tab) until `name` has the focus; false when it never comes.
bool TabTo(const std::string& name, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  for (int i = 0; i < 40 && Focused() != name; ++i) Press(modifiers ? Qt::Key_Backtab : Qt::Key_Tab, modifiers);
  return Focused() == name;
}

template <typename Done>
bool WaitFor(Done done) {
  QElapsedTimer clock;
  clock.start();
  while (!done() && clock.elapsed() < 10000) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  return done();
}

TEST(KeyboardRun, FoldersQualityAndRunWithoutAMouse) {
  TestFolder folder;
  testing::WriteJpeg(folder / "in/a.jpg", 400, 300);
  testing::WriteJpeg(folder / "in/b.jpg", 400, 300);
  fs::create_directories(folder / "out");
  WindowUnderTest window;
  window.dialogs.folders = {QString::fromStdString(folder / "in"), QString::fromStdString(folder / "out")};
  window->show();
  QApplication::setActiveWindow(window.form.get());
  window->Edit1->setFocus(Qt::TabFocusReason);

  auto pickedFolders = [&] { return window.dialogs.Texts(ScriptedDialogs::Kind::GetFolder).size(); };
  ASSERT_TRUE(TabTo("BitBtn8"));
  Press(Qt::Key_Return);
  ASSERT_TRUE(WaitFor([&] { return pickedFolders() == 1; })) << "Return presses the input folder's button";
  ASSERT_TRUE(TabTo("BitBtn1"));
  Press(Qt::Key_Enter, Qt::KeypadModifier);
  ASSERT_TRUE(WaitFor([&] { return pickedFolders() == 2; })) << "and the keypad's Enter the output folder's";
  EXPECT_EQ(window->Edit2->text().toStdString(), folder / "out/");

  // The quality: arrows move it, and a tip over the handle says the number.
  ASSERT_TRUE(TabTo("TrackBar1"));
  for (int i = 0; i < 5; ++i) Press(Qt::Key_Left);
  EXPECT_EQ(window->TrackBar1->value(), 85);
  EXPECT_EQ(QToolTip::text().toStdString(), "85");

  ASSERT_TRUE(TabTo("BitBtn2", Qt::ShiftModifier));
  Press(Qt::Key_Return);
  ASSERT_TRUE(WaitFor([&] { return !window.dialogs.Texts(ScriptedDialogs::Kind::Notice).empty(); }));
  EXPECT_TRUE(fs::exists(folder / "out/a.jpg"));
  EXPECT_TRUE(fs::exists(folder / "out/b.jpg"));
}

}  // namespace
}  // namespace phototrim
