// phototrim-demo-tree FOLDER: writes a small tree of generated photographs to try the tool on.
#include <cmath>
#include <cstdio>
#include <string>

#include "platform/file_system.h"
#include "trim/bitmap.h"
#include "trim/save/jpeg_save.h"

namespace {

using phototrim::Bitmap;

// A landscape-like scene: sky gradient, sun, rolling hills and a lake, so crops and reductions
// can be judged by eye.
void PaintScene(Bitmap& picture, int width, int height, int variant) {
  picture.Reset(width, height);
  const double sunX = width * (0.25 + 0.15 * variant), sunY = height * 0.3, sunR = height * 0.08;
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = picture.Row(y);
    const double v = static_cast<double>(y) / height;
    for (int x = 0; x < width; ++x) {
      const double u = static_cast<double>(x) / width;
      const double hill = 0.62 + 0.06 * std::sin(u * 9.0 + variant) + 0.03 * std::sin(u * 23.0);
      double r, g, b;
      if (v < hill) {  // sky, brighter towards the horizon
        r = 90 + 120 * v;
        g = 140 + 90 * v;
        b = 230 - 20 * v;
        const double d = std::hypot(x - sunX, y - sunY);
        if (d < sunR) r = 255, g = 230, b = 150;
      } else if (v < 0.85) {  // hills with stripes of fields
        const double stripe = std::sin((u + v * 3) * 60) > 0 ? 1.0 : 0.85;
        r = 60 * stripe, g = (120 + 80 * (1 - v)) * stripe, b = 50 * stripe;
      } else {  // lake with ripples
        r = 40, g = 90 + 20 * std::sin(x * 0.2 + y * 0.5), b = 160;
      }
      row[3 * x] = static_cast<std::uint8_t>(b);
      row[3 * x + 1] = static_cast<std::uint8_t>(g);
      row[3 * x + 2] = static_cast<std::uint8_t>(r);
    }
  }
}

struct DemoPicture {
  const char* path;
  int width, height;
};

// Several sizes, a portrait, a square, one too small to be worth printing, in subfolders.
constexpr DemoPicture kPictures[] = {
    {"beach.jpg", 3000, 2000},
    {"day1/harbour.JPG", 4000, 3000},
    {"day1/tower_portrait.jpg", 2000, 3000},
    {"day1/square.jpg", 1500, 1500},
    {"day2/panorama.jpg", 5000, 1800},
    {"day2/thumbnail.jpg", 320, 240},
    {"day2/evening/lake.jpg", 2400, 1600},
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "使い方: phototrim-demo-tree フォルダ\n");
    return 64;
  }
  // Made absolute once: every save makes its folder the current one.
  std::string folder = phototrim::AbsolutePath(argv[1]);
  if (folder.back() != '/') folder += '/';
  const phototrim::SaveJpegHost host{[] { return 92; },
                                     [](const std::string& text) { std::fprintf(stderr, "%s\n", text.c_str()); }};
  Bitmap picture;
  int variant = 0;
  for (const DemoPicture& demo : kPictures) {
    const std::string path = folder + demo.path;
    PaintScene(picture, demo.width, demo.height, variant++);
    if (phototrim::SaveJpeg(path, picture, {}, host) != phototrim::SaveResult::Ok) return 1;
    std::printf("%s (%d×%d)\n", path.c_str(), demo.width, demo.height);
  }
  return 0;
}
