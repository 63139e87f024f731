// Reads and writes the crop positions file, refusing what could place a crop wrongly.
#include "trim/geometry/crop_positions_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

#include "trim/format.h"

namespace phototrim {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// Why a path cannot name a picture under the input folder, or nullptr when it can.
const char* PathFault(std::string_view path) {
  if (path.empty()) return "パスが空です。";
  if (path.front() == '/') return "絶対パスは使えません。入力フォルダからの相対パスを書いてください。";
  std::size_t start = 0;
  while (true) {
    const std::size_t end = std::min(path.find('/', start), path.size());
    const std::string_view name = path.substr(start, end - start);
    if (name == "..") return "「..」を含むパスは使えません。";
    if (name.empty() || name == ".") return "パスの区切りが正しくありません（空の名前または「.」）。";
    if (end == path.size()) return nullptr;
    start = end + 1;
  }
}

bool HasControlBytes(std::string_view line) {
  for (const unsigned char c : line)
    if ((c < 0x20 && c != '\t') || c == 0x7F) return true;
  return false;
}

}  // namespace

bool ParseCropPositions(std::string_view text, CropPositions& positions, PositionsFileError& error) {
  if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark) text.remove_prefix(kByteOrderMark.size());
  CropPositions read;
  std::map<std::string, int> lineOf;
  int number = 0;
  while (!text.empty()) {
    ++number;
    const std::size_t end = std::min(text.find('\n'), text.size());
    std::string_view line = text.substr(0, end);
    text.remove_prefix(std::min(end + 1, text.size()));
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const auto fail = [&](std::string reason) {
      error = {number, std::move(reason)};
      return false;
    };
    if (HasControlBytes(line)) return fail("テキストではない文字（制御文字）が含まれています。");
    if (line.empty() || line.front() == '#') continue;
    const std::size_t tab1 = line.find('\t');
    const std::size_t tab2 = tab1 == std::string_view::npos ? tab1 : line.find('\t', tab1 + 1);
    if (tab2 == std::string_view::npos || line.find('\t', tab2 + 1) != std::string_view::npos)
      return fail("「パス<TAB>横位置<TAB>縦位置」の形ではありません。");
    const std::string path(line.substr(0, tab1));
    if (const char* fault = PathFault(path)) return fail(fault);
    CropPosition place;
    const std::string_view x = line.substr(tab1 + 1, tab2 - tab1 - 1), y = line.substr(tab2 + 1);
    if (!ParsePercent(x, place.x) || !ParsePercent(y, place.y))
      return fail("位置は0から100までの数で、小数は2桁までです。");
    if (const auto [it, added] = lineOf.emplace(path, number); !added)
      return fail(Format("%d 行目と同じ写真です。1枚の写真には1行だけ書いてください。", it->second));
    read.Set(path, place, number);
  }
  for (const auto& [path, entry] : read.Entries()) positions.Set(path, entry.place, entry.line);
  return true;
}

bool ReadCropPositionsFile(const std::string& path, CropPositions& positions, PositionsFileError& error) {
  const auto fail = [&](std::string reason) {
    error = {0, std::move(reason)};
    return false;
  };
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return fail(Format("読めません（%s）。", std::strerror(errno)));
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return fail("通常のファイルではありません。");
  }
  std::string text;
  bool tooLarge = static_cast<std::size_t>(info.st_size) > kMaxPositionsFileBytes;
  int readError = 0;
  if (!tooLarge) {
    // Read to the end, not to the size seen: the file may grow meanwhile.
    char buffer[65536];
    while (true) {
      const ssize_t got = ::read(fd, buffer, sizeof buffer);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) readError = errno;
      if (got <= 0) break;
      text.append(buffer, static_cast<std::size_t>(got));
      if (text.size() > kMaxPositionsFileBytes) {
        tooLarge = true;
        break;
      }
    }
  }
  ::close(fd);
  if (readError != 0) return fail(Format("読めません（%s）。", std::strerror(readError)));
  if (tooLarge) return fail(Format("大きすぎます（%d MiB まで）。", static_cast<int>(kMaxPositionsFileBytes >> 20)));
  return ParseCropPositions(text, positions, error);
}

std::string DescribePositionsError(const std::string& path, const PositionsFileError& error) {
  if (error.line == 0) return path + ": " + error.reason;
  return Format("%s:%d: %s", path.c_str(), error.line, error.reason.c_str());
}

std::string CropPositionsText(const CropPositions& positions) {
  std::string text = "# 入力フォルダからのパス\t横位置(%)\t縦位置(%)\n";
  for (const auto& [path, entry] : positions.Entries())
    text += path + '\t' + FormatPercent(entry.place.x) + '\t' + FormatPercent(entry.place.y) + '\n';
  return text;
}

bool WriteCropPositionsFile(const std::string& path, const CropPositions& positions, std::string& reason) {
  const std::string text = CropPositionsText(positions);
  const std::string temporary = path + ".part";
  FILE* file = std::fopen(temporary.c_str(), "wb");
  if (!file) {
    reason = std::strerror(errno);
    return false;
  }
  const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size() && std::fflush(file) == 0 &&
                       ::fsync(::fileno(file)) == 0;
  const int writeError = errno;
  if (std::fclose(file) != 0 || !written || std::rename(temporary.c_str(), path.c_str()) != 0) {
    reason = std::strerror(written ? errno : writeError);
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace phototrim
