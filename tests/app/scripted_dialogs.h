// Dialogs for tests: every box recorded, questions answered from a script, a hook to act while a box is "up".
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/dialogs.h"

namespace phototrim::testing {

class ScriptedDialogs : public app::Dialogs {
 public:
  enum class Kind { Notice, Ask, Error, GetText, GetFolder };
  struct Box {
    Kind kind;
    std::string title, text;
  };

  std::vector<Box> boxes;
  // Answers to questions in order (true = はい); when they run out, `defaultAnswer`.
  std::deque<bool> answers;
  bool defaultAnswer = false;
  std::deque<QString> texts;  // a null QString is キャンセル
  std::deque<QString> folders;
  // Runs while a box is up, after it has been recorded: the place to click 中断 or change a setting.
  std::function<void(const Box&)> onBox;

  void Notice(const QString& title, const QString& text) override { Record(Kind::Notice, title, text); }
  bool Ask(const QString& title, const QString& text) override {
    Record(Kind::Ask, title, text);
    if (answers.empty()) return defaultAnswer;
    const bool answer = answers.front();
    answers.pop_front();
    return answer;
  }
  void Error(const QString& title, const QString& text) override { Record(Kind::Error, title, text); }
  std::optional<QString> GetText(const QString& title, const QString& label, int) override {
    Record(Kind::GetText, title, label);
    if (texts.empty()) return std::nullopt;
    const QString text = texts.front();
    texts.pop_front();
    if (text.isNull()) return std::nullopt;
    return text;
  }
  QString GetFolder(const QString& title) override {
    Record(Kind::GetFolder, title, QString());
    if (folders.empty()) return QString();
    QString folder = folders.front();
    folders.pop_front();
    return folder;
  }

  // The texts of the boxes of one kind, in order.
  std::vector<std::string> Texts(Kind kind) const {
    std::vector<std::string> result;
    for (const Box& box : boxes)
      if (box.kind == kind) result.push_back(box.text);
    return result;
  }

 private:
  void Record(Kind kind, const QString& title, const QString& text) {
    boxes.push_back({kind, title.toStdString(), text.toStdString()});
    if (onBox) onBox(boxes.back());
  }
};

}  // namespace phototrim::testing
