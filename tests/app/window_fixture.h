// A main window for a test: scripted dialogs, no splash, and helpers to read what it shows.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <QPlainTextEdit>
#include <QStatusBar>

#include "app/Unit1.h"
#include "scripted_dialogs.h"

namespace phototrim::testing {

inline app::SplashOptions NoSplash() {
  app::SplashOptions options;
  options.show = false;
  return options;
}

struct WindowUnderTest {
  ScriptedDialogs dialogs;
  std::unique_ptr<app::TForm1> form = std::make_unique<app::TForm1>(&dialogs, NoSplash());

  app::TForm1& operator*() { return *form; }
  app::TForm1* operator->() { return form.get(); }

  std::vector<std::string> MemoLines() const {
    std::vector<std::string> lines;
    for (const QString& line : form->Memo1->toPlainText().split(QLatin1Char('\n'))) lines.push_back(line.toStdString());
    return lines;
  }
  std::string Status() const { return form->StatusBar1->currentMessage().toStdString(); }
};

}  // namespace phototrim::testing
