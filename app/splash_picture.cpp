// The splash picture: sky, sun, clouds, three mountain ridges, pines, a lake that mirrors them, a dark
// shore, then a trim frame and the title over it. Value noise with fixed seeds makes it repeatable.
#include "app/splash_picture.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <thread>
#include <vector>

#include <QFont>
#include <QPainter>
#include <QPainterPath>

#include "app/app_texts.h"

namespace phototrim::app {

namespace {

constexpr int kHorizon = 380;             // the far shore of the lake; the reflection mirrors about it
constexpr float kSunX = 590, kSunY = 196;  // low over the ridges, its glitter path runs down the lake

// Runs `paintRow(y, row)` for the rows [first, end) of `image`, shared among the processor's cores:
// at 200 % the picture has four times the pixels, and the splash must not keep the user waiting.
// Each row is painted by one thread only; the row pointers are taken before the threads start.
template <typename PaintRow>
void ForEachRow(QImage& image, int first, int end, const PaintRow& paintRow) {
  uchar* bits = image.bits();
  const qsizetype stride = image.bytesPerLine();
  const int threads = int(std::clamp(std::thread::hardware_concurrency(), 1u, 8u));
  auto share = [&](int start) {
    for (int y = first + start; y < end; y += threads) paintRow(y, reinterpret_cast<QRgb*>(bits + y * stride));
  };
  std::vector<std::thread> helpers;
  for (int start = 1; start < threads; ++start) helpers.emplace_back(share, start);
  share(0);
  for (std::thread& helper : helpers) helper.join();
}

struct Rgb {
  float r, g, b;
};
Rgb Mix(Rgb a, Rgb b, float t) { return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t}; }
Rgb Scale(Rgb a, float f) { return {a.r * f, a.g * f, a.b * f}; }
Rgb Add(Rgb a, Rgb b) { return {a.r + b.r, a.g + b.g, a.b + b.b}; }
Rgb Hex(std::uint32_t v) {
  return {float((v >> 16) & 0xff) / 255.0f, float((v >> 8) & 0xff) / 255.0f, float(v & 0xff) / 255.0f};
}
QRgb ToPixel(Rgb c) {
  auto channel = [](float v) { return std::clamp(int(std::lround(v * 255.0f)), 0, 255); };
  return qRgb(channel(c.r), channel(c.g), channel(c.b));
}
Rgb FromPixel(QRgb p) { return {qRed(p) / 255.0f, qGreen(p) / 255.0f, qBlue(p) / 255.0f}; }

float SmoothStep(float a, float b, float x) {
  const float t = std::clamp((x - a) / (b - a), 0.0f, 1.0f);
  return t * t * (3 - 2 * t);
}

// Lattice value noise: a hash of the integer corners, blended with a smooth curve.
float Hash(int x, int y, std::uint32_t seed) {
  std::uint32_t h = seed * 0x9E3779B9u ^ std::uint32_t(x) * 0x85EBCA6Bu ^ std::uint32_t(y) * 0xC2B2AE35u;
  h ^= h >> 15;
  h *= 0x2C1B3C6Du;
  h ^= h >> 12;
  h *= 0x297A2D39u;
  h ^= h >> 15;
  return float(h & 0xFFFFFF) / float(0x1000000);
}
float Noise(float x, float y, std::uint32_t seed) {
  const int ix = int(std::floor(x)), iy = int(std::floor(y));
  const float fx = x - ix, fy = y - iy;
  const float sx = fx * fx * (3 - 2 * fx), sy = fy * fy * (3 - 2 * fy);
  const float a = Hash(ix, iy, seed), b = Hash(ix + 1, iy, seed);
  const float c = Hash(ix, iy + 1, seed), d = Hash(ix + 1, iy + 1, seed);
  return a + (b - a) * sx + (c - a) * sy + (a - b - c + d) * sx * sy;
}
// Fractal sum of octaves, each half as strong and twice as fine; about 0..1.
float Fbm(float x, float y, std::uint32_t seed, int octaves) {
  float sum = 0, amplitude = 0.5f, norm = 0;
  for (int i = 0; i < octaves; ++i) {
    sum += Noise(x, y, seed + std::uint32_t(i) * 101u) * amplitude;
    norm += amplitude;
    x *= 2.03f;
    y *= 2.03f;
    amplitude *= 0.5f;
  }
  return sum / norm;
}
// Ridged noise for mountain crests: sharp peaks where plain noise crosses its middle.
float Ridge(float x, std::uint32_t seed) {
  float sum = 0, amplitude = 0.5f, norm = 0;
  for (int i = 0; i < 6; ++i) {
    const float n = 1.0f - std::fabs(Noise(x, 0.5f, seed + std::uint32_t(i) * 57u) * 2.0f - 1.0f);
    sum += n * n * amplitude;
    norm += amplitude;
    x *= 2.1f;
    amplitude *= 0.48f;
  }
  return sum / norm;
}

Rgb SkyAt(float x, float y) {
  const float t = y / kHorizon;
  // Deep evening blue above, violet in the middle, warm light at the horizon.
  Rgb sky = t < 0.45f ? Mix(Hex(0x14214a), Hex(0x5a4f86), t / 0.45f)
          : t < 0.8f  ? Mix(Hex(0x5a4f86), Hex(0xe98a6a), (t - 0.45f) / 0.35f)
                      : Mix(Hex(0xe98a6a), Hex(0xffd08c), (t - 0.8f) / 0.2f);
  const float d = std::hypot(x - kSunX, (y - kSunY) * 1.25f);
  sky = Add(sky, Scale(Hex(0xffb060), 0.55f * std::exp(-d / 55.0f) + 0.25f * std::exp(-d / 220.0f)));
  const float r = std::hypot(x - kSunX, y - kSunY);  // the disc is round; only its glow is flattened
  if (r < 24) sky = Mix(sky, Hex(0xfff6dc), SmoothStep(24, 21, r));

  // Long evening clouds, lit warm from below near the horizon and dark against the upper sky.
  const float n = Fbm(x / 210.0f, y / 38.0f, 7, 5);
  const float cover = SmoothStep(0.52f, 0.72f, n) * SmoothStep(330, 120, y);
  const Rgb lit = Mix(Hex(0x3a3560), Hex(0xf29a7c), SmoothStep(40, 300, y));
  const float rim = std::exp(-std::hypot(x - kSunX, y - kSunY) / 160.0f);
  return Mix(sky, Add(lit, Scale(Hex(0xffc080), rim * 0.5f)), cover * 0.85f);
}

// Every painter works in the picture's own 800 x 600 units; the pixel loops walk the image's pixels
// (`scale` of them to a unit) and compute each at its place in those units.
void PaintSkyAndRidges(QImage& image, float scale) {
  struct RidgeLayer {
    float base, height, scale;
    std::uint32_t seed;
    Rgb color;
    float haze;
  };
  // Far to near: each nearer ridge is darker, bluer and less veiled by the evening haze.
  const std::array<RidgeLayer, 3> ridges = {{{318, 110, 260, 11, Hex(0x6a5a8c), 0.35f},
                                            {350, 105, 190, 23, Hex(0x463f6a), 0.3f},
                                            {372, 70, 120, 37, Hex(0x23243c), 0.12f}}};
  const int width = image.width(), horizon = int(std::lround(kHorizon * scale));
  std::vector<std::array<float, 3>> tops(static_cast<std::size_t>(width));
  for (int px = 0; px < width; ++px)
    for (std::size_t i = 0; i < ridges.size(); ++i)
      tops[px][i] = ridges[i].base - ridges[i].height * Ridge(px / scale / ridges[i].scale + 3.7f * i, ridges[i].seed);

  ForEachRow(image, 0, horizon, [&](int py, QRgb* row) {
    const float y = py / scale;
    for (int px = 0; px < width; ++px) {
      const float x = px / scale;
      Rgb c = SkyAt(x, y);
      for (std::size_t i = 0; i < ridges.size(); ++i) {
        const float top = tops[px][i];
        if (y < top - 1) continue;
        const float edge = std::clamp((y - top) * scale + 1, 0.0f, 1.0f);  // one pixel of antialiasing
        const float below = (y - top) / 80.0f;
        // Rock and forest texture, lighter on the crests where the low sun reaches.
        const float texture = 0.82f + 0.3f * Fbm(x / 14.0f, y / 9.0f, ridges[i].seed + 5, 4);
        Rgb rock = Scale(ridges[i].color, texture * (1.0f + 0.25f * std::exp(-below * 3.0f)));
        rock = Mix(rock, SkyAt(x, float(kHorizon - 70)), ridges[i].haze * (1.0f - 0.5f * SmoothStep(0, 1, below)));
        c = Mix(c, rock, edge);
      }
      row[px] = ToPixel(c);
    }
  });
}

// Pines along the left shore, dark against the ridges; drawn before the lake so the lake mirrors them.
void PaintPines(QImage& image, float scale) {
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(scale, scale);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x0c, 0x10, 0x18));
  for (int i = 0; i < 17; ++i) {
    const float x = 6.0f + i * 13.5f + Hash(i, 1, 91) * 9.0f;
    const float height = (i < 9 ? 150.0f : 150.0f - (i - 8) * 13.0f) * (0.7f + 0.5f * Hash(i, 2, 91));
    const float width = height * 0.3f;
    QPainterPath tree;
    tree.setFillRule(Qt::WindingFill);  // the tiers overlap; their union is the tree
    const int tiers = 7;
    for (int t = 0; t < tiers; ++t) {
      const float top = kHorizon + 3 - height + t * height * 0.8f / tiers;
      const float bottom = top + height * 0.3f;
      const float half = width * (0.3f + 0.7f * (t + 1) / tiers) / 2;
      // Drooping branches: the tier's lower edge sags between its tips.
      QPolygonF tier;
      tier << QPointF(x, top) << QPointF(x + half, bottom) << QPointF(x + half * 0.4f, bottom - 3)
           << QPointF(x, bottom - 1) << QPointF(x - half * 0.4f, bottom - 3) << QPointF(x - half, bottom);
      tree.addPolygon(tier);
    }
    tree.addRect(QRectF(x - 1.2, kHorizon - height * 0.2, 2.4, height * 0.2 + 3));
    p.drawPath(tree.simplified());
  }
}

