// phototrim: the window. Start-up in its order: the toolkit, the title, the main window, the loop.
#include <exception>
#include <memory>

#include "app/Unit1.h"
#include "app/application.h"

int main(int argc, char** argv) {
  using namespace phototrim::app;
  PrepareEnvironment();
  TApplication application(argc, argv);
  // An exception that escapes start-up or the loop itself is shown like any other; the program then
  // ends normally.
  try {
    SetUpApplication(application);
    auto Form1 = std::make_unique<TForm1>();
    Form1->show();  // shows the splash first, then the window
    QApplication::exec();
  } catch (const std::exception& error) {
    application.ShowException(QString::fromUtf8(error.what()));
  } catch (...) {
    application.ShowException(QString());
  }
  return 0;
}
