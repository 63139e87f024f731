// The main window TForm1: every setting of the tool as the state of a control, and its commands.
#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QWidget>

#include "app/Unit2.h"
#include "app/dialogs.h"
#include "app/window_host.h"
#include "folders/folder_host.h"
#include "trim/geometry/crop_positions.h"
#include "trim/run/workspace.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSlider;
class QStatusBar;
class QUrl;

namespace phototrim::app {

class CropCheckWindow;

// The window is the host of its folder commands (folders/): it lends them its fields, memo, status
// line and dialogs through FolderHost.
class TForm1 : public QWidget, public folders::FolderHost {
 public:
  // `dialogs` answers every box of the window; null means the real boxes (owned by the window).
  explicit TForm1(Dialogs* dialogs = nullptr, SplashOptions splash = {});
  ~TForm1() override;

  // --- controls, under the names the rest of the program and its users know them by ---
  // Folder rows.
  QLabel* Label3 = nullptr;
  QLineEdit* Edit1 = nullptr;
  QPushButton* BitBtn8 = nullptr;
  QLabel* Label4 = nullptr;
  QLineEdit* Edit2 = nullptr;
  QPushButton* BitBtn1 = nullptr;
  QPushButton* BitBtn4 = nullptr;
  QPushButton* BitBtn9 = nullptr;  // 確認…: the crop check window
  // Options and quality.
  QCheckBox* CheckBox4 = nullptr;
  QCheckBox* CheckBox5 = nullptr;
  QCheckBox* CheckBox6 = nullptr;  // "HEIC/HEIFも変換", unchecked at every start
  QLabel* Label2 = nullptr;
  QSlider* TrackBar1 = nullptr;
  QLabel* Label5 = nullptr;
  QLabel* Label6 = nullptr;
  QLabel* Label7 = nullptr;
  // Size group: the 18 size buttons in the order they stand (the size table's order), their ratio
  // labels, and the fixed pixel size.
  QGroupBox* GroupBox1 = nullptr;
  QRadioButton *RadioButton1 = nullptr, *RadioButton2 = nullptr, *RadioButton3 = nullptr, *RadioButton4 = nullptr,
               *RadioButton5 = nullptr, *RadioButton6 = nullptr, *RadioButton7 = nullptr, *RadioButton8 = nullptr,
               *RadioButton9 = nullptr, *RadioButton10 = nullptr, *RadioButton15 = nullptr, *RadioButton17 = nullptr,
               *RadioButton18 = nullptr, *RadioButton19 = nullptr, *RadioButton20 = nullptr, *RadioButton21 = nullptr,
               *RadioButton22 = nullptr, *RadioButton23 = nullptr;
  std::array<QRadioButton*, 18> SizeButtons{};  // index = row of the size table
  std::array<QLabel*, 18> RatioLabels{};        // StaticText1 … StaticText18, by row
  QLabel* Label1 = nullptr;
  QLineEdit* Edit3 = nullptr;
  QLabel* Label8 = nullptr;
  QLineEdit* Edit4 = nullptr;
  // Reduction settings.
  QCheckBox* CheckBox1 = nullptr;
  QCheckBox* CheckBox2 = nullptr;
  QGroupBox* GroupBox2 = nullptr;
  QRadioButton *RadioButton11 = nullptr, *RadioButton14 = nullptr, *RadioButton12 = nullptr, *RadioButton16 = nullptr,
               *RadioButton13 = nullptr;
  std::array<QRadioButton*, 5> DpiButtons{};  // by kDpiChoices: 150, 200, 300, 320, 400
  QCheckBox* CheckBox3 = nullptr;
  // Log, progress, status and run buttons.
  QPlainTextEdit* Memo1 = nullptr;
  QPushButton* BitBtn2 = nullptr;
  QPushButton* BitBtn3 = nullptr;
  QProgressBar* ProgressBar1 = nullptr;
  QStatusBar* StatusBar1 = nullptr;

