// The window and its boxes keep their own face and colours whatever font and palette the desktop sets.
#include <gtest/gtest.h>

#include <memory>

#include <QApplication>
#include <QMessageBox>
#include <QStyle>

#include "app/dialogs.h"
#include "window_fixture.h"

namespace phototrim {
namespace {

using testing::WindowUnderTest;

// A desktop's large font and dark colours, set on the application (as a configuration tool does)
// before the window exists and again while it is up; put back afterwards.
class DesktopSettings : public ::testing::Test {
 protected:
  void SetUp() override { Impose(); }
  void TearDown() override {
    QApplication::setFont(font_);
    QApplication::setPalette(palette_);
  }
  static void Impose() {
    QFont large(QStringLiteral("DejaVu Sans"));
    large.setPixelSize(20);
    QApplication::setFont(large);
    QPalette dark(QColor(0x30, 0x30, 0x30), QColor(0x20, 0x20, 0x20));
    dark.setColor(QPalette::WindowText, Qt::white);
    QApplication::setPalette(dark);
  }
  static void ExpectOwnLook(QWidget& top) {
    const QColor light = top.style()->standardPalette().color(QPalette::Window);
    for (QWidget* widget : top.findChildren<QWidget*>()) {
      SCOPED_TRACE(widget->objectName().toStdString() + " " + widget->metaObject()->className());
      EXPECT_EQ(widget->font().pixelSize(), 12);
      EXPECT_TRUE(widget->font().family().startsWith(QStringLiteral("IPA")));
      EXPECT_EQ(widget->palette().color(QPalette::Window), light);
    }
  }
  QFont font_ = QApplication::font();
  QPalette palette_ = QApplication::palette();
};

TEST_F(DesktopSettings, WindowAndBoxesKeepTheirFaceAndColours) {
  WindowUnderTest window;
  window->show();
  Impose();  // a change while the window is up
  ExpectOwnLook(*window.form);
  for (const app::BoxKind kind : {app::BoxKind::Notice, app::BoxKind::Question}) {
    std::unique_ptr<QMessageBox> box(app::MakeMessageBox(kind, window.form.get(), QStringLiteral("題"), QStringLiteral("本文")));
    ExpectOwnLook(*box);
  }
}

}  // namespace
}  // namespace phototrim
