// An icon engine that draws its pictures anew for each size, and keeps what it has drawn.
#include "app/drawn_icon.h"

#include <algorithm>
#include <map>
#include <utility>

#include <QApplication>
#include <QIconEngine>
#include <QPainter>
#include <QPixmap>
#include <QStyle>
#include <QStyleOption>

namespace phototrim::app {

namespace {

class DrawnIconEngine : public QIconEngine {
 public:
  DrawnIconEngine(PictureDrawing normal, PictureDrawing disabled)
      : normal_(std::move(normal)), disabled_(std::move(disabled)) {}

  // `size` is in device pixels: QIcon asks for the logical size times the screen's ratio.
  QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State) override {
    const int pixels = std::max(1, std::min(size.width(), size.height()));
    QPixmap& kept = drawn_[{pixels, mode}];
    if (kept.isNull()) kept = Draw(pixels, mode);
    return kept;
  }

  void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
    const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
    QPixmap picture = pixmap((QSizeF(rect.size()) * ratio).toSize(), mode, state);
    picture.setDevicePixelRatio(ratio);
    painter->drawPixmap(rect, picture);
  }

  QIconEngine* clone() const override { return new DrawnIconEngine(normal_, disabled_); }
  QString key() const override { return QStringLiteral("phototrim-drawn"); }
  bool isNull() override { return false; }

 private:
  QPixmap Draw(int pixels, QIcon::Mode mode) const {
    if (mode == QIcon::Disabled && disabled_) return QPixmap::fromImage(disabled_(pixels));
    QPixmap picture = QPixmap::fromImage(normal_(pixels));
    if (mode == QIcon::Normal || mode == QIcon::Active) return picture;
    // Disabled or selected without a drawing of its own: the style's version, as for a plain icon.
    QStyleOption option(0);
    option.palette = QGuiApplication::palette();
    return QApplication::style()->generatedIconPixmap(mode, picture, &option);
  }

  PictureDrawing normal_, disabled_;
  std::map<std::pair<int, QIcon::Mode>, QPixmap> drawn_;
};

}  // namespace

QIcon DrawnIcon(PictureDrawing normal, PictureDrawing disabled) {
  return QIcon(new DrawnIconEngine(std::move(normal), std::move(disabled)));
}

}  // namespace phototrim::app
