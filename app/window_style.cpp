// The window's style and its captioned group box.
#include "app/window_style.h"

#include <QDialogButtonBox>
#include <QMessageBox>
#include <QPainter>
#include <QStyleOption>
#include <QStyleFactory>
#include <qdrawutil.h>

#include "app/app_texts.h"
#include "app/window_fonts.h"

namespace phototrim::app {

namespace {
constexpr char16_t kIdeographicSpaceChar = u'\u3000';
constexpr int kLabelGap = 4;
}  // namespace

WindowStyle::WindowStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}

int WindowStyle::pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const {
  if (metric == PM_CheckBoxLabelSpacing || metric == PM_RadioButtonLabelSpacing) return kLabelGap;
  return QProxyStyle::pixelMetric(metric, option, widget);
}

int WindowStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                           QStyleHintReturn* returnData) const {
  if (hint == SH_DialogButtonLayout && widget && qobject_cast<const QMessageBox*>(widget->window()))
    return QDialogButtonBox::WinLayout;
  return QProxyStyle::styleHint(hint, option, widget, returnData);
}

void WindowStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                                     const QWidget* widget) const {
  QProxyStyle::drawComplexControl(control, option, painter, widget);
  if (control != CC_Slider || !(option->state & State_HasFocus)) return;
  QStyleOptionFocusRect focus;
  focus.QStyleOption::operator=(*option);
  focus.rect = option->rect.adjusted(1, 1, -1, -1);
  drawPrimitive(PE_FrameFocusRect, &focus, painter, widget);
}

void UseWindowLook(QWidget& widget) {
  widget.setFont(WindowFont(kWindowFontFamily, QFont::SansSerif));
  widget.setPalette(widget.style()->standardPalette());
}

CaptionedGroupBox::CaptionedGroupBox(const QString& title, QWidget* parent) : QGroupBox(title, parent) {}

std::vector<int> CaptionedGroupBox::HeadingPositions() const {
  std::vector<int> positions;
  const QFontMetrics metrics(font());
  const QString caption = title();
  int x = kCaptionLeft;
  for (qsizetype i = 0; i < caption.size();) {
    if (caption[i] == kIdeographicSpaceChar) {
      x += kIdeographicSpace;
      ++i;
      continue;
    }
    qsizetype end = i;
    while (end < caption.size() && caption[end] != kIdeographicSpaceChar) ++end;
    positions.push_back(x);
    x += metrics.horizontalAdvance(caption.mid(i, end - i));
    i = end;
  }
  positions.push_back(x);  // where the caption ends
  return positions;
}

void CaptionedGroupBox::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QFontMetrics metrics(font());
  // The frame line runs through the middle of the caption's line.
  const int frameTop = metrics.height() / 2;
  // An etched line, dark then light, as the classic group box has (the style's own frame would start
  // below a whole line of caption and cut through the first row of buttons).
  qDrawShadeRect(&p, rect().adjusted(0, frameTop, 0, 0), palette(), true, 1, 0);

  const QString caption = title();
  if (caption.isEmpty()) return;
  const std::vector<int> positions = HeadingPositions();
  // The caption's own ground hides the frame line behind it, with a pixel of air at either end.
  p.fillRect(QRect(kCaptionLeft - 1, 0, positions.back() - kCaptionLeft + 2, metrics.height()),
             palette().color(QPalette::Window));
  p.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
  std::size_t run = 0;
  for (qsizetype i = 0; i < caption.size();) {
    if (caption[i] == kIdeographicSpaceChar) {
      ++i;
      continue;
    }
    qsizetype end = i;
    while (end < caption.size() && caption[end] != kIdeographicSpaceChar) ++end;
    p.drawText(QPoint(positions[run++], metrics.ascent()), caption.mid(i, end - i));
    i = end;
  }
}

}  // namespace phototrim::app
