// Event filters for the keyboard's use of the main window.
#include "app/window_keyboard.h"

#include <QEvent>
#include <QKeyEvent>
#include <QPushButton>
#include <QSlider>
#include <QStyle>
#include <QToolTip>

namespace phototrim::app {

namespace {

class ReturnPressesButton : public QObject {
 public:
  using QObject::QObject;
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::KeyPress) return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
    if (!enter || (key->modifiers() & ~Qt::KeypadModifier)) return false;
    auto* button = static_cast<QPushButton*>(watched);
    if (!button->isEnabled()) return false;
    button->animateClick();  // pressed for a moment, as the eye expects, then clicked
    return true;
  }
};

class SliderNumber : public QObject {
 public:
  explicit SliderNumber(QSlider& slider) : QObject(&slider), slider_(slider) {
    connect(&slider, &QSlider::valueChanged, this, [this] {
      if (slider_.hasFocus() || slider_.isSliderDown()) Show();
    });
    slider.installEventFilter(this);
  }
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::FocusIn) Show();
    if (event->type() == QEvent::FocusOut) QToolTip::hideText();
    return false;
  }

 private:
  void Show() {
    // Over the handle: the tip follows the value as the arrow keys move it.
    const int handle = slider_.style()->pixelMetric(QStyle::PM_SliderLength, nullptr, &slider_);
    const int x = QStyle::sliderPositionFromValue(slider_.minimum(), slider_.maximum(), slider_.value(),
                                                  slider_.width() - handle) + handle / 2;
    QToolTip::showText(slider_.mapToGlobal(QPoint(x, 0)), QString::number(slider_.value()), &slider_);
  }
  QSlider& slider_;
};

}  // namespace

void LetReturnPressButtons(QWidget& window) {
  auto* filter = new ReturnPressesButton(&window);
  for (QPushButton* button : window.findChildren<QPushButton*>()) button->installEventFilter(filter);
}

void ShowSliderNumber(QSlider& slider) { new SliderNumber(slider); }

}  // namespace phototrim::app
