// The main window alone, without its splash, for reading it from outside through AT-SPI.
#include <QApplication>

#include "app/Unit1.h"
#include "app/application.h"
#include "scripted_dialogs.h"

int main(int argc, char** argv) {
  phototrim::app::PrepareEnvironment();
  phototrim::app::TApplication application(argc, argv);
  phototrim::app::SetUpApplication(application);
  phototrim::testing::ScriptedDialogs dialogs;
  phototrim::app::SplashOptions noSplash;
  noSplash.show = false;
  phototrim::app::TForm1 window(&dialogs, noSplash);
  window.show();
  return QApplication::exec();
}
