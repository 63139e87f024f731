// The main window's folder commands, whose work is in folders/, and the window's side of FolderHost.
#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QStatusBar>

#include "app/Unit1.h"
#include "folders/folder_commands.h"
#include "folders/folder_field.h"

namespace phototrim::app {

void TForm1::BitBtn8Click() { folders::ChooseInputFolder(*this); }
void TForm1::BitBtn1Click() { folders::ChooseOutputFolder(*this); }
void TForm1::BitBtn4Click() { folders::MakeSubfolder(*this); }

void TForm1::WMDropFiles(const QList<QUrl>& urls) {
  // Every drop brings the window to the front, also one that changes nothing.
  raise();
  activateWindow();
  folders::TakeDroppedFolder(*this, urls);
}

void TForm1::ScanFolder(const std::string& path) { folders::ScanFolder(*this, path); }

std::string TForm1::InputFolderPath() { return folders::FolderFieldPath(*Edit1); }
void TForm1::ShowInputFolder(const std::string& path) {
  folders::SetFolderField(*Edit1, path);
  UpdateControlStates();  // 確認… needs an input folder
}
std::string TForm1::OutputFolderPath() { return folders::FolderFieldPath(*Edit2); }
void TForm1::ShowOutputFolder(const std::string& path) { folders::SetFolderField(*Edit2, path); }
void TForm1::ClearMemo() { Memo1->clear(); }
void TForm1::AddMemoText(const QString& lines) { Memo1->appendPlainText(lines); }
void TForm1::ShowStatus(const QString& text) { StatusBar1->showMessage(text); }
bool TForm1::NoSubfolders() { return CheckBox4->isChecked(); }
bool TForm1::Heif() { return CheckBox6->isChecked(); }
FolderCounters& TForm1::Counters() { return workspace.Counters; }
QString TForm1::PickFolder(const QString& title) { return dialogs().GetFolder(title); }
void TForm1::Notice(const QString& text) { dialogs().Notice(MessageCaption, text); }

std::optional<QString> TForm1::AskText(const QString& title, const QString& label, int maxLength) {
  return dialogs().GetText(title, label, maxLength);
}

}  // namespace phototrim::app
