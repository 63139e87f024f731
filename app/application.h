// The application object: shows an exception that reaches the event loop in an error box and goes on.
#pragma once

#include <functional>

#include <QApplication>

#include "app/dialogs.h"

namespace phototrim::app {

class TApplication : public QApplication {
 public:
  TApplication(int& argc, char** argv);

  // Where the error box goes; the real box until a test installs its own. Not owned.
  void SetDialogs(Dialogs* dialogs) { dialogs_ = dialogs ? dialogs : &defaultDialogs_; }

  bool notify(QObject* receiver, QEvent* event) override;

  // The error box for an exception: the application title, a stop icon, the message as its text
  // (empty for a thrown object that is not an exception).
  void ShowException(const QString& message);

 private:
  QtDialogs defaultDialogs_;
  Dialogs* dialogs_ = &defaultDialogs_;
};

// Runs one handler of the window. An exception it throws is shown as the event loop shows one, but
// caught here, before it would unwind through the toolkit's own frames (which are built without
// exception cleanups and would leak or keep a button pressed).
void RunHandler(const std::function<void()>& handler);

// What the program sets before the application object exists: scaling by the desktop's factor, not
// rounded (the window is laid out in pixels at 100 %), and the hinting of the window's faces.
void PrepareEnvironment();

// What the program sets once the application object exists: Japanese standard button texts,
// the window font and the style whose metrics the pixel layout was made for.
void SetUpApplication(QApplication& application);

}  // namespace phototrim::app
