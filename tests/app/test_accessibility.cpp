// What a screen reader hears beyond the names (those are read through AT-SPI by through_atspi.sh):
// descriptions, the progress bar during a run, and the status line's last text.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>

#include "window_fixture.h"

namespace phototrim {
namespace {

std::string Read(QObject* object, QAccessible::Text what) {
  return QAccessible::queryAccessibleInterface(object)->text(what).toStdString();
}

TEST(Accessibility, DescriptionsProgressAndStatusReachTheScreenReader) {
  testing::WindowUnderTest window;
  window->show();
  for (QWidget* control : {static_cast<QWidget*>(window->BitBtn8), static_cast<QWidget*>(window->BitBtn1),
                           static_cast<QWidget*>(window->BitBtn2), static_cast<QWidget*>(window->Edit3)})
    EXPECT_NE(Read(control, QAccessible::Description), "") << control->objectName().toStdString();

  QAccessibleInterface* form = QAccessible::queryAccessibleInterface(window.form.get());
  QAccessibleInterface* progress = QAccessible::queryAccessibleInterface(window->ProgressBar1);
  EXPECT_LT(form->indexOfChild(progress), 0) << "hidden while idle";
  window->ProgressBar1->show();
  window->ProgressBar1->setValue(33);
  ASSERT_GE(form->indexOfChild(progress), 0);
  EXPECT_EQ(form->child(form->indexOfChild(progress))->object(), window->ProgressBar1);
  EXPECT_EQ(Read(window->ProgressBar1, QAccessible::Name), "進行状況");
  EXPECT_EQ(progress->valueInterface()->currentValue().toInt(), 33);

  window->StatusBar1->showMessage(QString::fromUtf8("作業が終了しました。"));
  EXPECT_EQ(Read(window->StatusBar1, QAccessible::Name), "作業が終了しました。");
}

}  // namespace
}  // namespace phototrim
