// The window's fixed texts: the application title and the caption every message box carries.
#pragma once

namespace phototrim::app {

// The ninth character is U+FF0D FULLWIDTH HYPHEN-MINUS, not the prolonged sound mark U+30FC.
inline constexpr char kApplicationTitle[] = "写真トリミングツ－ル";
// The first ツ－ル with U+FF0D, the ツール before the closing bracket with U+30FC; full-width brackets.
inline constexpr char kMessageCaption[] = "写真トリミングツ－ル（カルネラ付属ツール）";

// Fonts of the window (proportional Gothic), the size buttons (fixed-pitch Gothic, so their captions
// line up in columns) and the splash line (proportional Mincho), from Debian's fonts-ipafont packages.
inline constexpr char kWindowFontFamily[] = "IPAPGothic";
inline constexpr char kFixedFontFamily[] = "IPAGothic";
inline constexpr char kSplashFontFamily[] = "IPAPMincho";
inline constexpr int kFontPixels = 12;

}  // namespace phototrim::app
