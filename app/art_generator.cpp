// phototrim-art: writes the program's pictures as files, for installing the icon and for looking at them.
//   phototrim-art icon SIZE FILE.png     the application icon at SIZE x SIZE pixels
//   phototrim-art splash FILE.png        the splash picture
//   phototrim-art buttons FILE.png       the five button pictures side by side, enlarged 4 times
#include <cstdio>
#include <cstdlib>
#include <string>

#include <QGuiApplication>
#include <QPainter>

#include "app/app_icon.h"
#include "app/button_pictures.h"
#include "app/splash_picture.h"

int main(int argc, char** argv) {
  using namespace phototrim::app;
  // Drawn without a screen, even where no display exists (a build machine).
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication application(argc, argv);
  const std::string what = argc > 1 ? argv[1] : "";
  QImage image;
  QString file;
  if (what == "icon" && argc == 4) {
    image = ApplicationIconImage(std::atoi(argv[2]));
    file = QString::fromLocal8Bit(argv[3]);
  } else if (what == "splash" && argc == 3) {
    image = SplashPicture();
    file = QString::fromLocal8Bit(argv[2]);
  } else if (what == "buttons" && argc == 3) {
    const QImage pictures[] = {ClosedFolderPicture(), NewFolderPicture(), TickPicture(), DisabledTickPicture(),
                               CrossPicture()};
    image = QImage(5 * 36 * 4, 36 * 4, QImage::Format_ARGB32);
    image.fill(QColor(0xf0, 0xf0, 0xf0));
    QPainter p(&image);
    for (int i = 0; i < 5; ++i)
      p.drawImage(QRect(i * 144 + 4, 4, pictures[i].width() * 4, pictures[i].height() * 4), pictures[i]);
    p.end();
    file = QString::fromLocal8Bit(argv[2]);
  } else {
    std::fputs("usage: phototrim-art icon SIZE FILE.png | splash FILE.png | buttons FILE.png\n", stderr);
    return 64;
  }
  if (image.isNull() || !image.save(file)) {
    std::fprintf(stderr, "phototrim-art: cannot write %s\n", file.toLocal8Bit().constData());
    return 1;
  }
  return 0;
}
