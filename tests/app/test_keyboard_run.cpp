// A whole run with the keyboard alone: Tab to each command, Return to press it, arrows for the quality.
#include <gtest/gtest.h>

#include <filesystem>

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

using Kind = testing::ScriptedDialogs::Kind;

void Press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  ASSERT_NE(QApplication::focusWidget(), nullptr);
  QKeyEvent press(QEvent::KeyPress, key, modifiers), release(QEvent::KeyRelease, key, modifiers);
  QCoreApplication::sendEvent(QApplication::focusWidget(), &press);
  QCoreApplication::sendEvent(QApplication::focusWidget(), &release);
}

// Tab (Shift+Tab backwards) until `name` has the focus; false when it never comes.
bool TabTo(const char* name, bool backwards = false) {
  for (int i = 0; i < 40 && QApplication::focusWidget()->objectName() != QLatin1String(name); ++i)
    Press(backwards ? Qt::Key_Backtab : Qt::Key_Tab, backwards ? Qt::ShiftModifier : Qt::NoModifier);
  return QApplication::focusWidget()->objectName() == QLatin1String(name);
}

bool WaitFor(const std::function<bool()>& done) {
  QElapsedTimer clock;
  clock.start();
  while (!done() && clock.elapsed() < 10000) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  return done();
}

TEST(KeyboardRun, FoldersQualityAndRunWithoutAMouse) {
  testing::TestFolder folder;
  testing::WriteJpeg(folder / "in/a.jpg", 400, 300);
  std::filesystem::create_directories(folder / "out");
  testing::WindowUnderTest window;
  window.dialogs.folders = {QString::fromStdString(folder / "in"), QString::fromStdString(folder / "out")};
  window->show();
  QApplication::setActiveWindow(window.form.get());
  window->Edit1->setFocus(Qt::TabFocusReason);
  auto boxes = [&](Kind kind) { return window.dialogs.Texts(kind).size(); };

  ASSERT_TRUE(TabTo("BitBtn8"));
  Press(Qt::Key_Return);
  ASSERT_TRUE(WaitFor([&] { return boxes(Kind::GetFolder) == 1; })) << "Return presses the focused button";
  ASSERT_TRUE(TabTo("BitBtn1"));
  Press(Qt::Key_Enter, Qt::KeypadModifier);
  ASSERT_TRUE(WaitFor([&] { return boxes(Kind::GetFolder) == 2; })) << "and so does the keypad's Enter";
  EXPECT_EQ(window->Edit2->text().toStdString(), folder / "out/");

  ASSERT_TRUE(TabTo("TrackBar1"));
  for (int i = 0; i < 5; ++i) Press(Qt::Key_Left);
  EXPECT_EQ(window->TrackBar1->value(), 85);
  EXPECT_EQ(QToolTip::text().toStdString(), "85") << "the slider says its number";

  ASSERT_TRUE(TabTo("BitBtn2", true));
  Press(Qt::Key_Return);
  ASSERT_TRUE(WaitFor([&] { return boxes(Kind::Notice) == 1; })) << "the run's summary";
  EXPECT_TRUE(std::filesystem::exists(folder / "out/a.jpg"));
}

}  // namespace
}  // namespace phototrim
