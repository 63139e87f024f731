// The window's answers to the batch run: each read goes to its control at that moment.
#include "app/window_host.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QSlider>
#include <QStatusBar>

#include "app/Unit1.h"

namespace phototrim::app {

namespace {
std::string Bytes(const QString& text) { return text.toUtf8().toStdString(); }
QString Text(const std::string& bytes) { return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size())); }
}  // namespace

// The folder fields keep the chosen path's exact bytes beside the text they show.
std::string WindowHost::InputFolder() { return form_.InputFolderPath(); }
std::string WindowHost::OutputFolder() { return form_.OutputFolderPath(); }
bool WindowHost::CropToRatio() { return form_.CheckBox1->isChecked(); }
bool WindowHost::Reduce() { return form_.CheckBox2->isChecked(); }
// Read whatever its enabled state: disabling it changes what the user can do, not what a run does.
bool WindowHost::HighQuality() { return form_.CheckBox3->isChecked(); }
bool WindowHost::NoSubfolders() { return form_.CheckBox4->isChecked(); }
bool WindowHost::SkipSmall() { return form_.CheckBox5->isChecked(); }
bool WindowHost::Heif() { return form_.CheckBox6->isChecked(); }
int WindowHost::Quality() { return form_.TrackBar1->value(); }
// What the crop check window placed, as it stands when the run starts.
CropPositions WindowHost::CropPlaces() { return form_.CropPlaces; }

SizeSettings WindowHost::Size() {
  SizeSettings size;
  size.row = form_.ChosenSizeRow();
  size.dpi = form_.ChosenDpi();
  size.fixedFirst = Bytes(form_.Edit3->text());
  size.fixedSecond = Bytes(form_.Edit4->text());
  return size;
}

void WindowHost::EnterRunningState() { form_.SetRunning(true); }
void WindowHost::LeaveRunningState() { form_.SetRunning(false); }
void WindowHost::ClearMemo() { form_.Memo1->clear(); }
void WindowHost::AddMemoLine(const std::string& line) { form_.Memo1->appendPlainText(Text(line)); }

void WindowHost::SetStatusText(const std::string& text) {
  form_.StatusBar1->showMessage(Text(text));
  // Now, not at the next pump: the next decode keeps the thread busy for a while.
  form_.StatusBar1->repaint();
}

void WindowHost::SetProgress(int percent) { form_.ProgressBar1->setValue(percent); }

void WindowHost::ShowNotice(NoticeKind, const std::string& text) {
  if (form_.CloseRequestedDuringRun()) return;  // the window is on its way out: nothing more to read
  form_.dialogs().Notice(form_.MessageCaption, Text(text));
}

bool WindowHost::AskYesNo(QuestionKind, const std::string& text) {
  if (form_.CloseRequestedDuringRun()) return true;  // as if answered はい: stop
  return form_.dialogs().Ask(form_.MessageCaption, Text(text));
}

void WindowHost::SetCollecting(bool collecting) { form_.SetCollecting(collecting); }

void WindowHost::PumpEvents() { QCoreApplication::processEvents(); }

}  // namespace phototrim::app
