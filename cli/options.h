// The command line of phototrim-batch: what it accepts and what it turns into.
#pragma once

#include <string>
#include <vector>

#include "trim/geometry/size_table.h"

namespace phototrim::cli {

enum class ProgressDisplay { Auto, On, Off };

// The settings of one run from the command line; the defaults are the window's.
struct Options {
  std::string inputFolder;
  std::string outputFolder;
  SizeSettings size;            // L at 400 dpi unless -s, -d or -f say otherwise
  bool reduce = false;          // on by default for pixel sizes and --fixed, off for print sizes
  bool highQuality = true;
  bool skipSmall = true;
  bool noSubfolders = false;
  int quality = 90;
  bool overwrite = false;       // answer いいえ to the existing-file question
  bool stopOnError = false;     // answer はい to the failure questions
  bool quiet = false;
  ProgressDisplay progress = ProgressDisplay::Auto;
  int jobs = 0;                 // files worked on at once; 0: one per online core
  bool noSizeLimit = false;     // crop and reduce pictures larger than 6200 pixels on a side
  std::string cropPositionsFile;  // --crop-positions: where each crop sits; empty: all centred
  bool printCrops = false;      // --print-crops: list each picture's crop, write no picture
  bool focusFaces = false;      // --crop-focus faces: unlisted crops centred on the faces found
  bool heif = false;            // also HEIC/HEIF inputs
  bool keepExif = false;        // the input's Exif capture data in the outputs
  bool keepGps = false;         // with keepExif, its GPS tags too
  bool dpiTag = false;          // the print resolution in the JFIF header
  bool help = false;
  bool version = false;
};

// Exit statuses of phototrim-batch.
inline constexpr int kExitFinished = 0;
inline constexpr int kExitFinishedWithErrors = 1;
inline constexpr int kExitStopped = 2;
inline constexpr int kExitRefused = 3;
// Refused because the output folder is the input folder: the run would have replaced the originals.
inline constexpr int kExitOutputIsInput = 4;
// The run ended as it would have, but its log could not be written whole to stdout (a full disk,
// a reader that went away): the outputs are as the run left them, the log tells nothing for sure.
inline constexpr int kExitLogLost = 5;
inline constexpr int kExitUsage = 64;

// Reads the arguments (without the program name). False with a one-line reason in `error` when
// they are not usable.
bool ParseOptions(const std::vector<std::string>& args, Options& options, std::string& error);

// The --help text, in Japanese like the window.
std::string HelpText();

}  // namespace phototrim::cli
