// The application object and the settings made around its creation.
#include "app/application.h"

#include <exception>

#include <QFont>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include "app/app_icon.h"
#include "app/app_texts.h"
#include "app/window_fonts.h"
#include "app/window_style.h"

namespace phototrim::app {

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& error) {
    ShowException(QString::fromUtf8(error.what()));
  } catch (...) {
    ShowException(QString());
  }
  return false;
}

void TApplication::ShowException(const QString& message) {
  dialogs_->Error(QString::fromUtf8(kApplicationTitle), message);
}

void RunHandler(const std::function<void()>& handler) {
  auto* application = dynamic_cast<TApplication*>(QCoreApplication::instance());
  if (!application) {
    handler();
    return;
  }
  try {
    handler();
  } catch (const std::exception& error) {
    application->ShowException(QString::fromUtf8(error.what()));
  } catch (...) {
    application->ShowException(QString());
  }
}

void PrepareEnvironment() {
  // The window is laid out in logical pixels, and Qt multiplies it by the desktop's factor (a factor
  // set by hand in QT_SCALE_FACTOR or QT_SCREEN_SCALE_FACTORS included). Not rounded: at 125 % and
  // 150 % a whole factor would make the window too small or too large.
  // On a Wayland desktop, natively there (Qt 6.4 would take X11 through XWayland under GNOME), and
  // X11 where Qt's Wayland plugin or the compositor cannot be had. A platform named by hand stands.
  const bool waylandSession = !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
                              qgetenv("XDG_SESSION_TYPE") == QByteArrayLiteral("wayland");
  if (waylandSession && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "wayland;xcb");
  QGuiApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
  PrepareWindowFonts();
}

void SetUpApplication(QApplication& application) {
  // The title names the program in the desktop's lists; the window's caption is set by the window.
  // (Not the display name: Qt would append that to every window caption.)
  QApplication::setApplicationName(QStringLiteral("phototrim"));
  QGuiApplication::setDesktopFileName(QStringLiteral("phototrim"));
  QApplication::setWindowIcon(ApplicationIcon());

  // The texts of Qt's own standard buttons and dialogs in Japanese, whatever the desktop's language.
  auto* translator = new QTranslator(&application);
  if (translator->load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    QApplication::installTranslator(translator);

  // The window is laid out in pixels for this style's metrics; a desktop style with larger frames
  // would clip the 17-pixel rows of the size buttons.
  QApplication::setStyle(new WindowStyle);

  QApplication::setFont(WindowFont(kWindowFontFamily, QFont::SansSerif));
}

}  // namespace phototrim::app
