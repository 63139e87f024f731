// The one seam through which the window asks and tells the user: message boxes, the name dialog,
// the folder picker and the error box. Tests install scripted answers, so nothing blocks on a modal box.
#pragma once

#include <optional>

#include <QString>

class QInputDialog;
class QMessageBox;
class QWidget;

namespace phototrim::app {

class Dialogs {
 public:
  virtual ~Dialogs() = default;

  // A notice with one OK button, titled `title`, without an icon.
  virtual void Notice(const QString& title, const QString& text) = 0;
  // A question with はい first and default, then いいえ; true is はい, which Escape and closing also give.
  virtual bool Ask(const QString& title, const QString& text) = 0;
  // The box for an exception that reached the event loop: a stop icon and OK.
  virtual void Error(const QString& title, const QString& text) = 0;
  // A one-line text dialog with OK and キャンセル; empty when cancelled.
  virtual std::optional<QString> GetText(const QString& title, const QString& label, int maxLength) = 0;
  // The folder picker, folders only; empty when cancelled.
  virtual QString GetFolder(const QString& title) = 0;
};

// The real boxes, modal over `parent` (which may be null).
class QtDialogs : public Dialogs {
 public:
  explicit QtDialogs(QWidget* parent = nullptr) : parent_(parent) {}

  void Notice(const QString& title, const QString& text) override;
  bool Ask(const QString& title, const QString& text) override;
  void Error(const QString& title, const QString& text) override;
  std::optional<QString> GetText(const QString& title, const QString& label, int maxLength) override;
  QString GetFolder(const QString& title) override;

 private:
  QWidget* parent_;
};

// The boxes as the real dialogs show them, built but not shown, so their make-up can be checked.
enum class BoxKind { Notice, Question, Error };
QMessageBox* MakeMessageBox(BoxKind kind, QWidget* parent, const QString& title, const QString& text);
QInputDialog* MakeTextDialog(QWidget* parent, const QString& title, const QString& label, int maxLength);

// The width a dialog needs for a window manager to show its whole `title`: the text in a title
// bar's usual font (larger and bold), beside the manager's icon and three buttons.
int TitleRoom(const QString& title);

}  // namespace phototrim::app
