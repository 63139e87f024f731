// What a batch run needs of the program that hosts it: the window, the command line or a test.
#pragma once

#include <string>

#include "trim/geometry/crop_positions.h"
#include "trim/geometry/size_table.h"

namespace phototrim {

// Which notice or question the run shows, for hosts that answer without asking a person.
enum class NoticeKind { StartRefused, Aborted, SaveFailure, OutOfMemory, Final };
enum class QuestionKind { Vanished, Decode, Crop, BadName, ExistingFile, Save };

// The run asks its host for every setting at the moment it needs it, so a setting changed while a
// run goes on takes effect where the window would show it to: the switches from the next file, the
// quality at the next save, the size choice and both folders only at the next run (a run's outputs
// all mirror its input under one output folder).
class BatchHost {
 public:
  virtual ~BatchHost() = default;

  // --- settings ---
  virtual std::string InputFolder() = 0;   // Edit1, read once at the start
  virtual std::string OutputFolder() = 0;  // Edit2, read once at the start
  virtual bool CropToRatio() = 0;          // CheckBox1 "縦横比変更"
  virtual bool Reduce() = 0;               // CheckBox2 "解像度縮小(拡大は行いません)"
  virtual bool HighQuality() = 0;          // CheckBox3 "高品質で圧縮"
  virtual bool NoSubfolders() = 0;         // CheckBox4 "サブフォルダは検索しない", read at every subfolder
  virtual bool SkipSmall() = 0;            // CheckBox5 "元画像が320px×240px以下はスキップ"
  virtual SizeSettings Size() = 0;         // the size buttons, dpi buttons, Edit3 and Edit4
  virtual int Quality() = 0;               // TrackBar1, 0 to 100, read at every save
  // The crop and the high-quality reduction take pictures larger than PlaneCapacity (6200) on a
  // side. The window has no such switch; phototrim-batch has --no-size-limit.
  virtual bool NoSizeLimit() { return false; }
  // Where the crops sit, by path relative to the input folder, read once at the start like the
  // size; pictures not named are cropped at the centre.
  virtual CropPositions CropPlaces() { return {}; }
  // Opt-ins read once at the start of a run: HEIC/HEIF inputs beside the JPEG ones; the input's Exif
  // capture data in the outputs (its GPS tags only with KeepGps); the print resolution in the JFIF
  // header when the size is a print size.
  virtual bool Heif() { return false; }
  virtual bool KeepExif() { return false; }
  virtual bool KeepGps() { return false; }
  virtual bool DpiTag() { return false; }

  // --- what to show ---
  // Running state: progress bar shown, Execute disabled, Abort enabled; idle is the reverse.
  virtual void EnterRunningState() = 0;
  virtual void LeaveRunningState() = 0;
  virtual void ClearMemo() = 0;
  virtual void AddMemoLine(const std::string& line) = 0;
  // Sets the status line and repaints it at once.
  virtual void SetStatusText(const std::string& text) = 0;
  virtual void SetProgress(int percent) = 0;
  // A modal notice with an OK button.
  virtual void ShowNotice(NoticeKind kind, const std::string& text) = 0;
  // A modal question with はい first and default; true is はい, which always means: stop the run.
  virtual bool AskYesNo(QuestionKind kind, const std::string& text) = 0;
  // A file of the list is about to be worked on (index from 0); for progress displays of the host's own.
  virtual void FileStarting(int /*index*/, int /*total*/) {}
  // Why the current file failed, in the system's or libjpeg's own words, just before its question;
  // the window's texts have no place for it, a terminal prints it.
  virtual void ShowFailureReason(const std::string& /*reason*/) {}
  // The run is collecting its files (true), or has done so (false). Events run meanwhile, so the
  // host offers its abort: the window enables 中断 and keeps 実行 from starting a second run.
  virtual void SetCollecting(bool /*collecting*/) {}
  // A folder of the input tree could not be read, with the system's reason; its files are missing
  // from the run. The window's memo has no line for it; a terminal prints it.
  virtual void ShowUnreadableFolder(const std::string& /*folder*/, const std::string& /*reason*/) {}

  // A crop position names no picture of the run (`line`: of the file it was read from, or 0).
  virtual void ShowUnmatchedCropPosition(const std::string& /*relativePath*/, int /*line*/) {}

  // Lets pending events run (the window's event loop, or the command line's Ctrl-C check).
  // Afterwards the run reads its abort flag, which only the host's abort sets.
  virtual void PumpEvents() = 0;
};

}  // namespace phototrim
