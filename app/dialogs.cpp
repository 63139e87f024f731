// The real message boxes, name dialog and folder picker, with Japanese button texts.
#include "app/dialogs.h"

#include <memory>

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include "app/window_style.h"

namespace phototrim::app {

int TitleRoom(const QString& title) {
  QFont font = QApplication::font();
  font.setPixelSize(15);
  font.setBold(true);
  constexpr int kIconButtonsAndMargins = 4 * 24 + 32;
  return QFontMetrics(font).horizontalAdvance(title) + kIconButtonsAndMargins;
}

QMessageBox* MakeMessageBox(BoxKind kind, QWidget* parent, const QString& title, const QString& text) {
  auto* box = new QMessageBox(parent);
  UseWindowLook(*box);
  box->setWindowTitle(title);
  box->setText(text);
  // Plain text: a path may hold '<' or '&', which must show as they are.
  box->setTextFormat(Qt::PlainText);
  box->setIcon(kind == BoxKind::Error ? QMessageBox::Critical : QMessageBox::NoIcon);
  if (kind == BoxKind::Question) {
    QPushButton* yes = box->addButton(QString::fromUtf8("はい"), QMessageBox::YesRole);
    box->addButton(QString::fromUtf8("いいえ"), QMessageBox::NoRole);
    box->setDefaultButton(yes);
    // Escape and the close box give the safe answer: はい stops, where いいえ would overwrite or go on.
    box->setEscapeButton(yes);
    // Desktop themes may put the affirmative button last; the window's style puts はい first.
  } else {
    box->setDefaultButton(box->addButton(QStringLiteral("OK"), QMessageBox::AcceptRole));
  }
  // A box sizes itself to its text and buttons: a short notice would leave the title cut short.
  if (auto* grid = qobject_cast<QGridLayout*>(box->layout()))
    grid->addItem(new QSpacerItem(TitleRoom(title), 0, QSizePolicy::Fixed, QSizePolicy::Minimum), grid->rowCount(), 0,
                  1, grid->columnCount());
  return box;
}

QInputDialog* MakeTextDialog(QWidget* parent, const QString& title, const QString& label, int maxLength) {
  auto* dialog = new QInputDialog(parent);
  UseWindowLook(*dialog);
  dialog->setWindowTitle(title);
  dialog->setLabelText(label);
  dialog->setOkButtonText(QStringLiteral("OK"));
  dialog->setCancelButtonText(QString::fromUtf8("キャンセル"));
  if (auto* edit = dialog->findChild<QLineEdit*>()) edit->setMaxLength(maxLength);
  // Its layout sets its least size, which is that of the label and the buttons: room for the title too.
  if (QLayout* layout = dialog->layout())
    layout->addItem(new QSpacerItem(TitleRoom(title), 0, QSizePolicy::Fixed, QSizePolicy::Minimum));
  return dialog;
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
  std::unique_ptr<QInputDialog> dialog(MakeTextDialog(parent_, title, label, maxLength));
  if (dialog->exec() != QDialog::Accepted) return std::nullopt;
  return dialog->textValue();
}

QString QtDialogs::GetFolder(const QString& title) {
  // From the home folder each time, as a desktop's picker starts from the top of the user's files.
  // Qt's own picker, not the desktop's: it takes the window's face, colours and scale, where a
  // desktop's picker came up at its own scale, four times the window's size at 200 %.
  QFileDialog picker(parent_, title, QDir::homePath());
  picker.setFileMode(QFileDialog::Directory);
  picker.setOptions(QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
  UseWindowLook(picker);
  if (picker.exec() != QDialog::Accepted || picker.selectedFiles().isEmpty()) return QString();
  return picker.selectedFiles().constFirst();
}

}  // namespace phototrim::app