void PaintLake(QImage& image, float scale) {
  const int width = image.width(), height = image.height(), horizon = int(std::lround(kHorizon * scale));
  const uchar* bits = image.constBits();
  const qsizetype stride = image.bytesPerLine();
  // Rows below the horizon read only rows above it, which are finished.
  ForEachRow(image, horizon, height, [&](int py, QRgb* row) {
    const float y = py / scale;
    const float depth = float(py - horizon) / float(height - horizon);
    const int mirrored = std::max(0, 2 * horizon - py - 1);
    const auto* source = reinterpret_cast<const QRgb*>(bits + mirrored * stride);
    for (int px = 0; px < width; ++px) {
      const float x = px / scale;
      // Ripples: sideways shifts that grow toward the viewer, broken up by noise.
      const float wave = std::sin(y * 0.9f + Fbm(x / 70.0f, y / 5.0f, 53, 3) * 9.0f);
      const int sx = std::clamp(px + int(std::lround(wave * (1.0f + depth * 7.0f) * scale)), 0, width - 1);
      Rgb c = Mix(FromPixel(source[sx]), Hex(0x0f1c34), 0.22f + depth * 0.35f);
      // The sun's glitter path: bright broken streaks in a band that widens toward the shore.
      const float band = std::exp(-std::pow((x - kSunX) / (14.0f + depth * 110.0f), 2.0f));
      const float glint = SmoothStep(0.62f, 0.8f, Fbm(x / 9.0f, y / 1.6f, 71, 3));
      c = Add(c, Scale(Hex(0xffc27a), band * glint * 0.9f));
      // Faint calm lines across the water.
      c = Scale(c, 0.94f + 0.1f * Noise(x / 300.0f, y / 1.3f, 83));
      row[px] = ToPixel(c);
    }
  });
}

