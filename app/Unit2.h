// The splash window TForm2: the picture for ten seconds at start, with links to the two web pages.
#pragma once

#include <functional>

#include <QDialog>
#include <QUrl>

class QLabel;
class QTimer;

namespace phototrim::app {

// The page of the program family (a click on the picture) and the author's page (a click on the red line).
inline constexpr char kFamilyPageUrl[] = "https://phototrim.example.org/";
inline constexpr char kAuthorPageUrl[] = "https://phototrim.example.org/author/";

// How the main window shows the splash; tests switch it off or shorten it and catch the pages it opens.
struct SplashOptions {
  bool show = true;
  int intervalMs = 10000;                        // how long the splash stays up
  std::function<void(const QUrl&)> openUrl;      // empty: the desktop's browser
};

class TForm2 : public QDialog {
 public:
  TForm2(QWidget* owner, SplashOptions options);

  QLabel* Image1 = nullptr;
  QLabel* Label2 = nullptr;
  QTimer* Timer1 = nullptr;

  void FormShow();
  void Timer1Timer();
  void Image1Click();
  void Label2Click();

 protected:
  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Open(const char* url);

  SplashOptions options_;
};

}  // namespace phototrim::app
