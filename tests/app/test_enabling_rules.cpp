// The reduction controls' enabling rules: CheckBox2Click and RadioButton1Click keep the invariant table.
#include <gtest/gtest.h>

#include <random>

#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QRadioButton>

#include "trim/geometry/size_table.h"
#include "window_fixture.h"

namespace phototrim {
namespace {

using testing::WindowUnderTest;

constexpr int kL = 0, k2L = 2, kVga = 12, kQxga = 17, kA4 = 6;

class EnablingRules : public ::testing::Test {
 protected:
  // As the user does it: a click on a size button, a click on CheckBox2.
  void Choose(int row) { window->SizeButtons[static_cast<std::size_t>(row)]->click(); }
  void ClickReduce() { window->CheckBox2->click(); }
  bool DpiEnabled() {
    int enabled = 0;
    for (QRadioButton* button : window->DpiButtons) enabled += button->isEnabled();
    EXPECT_TRUE(enabled == 0 || enabled == 5) << "the five resolution buttons move together";
    return enabled == 5;
  }
  // The invariant: the three states the user can reach, and nothing else.
  void ExpectInvariant() {
    const bool reduce = window->CheckBox2->isChecked();
    const bool pixel = kSizeTable[static_cast<std::size_t>(window->ChosenSizeRow())].kind == SizeKind::Pixel;
    EXPECT_EQ(window->GroupBox2->isEnabled(), reduce);
    EXPECT_EQ(DpiEnabled(), reduce && !pixel);
    EXPECT_EQ(window->CheckBox3->isEnabled(), reduce);
  }
  WindowUnderTest window;
};

TEST_F(EnablingRules, PixelSizeWhileReductionIsOffTurnsItOnButNotTheResolution) {
  int reduceClicks = 0;
  QObject::connect(window->CheckBox2, &QCheckBox::toggled, [&] { ++reduceClicks; });
  Choose(kVga);
  EXPECT_TRUE(window->CheckBox2->isChecked());
  EXPECT_EQ(reduceClicks, 1);
  EXPECT_TRUE(window->GroupBox2->isEnabled());
  EXPECT_TRUE(window->CheckBox3->isEnabled());
  EXPECT_FALSE(DpiEnabled());
  // A second pixel size sets CheckBox2 to the state it already has: its handler does not run again.
  Choose(kQxga);
  EXPECT_EQ(reduceClicks, 1);
  ExpectInvariant();
}

TEST_F(EnablingRules, PrintSizeEnablesResolutionOnlyWhenReductionIsOn) {
  Choose(k2L);
  EXPECT_FALSE(window->CheckBox2->isChecked()) << "a print size never changes the switch";
  EXPECT_FALSE(window->GroupBox2->isEnabled());
  EXPECT_FALSE(DpiEnabled());
  ClickReduce();
  EXPECT_TRUE(DpiEnabled());
  Choose(kVga);
  EXPECT_FALSE(DpiEnabled());
  Choose(kA4);
  EXPECT_TRUE(window->CheckBox2->isChecked()) << "reduction stays on after a pixel size turned it on";
  EXPECT_TRUE(DpiEnabled());
}

TEST_F(EnablingRules, UncheckingWithPixelSizeDisablesAllAndRecheckingLeavesResolutionOff) {
  Choose(kVga);
  ClickReduce();
  EXPECT_FALSE(window->CheckBox2->isChecked());
  EXPECT_FALSE(window->GroupBox2->isEnabled());
  EXPECT_FALSE(window->CheckBox3->isEnabled());
  EXPECT_FALSE(DpiEnabled());
  ClickReduce();
  EXPECT_TRUE(window->GroupBox2->isEnabled());
  EXPECT_TRUE(window->CheckBox3->isEnabled());
  EXPECT_FALSE(DpiEnabled());
}

TEST_F(EnablingRules, ChosenResolutionAndHighQualitySurviveDisabling) {
  ClickReduce();
  window->RadioButton12->click();  // 300 dpi
  window->CheckBox3->click();      // off
  ClickReduce();
  EXPECT_FALSE(window->GroupBox2->isEnabled());
  ClickReduce();
  EXPECT_TRUE(window->RadioButton12->isChecked());
  EXPECT_FALSE(window->RadioButton13->isChecked());
  EXPECT_FALSE(window->CheckBox3->isChecked());
  EXPECT_EQ(window->ChosenDpi(), 300);
}

TEST_F(EnablingRules, HandlersNeverTouchChoicesOrFixedSizeFields) {
  window->Edit3->setText(QStringLiteral("800"));
  window->Edit4->setText(QStringLiteral("600"));
  // Typing in the fixed-size fields changes no state.
  EXPECT_FALSE(window->CheckBox2->isChecked());
  ExpectInvariant();

  // A long random walk over every user action, the invariant checked after each one.
  std::mt19937 random(20240611);
  for (int step = 0; step < 400; ++step) {
    const bool hq = window->CheckBox3->isChecked();
    const int dpi = window->ChosenDpi();
    const int action = static_cast<int>(random() % 20);
    if (action < 18) {
      Choose(action);
      EXPECT_EQ(window->ChosenSizeRow(), action);
    } else {
      ClickReduce();
    }
    ExpectInvariant();
    EXPECT_EQ(window->CheckBox3->isChecked(), hq);
    EXPECT_EQ(window->ChosenDpi(), dpi);
    EXPECT_EQ(window->Edit3->text(), QStringLiteral("800"));
    EXPECT_EQ(window->Edit4->text(), QStringLiteral("600"));
    if (HasFailure()) FAIL() << "at step " << step;
  }
}

TEST_F(EnablingRules, SettingsReadByARunFollowTheControls) {
  app::WindowHost host(*window);
  Choose(kL);
  EXPECT_EQ(host.Size().row, kL);
  EXPECT_EQ(host.Size().dpi, 400);
  ClickReduce();
  window->RadioButton11->click();
  EXPECT_EQ(host.Size().dpi, 150);
  // Disabled controls are read all the same.
  ClickReduce();
  EXPECT_EQ(host.Size().dpi, 150);
  EXPECT_TRUE(host.HighQuality());
  // One fixed-size field alone is passed on; the size computation ignores it.
  window->Edit3->setText(QStringLiteral("800"));
  EXPECT_EQ(ComputeTargetSize(host.Size()).LongSide, 2000 * 150 / 400);
  window->Edit4->setText(QStringLiteral("600"));
  const TargetSize fixed = ComputeTargetSize(host.Size());
  EXPECT_EQ(fixed.LongSide, 800);
  EXPECT_EQ(fixed.ShortSide, 600);
  EXPECT_TRUE(host.CropToRatio());
  EXPECT_TRUE(host.SkipSmall());
  EXPECT_FALSE(host.NoSubfolders());
  EXPECT_EQ(host.Quality(), 90);
}

}  // namespace
}  // namespace phototrim