  // The caption of the window and the title of every message box.
  QString MessageCaption;
  // Bitmaps, work planes, ErrorText, AbortRequested and the folder counters.
  Workspace workspace;
  Dialogs& dialogs() { return *dialogs_; }

  // --- handlers ---
  void FormCreate();
  void FormShow();
  void FormDestroy();
  void CheckBox2Click();
  void RadioButton1Click(QRadioButton* sender);
  void BitBtn2Click();  // runs one whole batch
  void BitBtn3Click();  // asks the run to stop
  // The folder commands; their work is in folders/ (window_folders.cpp).
  void BitBtn8Click();
  void BitBtn1Click();
  void BitBtn4Click();
  void BitBtn9Click();  // opens the crop check window on the input folder (crop_check_command.cpp)
  void WMDropFiles(const QList<QUrl>& urls);
  // The folder statistics of a path: its JPEG files listed in Memo1, the counters of the workspace set.
  void ScanFolder(const std::string& path);

  // Derives the enabled and visible state of every control that changes from the window's state:
  // the reduction switch, the kind of the chosen size, whether a run is going on, and whether an
  // output folder has been chosen.
  void UpdateControlStates();

  // The row of the chosen size button, and the resolution of the chosen resolution button.
  int ChosenSizeRow() const;
  int ChosenDpi() const;

  // How many files a run works on at once, each on a thread of its own; the window's own thread only
  // asks, shows and saves. The online cores unless set (a benchmark compares one with several).
  int RunJobs() const { return runJobs_; }
  void SetRunJobs(int jobs) { runJobs_ = jobs < 1 ? 1 : jobs; }

  // The running state of a batch run: progress bar shown, 実行 disabled, 中断 enabled.
  void SetRunning(bool running);
  bool Running() const { return running_; }
  // A run collecting its files, before its running state: 実行 disabled, 中断 enabled, as the
  // collection lets events run.
  void SetCollecting(bool collecting);
  // Once an output folder has been chosen, the subfolder command stays available.
  void SetOutputFolderChosen() override {
    outputFolderChosen_ = true;
    UpdateControlStates();
  }
  // The window was asked to close while a run went on: the run stops at its next check, asks nothing
  // more, and the window closes when it has ended.
  bool CloseRequestedDuringRun() const { return closeAfterRun_; }

  TForm2* Form2 = nullptr;

  // Where the user placed crops in the crop check window, by path relative to the input folder;
  // held until the program closes, and read at the start of every run.
  CropPositions CropPlaces;
  // The target size that a run started now would use (null pair when the fixed size is unusable).
  TargetSize ChosenTargetSize();
  CropCheckWindow* CropCheck() const { return cropCheck_; }

  // --- the window as the folder commands see it (folders/folder_host.h; window_folders.cpp) ---
  std::string InputFolderPath() override;
  void ShowInputFolder(const std::string& path) override;
  std::string OutputFolderPath() override;
  void ShowOutputFolder(const std::string& path) override;
  void ClearMemo() override;
  void AddMemoText(const QString& lines) override;
  void ShowStatus(const QString& text) override;
  bool NoSubfolders() override;
  bool Heif() override;
  FolderCounters& Counters() override;
  QString PickFolder(const QString& title) override;
  void Notice(const QString& text) override;
  std::optional<QString> AskText(const QString& title, const QString& label, int maxLength) override;

 protected:
  void setVisible(bool visible) override;
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void CreateControls();    // main_window_layout.cpp
  void ConnectHandlers();
  void SetTabOrder();       // main_window_layout.cpp

  std::unique_ptr<Dialogs> ownedDialogs_;
  Dialogs* dialogs_;
  SplashOptions splash_;
  WindowHost host_;
  int runJobs_ = 1;
  bool running_ = false;
  bool collecting_ = false;
  bool outputFolderChosen_ = false;
  bool shownOnce_ = false;
  bool closeAfterRun_ = false;
  CropCheckWindow* cropCheck_ = nullptr;
};

}  // namespace phototrim::app
