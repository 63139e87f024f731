// The real message boxes, name dialog and folder picker, with Japanese button texts.
#include "app/dialogs.h"

#include <memory>

#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

namespace phototrim::app {

QMessageBox* MakeMessageBox(BoxKind kind, QWidget* parent, const QString& title, const QString& text) {
  auto* box = new QMessageBox(parent);
  box->setWindowTitle(title);
  box->setText(text);
  // Plain text: a path may hold '<' or '&', which must show as they are.
  box->setTextFormat(Qt::PlainText);
  box->setIcon(kind == BoxKind::Error ? QMessageBox::Critical : QMessageBox::NoIcon);
  if (kind == BoxKind::Question) {
    QPushButton* yes = box->addButton(QString::fromUtf8("はい"), QMessageBox::YesRole);
    box->addButton(QString::fromUtf8("いいえ"), QMessageBox::NoRole);
    box->setDefaultButton(yes);
    // Desktop themes may put the affirmative button last; はい stands first whatever the theme says.
    // (0 is the Windows order of QDialogButtonBox.)
    box->setStyleSheet(QStringLiteral("QDialogButtonBox { button-layout: 0; }"));
  } else {
    box->setDefaultButton(box->addButton(QStringLiteral("OK"), QMessageBox::AcceptRole));
  }
  return box;
}

namespace {
int ExecBox(BoxKind kind, QWidget* parent, const QString& title, const QString& text, bool& yes) {
  std::unique_ptr<QMessageBox> box(MakeMessageBox(kind, parent, title, text));
  const int result = box->exec();
  yes = box->clickedButton() == box->defaultButton();
  return result;
}
}  // namespace

void QtDialogs::Notice(const QString& title, const QString& text) {
  bool yes = false;
  ExecBox(BoxKind::Notice, parent_, title, text, yes);
}

bool QtDialogs::Ask(const QString& title, const QString& text) {
  bool yes = false;
  ExecBox(BoxKind::Question, parent_, title, text, yes);
  return yes;
}

void QtDialogs::Error(const QString& title, const QString& text) {
  bool yes = false;
  ExecBox(BoxKind::Error, parent_, title, text, yes);
}

std::optional<QString> QtDialogs::GetText(const QString& title, const QString& label, int maxLength) {
  QInputDialog dialog(parent_);
  dialog.setWindowTitle(title);
  dialog.setLabelText(label);
  dialog.setOkButtonText(QStringLiteral("OK"));
  dialog.setCancelButtonText(QString::fromUtf8("キャンセル"));
  if (auto* edit = dialog.findChild<QLineEdit*>()) edit->setMaxLength(maxLength);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.textValue();
}

QString QtDialogs::GetFolder(const QString& title) {
  // From the home folder each time, as a desktop's picker starts from the top of the user's files.
  return QFileDialog::getExistingDirectory(parent_, title, QDir::homePath(), QFileDialog::ShowDirsOnly);
}

}  // namespace phototrim::app
