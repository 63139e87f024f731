// Parses the command line of phototrim-batch into the settings of one run.
#include "cli/options.h"

#include <algorithm>
#include <optional>

#include "trim/format.h"

namespace phototrim::cli {

namespace {

// A plain decimal number with nothing else around it, within int range.
std::optional<int> DecimalNumber(const std::string& text) {
  if (text.empty() || text.size() > 9 || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return std::nullopt;
  return std::stoi(text);
}

// "A:B", "AxB" or "A×B": two positive decimal numbers, A first.
bool SplitFixedSize(const std::string& text, std::string& first, std::string& second) {
  for (const std::string separator : {":", "x", "X", "×"}) {
    const auto at = text.find(separator);
    if (at == std::string::npos) continue;
    first = text.substr(0, at);
    second = text.substr(at + separator.size());
    const auto a = DecimalNumber(first), b = DecimalNumber(second);
    return a && b && *a > 0 && *b > 0;
  }
  return false;
}

}  // namespace

bool ParseOptions(const std::vector<std::string>& args, Options& options, std::string& error) {
  std::vector<std::string> folders;
  std::optional<bool> reduceChosen;
  bool pixelSize = false;
  bool onlyFolders = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string arg = args[i];
    std::string value;
    bool hasInlineValue = false;
    bool valueTaken = false;  // a switch given "=value" is refused, not read as on
    if (!onlyFolders && arg.rfind("--", 0) == 0 && arg.find('=') != std::string::npos) {
      value = arg.substr(arg.find('=') + 1);
      arg = arg.substr(0, arg.find('='));
      hasInlineValue = true;
    }
    // Takes the value of an option: after '=' or as the next argument.
    auto takeValue = [&](std::string& out) {
      valueTaken = true;
      if (hasInlineValue) {
        out = value;
        return true;
      }
      if (i + 1 >= args.size()) {
        error = Format("オプション %s には値が必要です。", arg.c_str());
        return false;
      }
      out = args[++i];
      return true;
    };
    // "-j4" is "-j 4".
    if (!onlyFolders && arg.size() > 2 && arg.rfind("-j", 0) == 0) {
      value = arg.substr(2);
      arg = "-j";
      hasInlineValue = true;
    }
    if (onlyFolders || arg.empty() || arg[0] != '-' || arg == "-") {
      folders.push_back(arg);
    } else if (arg == "--") {
      onlyFolders = true;
    } else if (arg == "-h" || arg == "--help") {
      options.help = true;
    } else if (arg == "--version") {
      options.version = true;
    } else if (arg == "-s" || arg == "--size") {
      std::string name;
      if (!takeValue(name)) return false;
      const int row = FindSizeRow(name);
      if (row < 0) {
        error = Format("サイズ「%s」はありません。", name.c_str());
        return false;
      }
      options.size.row = row;
      pixelSize = kSizeTable[static_cast<std::size_t>(row)].kind == SizeKind::Pixel;
    } else if (arg == "-f" || arg == "--fixed") {
      std::string text;
      if (!takeValue(text)) return false;
      if (!SplitFixedSize(text, options.size.fixedFirst, options.size.fixedSecond)) {
        error = Format("固定ピクセル寸法「%s」は 幅:高さ の形の1以上の整数2つで指定してください。", text.c_str());
        return false;
      }
    } else if (arg == "-d" || arg == "--dpi") {
      std::string text;
      if (!takeValue(text)) return false;
      const auto dpi = DecimalNumber(text);
      if (!dpi || std::find(kDpiChoices.begin(), kDpiChoices.end(), *dpi) == kDpiChoices.end()) {
        error = Format("解像度「%s」は指定できません（150, 200, 300, 320, 400）。", text.c_str());
        return false;
      }
      options.size.dpi = *dpi;
    } else if (arg == "-q" || arg == "--quality") {
      std::string text;
      if (!takeValue(text)) return false;
      const auto quality = DecimalNumber(text);
      if (!quality || *quality > 100) {
        error = Format("画質「%s」は0から100の整数で指定してください。", text.c_str());
        return false;
      }
      options.quality = *quality;
    } else if (arg == "-j" || arg == "--jobs") {
      std::string text;
      if (!takeValue(text)) return false;
      const auto jobs = DecimalNumber(text);
      if (!jobs || *jobs < 1 || *jobs > 256) {
        error = Format("同時に処理するファイル数「%s」は1から256の整数で指定してください。", text.c_str());
        return false;
      }
      options.jobs = *jobs;
    } else if (arg == "-r" || arg == "--reduce") {
      reduceChosen = true;
    } else if (arg == "--no-reduce") {
      reduceChosen = false;
    } else if (arg == "--plain") {
      options.highQuality = false;
    } else if (arg == "--no-subfolders") {
      options.noSubfolders = true;
    } else if (arg == "--keep-small") {
      options.skipSmall = false;
    } else if (arg == "--no-size-limit") {
      options.noSizeLimit = true;
    } else if (arg == "--crop-positions") {
      if (!takeValue(options.cropPositionsFile)) return false;
      if (options.cropPositionsFile.empty()) {
        error = "--crop-positions には位置ファイルを指定してください。";
        return false;
      }
    } else if (arg == "--crop-focus") {
      std::string focus;
      if (!takeValue(focus)) return false;
      if (focus != "faces") {
        error = Format("--crop-focus に指定できるのは faces だけです: %s", focus.c_str());
        return false;
      }
      options.focusFaces = true;
    } else if (arg == "--print-crops") {
      options.printCrops = true;
    } else if (arg == "--heic") {
      options.heif = true;
    } else if (arg == "--keep-exif") {
      options.keepExif = true;
    } else if (arg == "--keep-gps") {
      options.keepGps = true;
    } else if (arg == "--dpi-tag") {
      options.dpiTag = true;
    } else if (arg == "--overwrite") {
      options.overwrite = true;
    } else if (arg == "--stop-on-error") {
      options.stopOnError = true;
    } else if (arg == "--quiet") {
      options.quiet = true;
    } else if (arg == "--progress") {
      options.progress = ProgressDisplay::On;
    } else if (arg == "--no-progress") {
      options.progress = ProgressDisplay::Off;
    } else {
      error = Format("不明なオプションです: %s", arg.c_str());
      return false;
    }
    if (hasInlineValue && !valueTaken) {
      error = Format("オプション %s は値を取りません。", arg.c_str());
      return false;
    }
  }
  if (options.help || options.version) return true;
  // Listing the crops writes nothing, so it needs no output folder.
  if (options.printCrops && folders.size() == 1) folders.push_back("-");
  if (folders.size() != 2) {
    error = folders.size() < 2 ? "入力フォルダと出力フォルダを指定してください。" : "フォルダは入力と出力の2つだけ指定してください。";
    return false;
  }
  // An empty text is no folder (taken as it stands, it would become the root or the current folder).
  if (folders[0].empty() || folders[1].empty()) {
    error = "フォルダに空の文字列は指定できません。";
    return false;
  }
  options.inputFolder = folders[0];
  options.outputFolder = folders[1];
  const bool fixedSize = !options.size.fixedFirst.empty();
  options.reduce = reduceChosen.value_or(pixelSize || fixedSize);
  return true;
}

std::string HelpText() {
  return "使い方: phototrim-batch [オプション] 入力フォルダ 出力フォルダ\n"
         "\n"
         "入力フォルダ（とそのサブフォルダ）のJPEGファイル（.jpg）をすべて、指定サイズの縦横比に\n"
         "中央でトリミングし、必要なら縮小して、出力フォルダに同じフォルダ構成で保存します。\n"
         "拡大は行いません。\n"
         "\n"
         "サイズ:\n"
         "  -s, --size 名前        L, はがき, 2L, 八切, 六切, W六切, A4, 四切, W四切（プリントサイズ）\n"
         "                         4Base, 16Base, QVGA, VGA, SVGA, XGA, SXGA, UXGA, QXGA（ピクセルサイズ）\n"
         "                         英字名: postcard (hagaki), hachigiri (yatsugiri), mutsugiri,\n"
         "                         w-mutsugiri, yotsugiri, w-yotsugiri（大文字小文字は区別しません）\n"
         "                         既定: L\n"
         "  -f, --fixed 幅:高さ    固定ピクセル寸法（800:600 または 800x600）。サイズの指定より優先します\n"
         "  -d, --dpi 解像度       プリントサイズの解像度: 150, 200, 300, 320, 400（既定: 400）\n"
         "\n"
         "縮小:\n"
         "  -r, --reduce           指定サイズまで縮小する（ピクセルサイズと --fixed では既定で縮小）\n"
         "      --no-reduce        縮小しない（プリントサイズの既定）\n"
         "      --plain            高品質縮小の代わりに単純な間引きで縮小する\n"
         "\n"
         "その他:\n"
         "  -q, --quality 画質     JPEG画質 0〜100（既定: 90）\n"
         "      --no-subfolders    サブフォルダは検索しない\n"
         "      --keep-small       320px×240px以下の画像もスキップしない\n"
         "      --no-size-limit    6200pxを超える画像もトリミングと高品質縮小を行う\n"
         "                         （既定: ウィンドウ版と同じく6200pxまで）\n"
         "      --crop-positions ファイル\n"
         "                         トリミングの位置を写真ごとに指定する（1行に「パス<TAB>横<TAB>縦」、\n"
         "                         パスは入力フォルダから、位置は0〜100%、50が中央）\n"
         "      --crop-focus faces 位置ファイルにない写真は、見つかった顔が枠に入るようにトリミングする\n"
         "      --print-crops      写真ごとのトリミング範囲を標準出力に書く（画像は保存しない）\n"
         "      --heic             HEIC/HEIFファイル（.heic, .heif, .hif）も変換する（出力は .jpg）\n"
         "      --keep-exif        撮影日時・カメラ・レンズ・露出などのExif情報を出力に残す（位置情報は残さない）\n"
         "      --keep-gps         --keep-exif で位置情報（GPS）も残す\n"
         "      --dpi-tag          プリントサイズの解像度（dpi）をJPEGに記録する\n"
         "      --overwrite        同名のファイルが既にあれば上書きする（既定: 最初の1つで中断）\n"
         "      --stop-on-error    エラーが起きたら中断する（既定: 数えて続行）\n"
         "      --quiet            最後の結果だけを表示する\n"
         "      --progress         進行状況を標準エラーに表示する（既定: 端末のとき）\n"
         "      --no-progress      進行状況を表示しない\n"
         "  -j, --jobs N           N個のファイルを同時に処理する（既定: CPUのコア数）。結果は1個ずつと同じ\n"
         "  -h, --help             この説明を表示する\n"
         "      --version          版を表示する\n"
         "\n"
         "標準出力にはログと最後の結果、標準エラーにはメッセージと進行状況が出ます。\n"
         "Ctrl-C（または SIGTERM, SIGHUP）で中断します（途中まで書いたファイルは残りません）。\n"
         "\n"
         "終了ステータス: 0 正常終了, 1 エラーあり（読めないフォルダがあったときも）, 2 中断, 3 開始できなかった,\n"
         "4 出力フォルダが入力フォルダと同じ（元画像を上書きしないよう開始しなかった）,\n"
         "5 終わったがログを標準出力に書き込めなかった, 64 使い方の誤り\n";
}

}  // namespace phototrim::cli
