// The application icon, drawn in a 32-unit grid and scaled to the size asked for.
#include "app/app_icon.h"

#include <QPainter>
#include <QPainterPath>

namespace phototrim::app {

QImage ApplicationIconImage(int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / 32.0, size / 32.0);

  // The film frame: a dark strip with sprocket holes along its top and bottom edges.
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x26, 0x22, 0x20));
  p.drawRoundedRect(QRectF(0.5, 3.0, 31.0, 26.0), 2.0, 2.0);
  p.setBrush(QColor(0xe8, 0xe2, 0xd0));
  for (int i = 0; i < 6; ++i) {
    p.drawRoundedRect(QRectF(2.5 + i * 4.8, 4.2, 2.6, 2.0), 0.5, 0.5);
    p.drawRoundedRect(QRectF(2.5 + i * 4.8, 25.8, 2.6, 2.0), 0.5, 0.5);
  }

  // The photograph: sky, sun, two hills.
  const QRectF photo(3.0, 8.0, 26.0, 16.0);
  QLinearGradient sky(0, photo.top(), 0, photo.bottom());
  sky.setColorAt(0, QColor(0x3a, 0x8e, 0xe6));
  sky.setColorAt(1, QColor(0xb8, 0xe0, 0xff));
  p.setBrush(sky);
  p.drawRect(photo);
  p.save();
  p.setClipRect(photo);
  p.setBrush(QColor(0xff, 0xd8, 0x40));
  p.drawEllipse(QPointF(22.5, 12.5), 2.6, 2.6);
  QPainterPath far;
  far.moveTo(photo.left(), 20.0);
  far.cubicTo(8.0, 14.0, 13.0, 14.5, 18.0, 19.0);
  far.lineTo(photo.right(), 21.0);
  far.lineTo(photo.right(), photo.bottom());
  far.lineTo(photo.left(), photo.bottom());
  far.closeSubpath();
  p.setBrush(QColor(0x5a, 0xa0, 0x48));
  p.drawPath(far);
  QPainterPath near;
  near.moveTo(photo.left(), 23.0);
  near.cubicTo(14.0, 19.0, 22.0, 17.0, photo.right(), 19.5);
  near.lineTo(photo.right(), photo.bottom());
  near.lineTo(photo.left(), photo.bottom());
  near.closeSubpath();
  p.setBrush(QColor(0x2e, 0x78, 0x2a));
  p.drawPath(near);
  p.restore();

  // The crop lines: two across and two down, running past the picture like a cutter's marks.
  p.setPen(QPen(QColor(0xe8, 0x10, 0x10), 1.0));  // on the half-pixel lines: crisp at 32 pixels
  p.drawLine(QPointF(0.5, 10.5), QPointF(31.5, 10.5));
  p.drawLine(QPointF(0.5, 21.5), QPointF(31.5, 21.5));
  p.drawLine(QPointF(7.5, 1.0), QPointF(7.5, 31.0));
  p.drawLine(QPointF(24.5, 1.0), QPointF(24.5, 31.0));
  return image;
}

QIcon ApplicationIcon() {
  QIcon icon;
  for (int size : {16, 24, 32, 48, 64, 96, 128, 256}) icon.addPixmap(QPixmap::fromImage(ApplicationIconImage(size)));
  return icon;
}

}  // namespace phototrim::app