// The near shore: a dark bank with reeds, so the red text line at the foot reads well.
void PaintShore(QImage& image, float scale) {
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(scale, scale);
  QPainterPath bank;
  bank.moveTo(0, kSplashHeight);
  for (int x = 0; x <= kSplashWidth; x += 4)
    bank.lineTo(x, 548 - 26 * Fbm(x / 120.0f, 0.5f, 61, 4) - (x < 260 ? (260 - x) * 0.05f : 0));
  bank.lineTo(kSplashWidth, kSplashHeight);
  bank.closeSubpath();
  QLinearGradient earth(0, 520, 0, kSplashHeight);
  earth.setColorAt(0, QColor(0x10, 0x14, 0x12));
  earth.setColorAt(1, QColor(0x03, 0x04, 0x05));
  p.setPen(Qt::NoPen);
  p.setBrush(earth);
  p.drawPath(bank);

  p.setPen(QPen(QColor(0x0a, 0x0e, 0x0c), 1.3, Qt::SolidLine, Qt::RoundCap));
  for (int i = 0; i < 260; ++i) {
    const float x = Hash(i, 3, 17) * kSplashWidth;
    const float foot = 560 - 20 * Fbm(x / 120.0f, 0.5f, 61, 4);
    const float height = 14 + 42 * Hash(i, 4, 17) * Hash(i, 5, 17);
    const float lean = (Hash(i, 6, 17) - 0.5f) * 12;
    QPainterPath reed;
    reed.moveTo(x, foot);
    reed.quadTo(x + lean * 0.2f, foot - height * 0.6f, x + lean, foot - height);
    p.drawPath(reed);
  }
}

