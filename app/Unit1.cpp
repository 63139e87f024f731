// The main window: start-up and shut-down, the enabling rules, and the run commands 実行 and 中断.
#include "app/Unit1.h"

#include <algorithm>
#include <unistd.h>

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSlider>
#include <QTimer>

#include "app/app_texts.h"
#include "app/application.h"
#include "app/window_accessibility.h"
#include "app/window_keyboard.h"
#include "app/window_style.h"
#include "platform/file_system.h"
#include "trim/run/batch_run.h"

namespace phototrim::app {

namespace {
// The window's client area, in pixels at 96 dpi.
constexpr int kClientWidth = 473;
constexpr int kClientHeight = 589;

int OnlineCores() { return static_cast<int>(std::clamp(::sysconf(_SC_NPROCESSORS_ONLN), 1L, 256L)); }
}  // namespace

TForm1::TForm1(Dialogs* dialogs, SplashOptions splash)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                           Qt::MSWindowsFixedSizeDialogHint),
      ownedDialogs_(dialogs ? nullptr : std::make_unique<QtDialogs>(this)),
      dialogs_(dialogs ? dialogs : ownedDialogs_.get()),
      splash_(std::move(splash)),
      host_(*this),
      runJobs_(OnlineCores()) {
  setObjectName(QStringLiteral("Form1"));
  setFixedSize(kClientWidth, kClientHeight);
  UseWindowLook(*this);
  CreateControls();
  SetTabOrder();
  ConnectHandlers();
  LetReturnPressButtons(*this);
  ShowSliderNumber(*TrackBar1);
  DescribeForScreenReaders(*this);
  UpdateControlStates();
  FormCreate();
}

TForm1::~TForm1() { FormDestroy(); }

void TForm1::FormCreate() {
  // Dropped folders reach WMDropFiles.
  setAcceptDrops(true);
  // The executable's folder becomes the current folder; a failure is of no consequence.
  SetCurrentFolder(QCoreApplication::applicationDirPath().toUtf8().toStdString());
  MessageCaption = QString::fromUtf8(kMessageCaption);
  setWindowTitle(MessageCaption);
  // The two bitmaps exist from here on, at 10 x 10, and the work planes of the high-quality
  // reduction grow only when a reduction needs them: an idle window holds next to nothing.
  workspace.WorkBitmap.Reset(10, 10);
  workspace.ScratchBitmap.Reset(10, 10);
}

void TForm1::FormShow() {
  if (!splash_.show) return;
  if (!Form2) Form2 = new TForm2(this, splash_);
  Form2->exec();  // returns when the splash has closed itself
}

void TForm1::FormDestroy() {
  workspace.ScratchBitmap.Release();
  workspace.WorkBitmap.Release();
}

void TForm1::setVisible(bool visible) {
  // The splash comes first: the window shows only once it has gone, centred on the screen.
  if (visible && !shownOnce_) {
    shownOnce_ = true;
    FormShow();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
      move(screen->availableGeometry().center() - QPoint(kClientWidth / 2, kClientHeight / 2));
  }
  QWidget::setVisible(visible);
}

void TForm1::ConnectHandlers() {
  // toggled, not clicked: setting the state from code runs the handler too, but only on a change.
  connect(CheckBox2, &QCheckBox::toggled, this, [this] { RunHandler([this] { CheckBox2Click(); }); });
  for (QRadioButton* button : SizeButtons)
    connect(button, &QRadioButton::toggled, this, [this, button](bool chosen) {
      if (chosen) RunHandler([this, button] { RadioButton1Click(button); });  // already the chosen one here
    });
  // Tab stops at the chosen button of a group only; the arrow keys move the choice within it.
  std::vector<QRadioButton*> radios(SizeButtons.begin(), SizeButtons.end());
  radios.insert(radios.end(), DpiButtons.begin(), DpiButtons.end());
  for (QRadioButton* button : radios) {
    button->setFocusPolicy(button->isChecked() ? Qt::StrongFocus : Qt::ClickFocus);
    connect(button, &QRadioButton::toggled, button,
            [button](bool chosen) { button->setFocusPolicy(chosen ? Qt::StrongFocus : Qt::ClickFocus); });
  }
  connect(BitBtn2, &QPushButton::clicked, this, [this] { RunHandler([this] { BitBtn2Click(); }); });
  connect(BitBtn3, &QPushButton::clicked, this, [this] { RunHandler([this] { BitBtn3Click(); }); });
  connect(BitBtn8, &QPushButton::clicked, this, [this] { RunHandler([this] { BitBtn8Click(); }); });
  connect(BitBtn1, &QPushButton::clicked, this, [this] { RunHandler([this] { BitBtn1Click(); }); });
  connect(BitBtn4, &QPushButton::clicked, this, [this] { RunHandler([this] { BitBtn4Click(); }); });
  connect(BitBtn9, &QPushButton::clicked, this, [this] { RunHandler([this] { BitBtn9Click(); }); });
}

