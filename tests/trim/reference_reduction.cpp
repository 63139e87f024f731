// The high-quality reduction pixel by pixel, slow and literal, as the yardstick of the engine.
#include "trim/reference_reduction.h"

#include <cstdint>
#include <vector>

#include "trim/format.h"
#include "trim/messages.h"

namespace phototrim::testing {

namespace {

constexpr int kCapacity = 6200;

std::uint32_t Pack(int red, int green, int blue) {
  return static_cast<std::uint32_t>(red) << 16 | static_cast<std::uint32_t>(green) << 8 | static_cast<std::uint32_t>(blue);
}
int Red(std::uint32_t p) { return static_cast<int>(p >> 16 & 0xFF); }
int Green(std::uint32_t p) { return static_cast<int>(p >> 8 & 0xFF); }
int Blue(std::uint32_t p) { return static_cast<int>(p & 0xFF); }

bool Admit(int W, int H, int w, int h, bool sizeLimit, std::string& errorText) {
  const long long d = static_cast<long long>(W) * 100 / H - static_cast<long long>(w) * 100 / h;
  if (d >= 4 || d <= -4) {
    errorText = Format(text::kHqAspect, w, h);
  } else if (W == w && H == h) {
    errorText = Format(text::kHqSameSize, w, h);
  } else if (sizeLimit && (W > kCapacity || H > kCapacity)) {
    errorText = Format(text::kHqSourceTooLarge, W, H, kCapacity, kCapacity);
  } else if (sizeLimit && (w > kCapacity || h > kCapacity)) {
    errorText = Format(text::kHqTargetTooLarge, w, h, kCapacity, kCapacity);
  } else if (static_cast<long long>(w) * 100 < W || static_cast<long long>(h) * 100 < H) {
    errorText = text::kHqRatio;
  } else if (W <= w || H <= h) {
    errorText = text::kHqEnlarge;
  } else {
    return true;
  }
  return false;
}

// The weight of source index c in the span [s, e] of hundredths: the first index weighs
// c0*100 + 100 - s, the last e - c1*100, those between 100. An index that is both first and last
// is taken as the last here; its weight cancels out of the quotient either way.
long long Weight(long long c, long long s, long long e) {
  const long long c0 = s / 100, c1 = e / 100;
  if (c == c1) return e - c1 * 100;
  if (c == c0) return c0 * 100 + 100 - s;
  return 100;
}

}  // namespace

StepResult ReferenceReduceHighQuality(Bitmap& image, int w, int h, std::string& errorText, bool sizeLimit) {
  errorText.clear();
  const int W = image.Width(), H = image.Height();
  if (!Admit(W, H, w, h, sizeLimit, errorText)) return StepResult::Refused;

  std::vector<std::uint32_t> source(static_cast<std::size_t>(W) * H);
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      const std::uint8_t* p = image.Row(y) + 3 * x;
      source[static_cast<std::size_t>(y) * W + x] = Pack(p[2], p[1], p[0]);
    }

  std::vector<std::uint32_t> reduced(static_cast<std::size_t>(w) * h);
  for (long long y = 0; y < h; ++y) {
    for (long long x = 0; x < w; ++x) {
      const long long xs = x * W * 100 / w, xe = (x * 100 + 100) * W / w - 1;
      const long long ys = y * H * 100 / h, ye = (y * 100 + 100) * H / h - 1;
      long long red = 0, green = 0, blue = 0, S = 0;
      for (long long r = ys / 100; r <= ye / 100; ++r) {
        for (long long c = xs / 100; c <= xe / 100; ++c) {
          const long long weight = Weight(c, xs, xe) * Weight(r, ys, ye);
          const std::uint32_t p = source[static_cast<std::size_t>(r * W + c)];
          red += weight * Red(p);
          green += weight * Green(p);
          blue += weight * Blue(p);
          S += weight;
        }
      }
      reduced[static_cast<std::size_t>(y * w + x)] =
          Pack(static_cast<int>(red / S), static_cast<int>(green / S), static_cast<int>(blue / S));
    }
  }

  static const int kKernel[3][3] = {{1, 2, 1}, {2, 0, 2}, {1, 2, 1}};
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const std::uint32_t P = reduced[static_cast<std::size_t>(y) * w + x];
      int outRed = Red(P), outGreen = Green(P), outBlue = Blue(P);
      if (x != 0 && x != w - 1 && y != 0 && y != h - 1) {
        int sumRed = 0, sumGreen = 0, sumBlue = 0;
        for (int dy = -1; dy <= 1; ++dy)
          for (int dx = -1; dx <= 1; ++dx) {
            const std::uint32_t q = reduced[static_cast<std::size_t>(y + dy) * w + (x + dx)];
            const int k = kKernel[dy + 1][dx + 1];
            sumRed += k * Red(q);
            sumGreen += k * Green(q);
            sumBlue += k * Blue(q);
          }
        const int Rb = sumRed / 12, Gb = sumGreen / 12, Bb = sumBlue / 12;
        const int L0 = (28 * Red(P) + 77 * Green(P) + 151 * Blue(P)) / 255;
        const int Lb = (28 * Rb + 77 * Gb + 151 * Bb) / 255;
        const int Lnew = L0 - (Lb - L0) / 2;  // C++ division truncates toward zero
        if (L0 == 0) {
          outRed = outGreen = outBlue = 0;
        } else {
          const auto scale = [&](int C0) {
            const int v = C0 * Lnew / L0;
            return v < 0 ? 0 : (v > 255 ? 255 : v);
          };
          outRed = scale(Red(P));
          outGreen = scale(Green(P));
          outBlue = scale(Blue(P));
        }
      }
      std::uint8_t* o = image.Row(y) + 3 * x;
      o[0] = static_cast<std::uint8_t>(outBlue);
      o[1] = static_cast<std::uint8_t>(outGreen);
      o[2] = static_cast<std::uint8_t>(outRed);
    }
  }
  // The width first, then the height, each keeping the top-left content.
  image.SetSize(w, H);
  image.SetSize(w, h);
  return StepResult::Ok;
}

}  // namespace phototrim::testing
