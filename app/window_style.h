// The style the window's pixel layout is made for, and the group box that heads the size columns.
#pragma once

#include <QGroupBox>
#include <QProxyStyle>

namespace phototrim::app {

// Fusion, with the gap between a check box or radio button and its caption narrowed to the 4 pixels
// of the classic desktop the layout was drawn for: the longest captions fill their controls exactly.
class WindowStyle : public QProxyStyle {
 public:
  WindowStyle();
  int pixelMetric(PixelMetric metric, const QStyleOption* option = nullptr, const QWidget* widget = nullptr) const override;
  // The buttons of a message box in the classic order, whatever the desktop's: はい before いいえ.
  int styleHint(StyleHint hint, const QStyleOption* option = nullptr, const QWidget* widget = nullptr,
                QStyleHintReturn* returnData = nullptr) const override;
  // A slider with the focus is framed as a button with the focus is: Fusion only tints its handle.
  void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                          const QWidget* widget = nullptr) const override;
};

// The window's own face and colours on `widget` and all it holds, whatever the desktop sets for the
// application (a configuration tool's font, a dark theme): its layout is in pixels for the 12-pixel
// face, and its pictures and indicators are drawn for light ground. Dialogs take them too, to match.
void UseWindowLook(QWidget& widget);

// A group box whose caption stands on its frame line 8 pixels from the left, as on the classic
// desktop. Ideographic spaces in the caption advance 8 pixels, the width the size group's caption was
// spaced for, so its three headings stand over their columns whatever the face's own space width.
class CaptionedGroupBox : public QGroupBox {
 public:
  CaptionedGroupBox(const QString& title, QWidget* parent);

  static constexpr int kCaptionLeft = 8;
  static constexpr int kIdeographicSpace = 8;
  // Where each run of the caption between ideographic spaces begins, relative to the box.
  std::vector<int> HeadingPositions() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace phototrim::app