int TForm1::ChosenSizeRow() const {
  for (std::size_t row = 0; row < SizeButtons.size(); ++row)
    if (SizeButtons[row]->isChecked()) return static_cast<int>(row);
  return 0;
}

int TForm1::ChosenDpi() const {
  for (std::size_t i = 0; i < DpiButtons.size(); ++i)
    if (DpiButtons[i]->isChecked()) return kDpiChoices[i];
  return kDpiChoices.back();
}

void TForm1::UpdateControlStates() {
  const bool reduce = CheckBox2->isChecked();
  const bool pixelSize = kSizeTable[static_cast<std::size_t>(ChosenSizeRow())].kind == SizeKind::Pixel;
  // Reduction off: the whole group is off. On: the resolution matters only for a print size.
  GroupBox2->setEnabled(reduce);
  for (QRadioButton* button : DpiButtons) button->setEnabled(reduce && !pixelSize);
  CheckBox3->setEnabled(reduce);

  BitBtn2->setEnabled(!running_ && !collecting_);
  BitBtn3->setEnabled(running_ || collecting_);
  ProgressBar1->setVisible(running_);
  BitBtn4->setEnabled(outputFolderChosen_);
  BitBtn9->setEnabled(!InputFolderPath().empty());
}

void TForm1::CheckBox2Click() { UpdateControlStates(); }

void TForm1::RadioButton1Click(QRadioButton* sender) {
  const auto row = static_cast<std::size_t>(std::find(SizeButtons.begin(), SizeButtons.end(), sender) - SizeButtons.begin());
  // A pixel size needs the reduction: it turns it on (which runs CheckBox2Click when it was off).
  if (row < kSizeTable.size() && kSizeTable[row].kind == SizeKind::Pixel) CheckBox2->setChecked(true);
  UpdateControlStates();
}

void TForm1::SetRunning(bool running) {
  running_ = running;
  UpdateControlStates();
  if (!running && closeAfterRun_) QTimer::singleShot(0, this, &QWidget::close);
}

void TForm1::SetCollecting(bool collecting) {
  collecting_ = collecting;
  UpdateControlStates();
  // Closed while collecting: the run stops before it starts, and the window closes then.
  if (!collecting && !running_ && closeAfterRun_) QTimer::singleShot(0, this, &QWidget::close);
}

void TForm1::BitBtn2Click() {
  // Whatever ends the run, an exception included, the window is idle afterwards.
  struct BackToIdle {
    TForm1& form;
    ~BackToIdle() {
      if (form.collecting_) form.SetCollecting(false);
      if (form.running_) form.SetRunning(false);
    }
  } backToIdle{*this};
  // The pictures are worked on by other threads, so the window goes on answering during a run.
  RunBatch(workspace, host_, runJobs_, WorkThreads::Workers);
}

void TForm1::BitBtn3Click() { workspace.AbortRequested = true; }

void TForm1::closeEvent(QCloseEvent* event) {
  if (!running_ && !collecting_) {
    QWidget::closeEvent(event);
    return;
  }
  // A close during a run stops the run at its next check; the window closes once it has ended.
  closeAfterRun_ = true;
  workspace.AbortRequested = true;
  event->ignore();
}

void TForm1::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void TForm1::dropEvent(QDropEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  RunHandler([this, &urls] { WMDropFiles(urls); });
  event->acceptProposedAction();
}

}  // namespace phototrim::app
