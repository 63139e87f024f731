// phototrim: the window. Start-up in its order: the toolkit, the title, the main window, the loop.
#include <exception>
#include <memory>

#include <QApplication>

#include "app/Unit1.h"
#include "app/application.h"
#include "app/lost_window_watch.h"
#include "app/stop_signals.h"
#include "platform/standard_streams.h"

int main(int argc, char** argv) {
  using namespace phototrim::app;
  phototrim::EnsureStandardStreams();
  PrepareEnvironment();
  TApplication application(argc, argv);
  // An exception that escapes start-up or the loop itself is shown like any other; the program then
  // ends normally.
  try {
    SetUpApplication(application);
    auto Form1 = std::make_unique<TForm1>();
    Form1->show();  // shows the splash first, then the window
    // From here on a stop signal closes the window as the user would (a run going on stops like
    // 中断 first); before it, no run can be going, and the signal ends the program as it comes.
    StopSignals stopSignals([&Form1] { Form1->close(); });
    // A window destroyed under the program by the X server ends it the same way, and a box the run
    // waits on goes with it (closing a question answers はい: stop).
    LostWindowWatch lostWindow(*Form1, [&Form1] {
      Form1->close();
      if (QWidget* box = QApplication::activeModalWidget()) box->close();
    });
    QApplication::exec();
  } catch (const std::exception& error) {
    application.ShowException(QString::fromUtf8(error.what()));
  } catch (...) {
    application.ShowException(QString());
  }
  return 0;
}
