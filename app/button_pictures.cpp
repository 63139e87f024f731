// The button pictures: small vector drawings, antialiased, on a transparent ground, at any size.
#include "app/button_pictures.h"

#include <QPainter>
#include <QPainterPath>

namespace phototrim::app {

namespace {

QImage Blank(int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  return image;
}

// A painter on a blank picture `pixels` wide, drawing in the `grid` units the picture was designed in.
struct Canvas {
  QImage image;
  QPainter p;
  Canvas(int pixels, int grid) : image(Blank(pixels)), p(&image) {
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(qreal(pixels) / grid, qreal(pixels) / grid);
  }
  QImage Done() {
    p.end();
    return image;
  }
};

// A closed folder in the 16 x 16 grid: the tab at the upper left, the body below it.
void DrawFolder(QPainter& p) {
  QPainterPath back;
  back.moveTo(1.5, 3.5);
  back.lineTo(6.0, 3.5);
  back.lineTo(7.5, 5.0);
  back.lineTo(14.5, 5.0);
  back.lineTo(14.5, 13.5);
  back.lineTo(1.5, 13.5);
  back.closeSubpath();
  p.setPen(QPen(QColor(0x8a, 0x62, 0x10), 1.0));
  p.setBrush(QColor(0xe0, 0xa8, 0x30));
  p.drawPath(back);

  QLinearGradient front(0, 6, 0, 14);
  front.setColorAt(0, QColor(0xff, 0xe0, 0x7a));
  front.setColorAt(1, QColor(0xf0, 0xb8, 0x38));
  p.setBrush(front);
  p.drawRect(QRectF(1.5, 6.5, 13.0, 7.0));
}

// The tick of the Execute button in the 18 x 18 grid.
QPainterPath TickPath() {
  QPainterPath path;
  path.moveTo(1.5, 9.5);
  path.lineTo(4.5, 6.5);
  path.lineTo(7.5, 9.5);
  path.lineTo(14.0, 2.0);
  path.lineTo(16.8, 4.8);
  path.lineTo(7.5, 15.5);
  path.closeSubpath();
  return path;
}

}  // namespace

QImage ClosedFolderPicture(int pixels) {
  Canvas canvas(pixels, 16);
  QPainter& p = canvas.p;
  DrawFolder(p);
  return canvas.Done();
}

QImage NewFolderPicture(int pixels) {
  Canvas canvas(pixels, 16);
  QPainter& p = canvas.p;
  p.save();
  p.translate(-1, 2);
  p.scale(0.88, 0.88);
  DrawFolder(p);
  p.restore();
  // A four-pointed sparkle at the upper right: the folder is new.
  QPainterPath star;
  const QPointF c(12.0, 4.0);
  star.moveTo(c.x(), c.y() - 4.0);
  star.quadTo(c, QPointF(c.x() + 4.0, c.y()));
  star.quadTo(c, QPointF(c.x(), c.y() + 4.0));
  star.quadTo(c, QPointF(c.x() - 4.0, c.y()));
  star.quadTo(c, QPointF(c.x(), c.y() - 4.0));
  p.setPen(QPen(QColor(0xc0, 0x80, 0x00), 0.8));
  p.setBrush(QColor(0xff, 0xf4, 0x60));
  p.drawPath(star);
  return canvas.Done();
}

QImage TickPicture(int pixels) {
  Canvas canvas(pixels, 18);
  QPainter& p = canvas.p;
  QLinearGradient fill(0, 2, 0, 16);
  fill.setColorAt(0, QColor(0x5c, 0xd6, 0x4a));
  fill.setColorAt(1, QColor(0x1e, 0x8c, 0x1e));
  p.setPen(QPen(QColor(0x10, 0x5a, 0x10), 1.0));
  p.setBrush(fill);
  p.drawPath(TickPath());
  return canvas.Done();
}

QImage DisabledTickPicture(int pixels) {
  Canvas canvas(pixels, 18);
  QPainter& p = canvas.p;
  p.setPen(QPen(QColor(0x80, 0x80, 0x80), 1.0));
  p.setBrush(Qt::NoBrush);
  p.drawPath(TickPath());
  return canvas.Done();
}

QImage CrossPicture(int pixels) {
  Canvas canvas(pixels, 32);
  QPainter& p = canvas.p;
  // Two bars at right angles, as one outlined shape so the outline does not cross the middle.
  QPainterPath bar;
  bar.addRoundedRect(QRectF(-13.0, -3.6, 26.0, 7.2), 2.0, 2.0);
  QPainterPath cross = bar;
  QTransform turn;
  turn.rotate(90);
  cross = cross.united(turn.map(bar));
  QTransform place;
  place.translate(16, 16);
  place.rotate(45);
  QLinearGradient fill(0, 4, 0, 28);
  fill.setColorAt(0, QColor(0xff, 0x50, 0x40));
  fill.setColorAt(1, QColor(0xc0, 0x10, 0x10));
  p.setPen(QPen(QColor(0x80, 0x00, 0x00), 1.0));
  p.setBrush(fill);
  p.drawPath(place.map(cross));
  return canvas.Done();
}

}  // namespace phototrim::app
