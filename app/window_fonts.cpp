// The window's faces: a fontconfig rule for their hinting, and the 12-pixel fonts made from them.
#include "app/window_fonts.h"

#include <string>

#include <fontconfig/fontconfig.h>

#include "app/app_texts.h"

namespace phototrim::app {

void PrepareWindowFonts() {
  // The system's configuration (the user's included) is loaded first: the rule is added to it, and
  // Qt then matches its fonts with that configuration.
  if (!FcInit()) return;
  std::string rules = "<?xml version=\"1.0\"?><fontconfig>";
  for (const char* family : {kWindowFontFamily, kFixedFontFamily, kSplashFontFamily})
    rules += std::string("<match target=\"font\"><test name=\"family\"><string>") + family +
             "</string></test><edit name=\"autohint\" mode=\"assign\"><bool>true</bool></edit></match>";
  rules += "</fontconfig>";
  FcConfigParseAndLoadFromMemory(FcConfigGetCurrent(), reinterpret_cast<const FcChar8*>(rules.c_str()), FcFalse);
}

QFont WindowFont(const char* family, QFont::StyleHint hint) {
  QFont font(QString::fromUtf8(family));
  font.setPixelSize(kFontPixels);
  font.setStyleHint(hint, QFont::NoAntialias);
  font.setHintingPreference(QFont::PreferVerticalHinting);
  return font;
}

}  // namespace phototrim::app
