// The splash window: borderless, black, the generated picture, a red Mincho line, a ten-second timer.
#include "app/Unit2.h"

#include <QDesktopServices>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QScreen>
#include <QTimer>

#include "app/app_texts.h"
#include "app/application.h"
#include "app/splash_picture.h"
#include "app/window_fonts.h"
#include "app/window_style.h"

namespace phototrim::app {

TForm2::TForm2(QWidget* owner, SplashOptions options) : QDialog(owner), options_(std::move(options)) {
  setObjectName(QStringLiteral("Form2"));
  setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
  setModal(true);
  setAcceptDrops(false);
  UseWindowLook(*this);
  QPalette black = palette();
  black.setColor(QPalette::Window, Qt::black);
  setPalette(black);
  setAutoFillBackground(true);

  Image1 = new QLabel(this);
  Image1->setObjectName(QStringLiteral("Image1"));
  // Drawn for the screen's pixels: on a scaled desktop the enlarged 800 x 600 picture would be blurred.
  Image1->setPixmap(QPixmap::fromImage(SplashPicture(devicePixelRatioF())));
  Image1->setGeometry(0, 0, kSplashWidth, kSplashHeight);
  Image1->installEventFilter(this);

  Label2 = new QLabel(QString::fromUtf8("画面をクリックするとＵＲＬをブラウザで開けます。"), this);
  Label2->setObjectName(QStringLiteral("Label2"));
  QFont mincho = WindowFont(kSplashFontFamily, QFont::Serif);
  mincho.setBold(true);
  Label2->setFont(mincho);
  QPalette red = Label2->palette();
  red.setColor(QPalette::WindowText, Qt::red);
  Label2->setPalette(red);
  Label2->setAttribute(Qt::WA_TranslucentBackground);
  Label2->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  Label2->setGeometry(24, 580, 265, 12);
  Label2->installEventFilter(this);

  // Stored disabled at five seconds; FormShow sets the real time.
  Timer1 = new QTimer(this);
  Timer1->setObjectName(QStringLiteral("Timer1"));
  Timer1->setInterval(5000);
  connect(Timer1, &QTimer::timeout, this, [this] { RunHandler([this] { Timer1Timer(); }); });

  setFixedSize(kSplashWidth, kSplashHeight);
}

void TForm2::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!event->spontaneous()) FormShow();
}

void TForm2::FormShow() {
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
  Timer1->setInterval(options_.intervalMs);
  Timer1->start();
}

void TForm2::Timer1Timer() {
  Timer1->stop();
  close();
}

void TForm2::Open(const char* url) {
  const QUrl address(QString::fromUtf8(url));
  // A page that cannot be opened is not reported: the splash goes on as before.
  if (options_.openUrl)
    options_.openUrl(address);
  else
    QDesktopServices::openUrl(address);
}

void TForm2::Image1Click() { Open(kFamilyPageUrl); }
void TForm2::Label2Click() { Open(kAuthorPageUrl); }

void TForm2::keyPressEvent(QKeyEvent* event) {
  // Only the timer closes the splash: Escape and Enter, which close a dialog, do nothing here.
  event->accept();
}

bool TForm2::eventFilter(QObject* watched, QEvent* event) {
  // A click is a press and a release on the same control, as buttons count it.
  if (event->type() == QEvent::MouseButtonRelease && (watched == Image1 || watched == Label2)) {
    auto* mouse = static_cast<QMouseEvent*>(event);
    auto* widget = static_cast<QWidget*>(watched);
    if (mouse->button() == Qt::LeftButton && widget->rect().contains(mouse->position().toPoint())) {
      RunHandler([this, watched] { watched == Label2 ? Label2Click() : Image1Click(); });
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace phototrim::app