// A photograph's finish: darker corners and a fine grain.
void Finish(QImage& image, float scale) {
  ForEachRow(image, 0, image.height(), [&](int py, QRgb* row) {
    for (int px = 0; px < image.width(); ++px) {
      const float dx = (px / scale - 400.0f) / 400.0f, dy = (py / scale - 300.0f) / 300.0f;
      const float vignette = 1.0f - 0.28f * SmoothStep(0.35f, 1.5f, dx * dx + dy * dy);
      const float grain = (Hash(px, py, 97) - 0.5f) * 0.035f;  // grain of the screen's own pixels
      const Rgb c = FromPixel(row[px]);
      row[px] = ToPixel(Add(Scale(c, vignette), {grain, grain, grain}));
    }
  });
}

// Trim marks at the corners of an L-size frame (127 : 89) and the program's title inside it.
void PaintTitle(QImage& image, float scale) {
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(scale, scale);
  p.setRenderHint(QPainter::TextAntialiasing);
  const QRectF frame(400 - 321, 52, 642, 450);  // 642 / 450 = 1.427, the ratio of L
  p.setPen(QPen(QColor(255, 255, 255, 190), 2.0));
  const float arm = 34;
  for (const QPointF corner : {frame.topLeft(), frame.topRight(), frame.bottomLeft(), frame.bottomRight()}) {
    const float sx = corner.x() < 400 ? 1 : -1, sy = corner.y() < 300 ? 1 : -1;
    p.drawLine(corner, corner + QPointF(sx * arm, 0));
    p.drawLine(corner, corner + QPointF(0, sy * arm));
  }

  QFont title(QString::fromUtf8(kSplashFontFamily));
  title.setPixelSize(46);
  title.setLetterSpacing(QFont::AbsoluteSpacing, 3);
  p.setFont(title);
  const QPointF at(frame.left() + 36, frame.top() + 84);
  p.setPen(QColor(0, 0, 0, 110));
  p.drawText(at + QPointF(2, 2), QString::fromUtf8(kApplicationTitle));
  p.setPen(QColor(0xff, 0xf8, 0xec));
  p.drawText(at, QString::fromUtf8(kApplicationTitle));

  p.setPen(QPen(QColor(255, 248, 236, 200), 1.0));
  p.drawLine(at + QPointF(2, 18), at + QPointF(300, 18));
  QFont subtitle(QString::fromUtf8(kWindowFontFamily));
  subtitle.setPixelSize(15);
  subtitle.setLetterSpacing(QFont::AbsoluteSpacing, 4);
  p.setFont(subtitle);
  p.drawText(at + QPointF(4, 42), QStringLiteral("PHOTO TRIM"));
}

}  // namespace

QImage SplashPicture(qreal devicePixelRatio) {
  const float scale = float(std::max<qreal>(devicePixelRatio, 1.0));
  QImage image(int(std::lround(kSplashWidth * scale)), int(std::lround(kSplashHeight * scale)), QImage::Format_RGB32);
  PaintSkyAndRidges(image, scale);
  PaintPines(image, scale);
  PaintLake(image, scale);
  PaintShore(image, scale);
  Finish(image, scale);
  PaintTitle(image, scale);
  image.setDevicePixelRatio(scale);
  return image;
}

}  // namespace phototrim::app
