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

// A desktop's large font and dark colours, set on the application as a configuration tool does.
void ImposeDesktopLook() {
  QFont large(QStringLiteral("DejaVu Sans"));
  large.setPixelSize(20);
  QApplication::setFont(large);
  QApplication::setPalette(QPalette(QColor(0x30, 0x30, 0x30), QColor(0x20, 0x20, 0x20)));
}

TEST(DesktopSettings, WindowAndBoxesKeepTheirFaceAndColours) {
  const QFont font = QApplication::font();
  const QPalette palette = QApplication::palette();
  ImposeDesktopLook();  // before the window exists
  testing::WindowUnderTest window;
  window->show();
  ImposeDesktopLook();  // and while it is up
  std::unique_ptr<QMessageBox> box(app::MakeMessageBox(app::BoxKind::Question, window.form.get(), "題", "本文"));
  const QColor light = window->style()->standardPalette().color(QPalette::Window);
  for (QWidget* top : {static_cast<QWidget*>(window.form.get()), static_cast<QWidget*>(box.get())})
    for (QWidget* widget : top->findChildren<QWidget*>()) {
      SCOPED_TRACE(widget->objectName().toStdString() + " " + widget->metaObject()->className());
      EXPECT_EQ(widget->font().pixelSize(), 12);
      EXPECT_TRUE(widget->font().family().startsWith(QStringLiteral("IPA")));
      EXPECT_EQ(widget->palette().color(QPalette::Window), light);
    }
  QApplication::setFont(font);
  QApplication::setPalette(palette);
}

}  // namespace
}  // namespace phototrim
