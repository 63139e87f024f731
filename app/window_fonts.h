// The window's faces at 12 pixels, drawn crisp as a bitmap font is.
#pragma once

#include <QFont>

namespace phototrim::app {

// Before the application object exists: FreeType's own hinter for the window's faces. The IPA
// faces' built-in hints squeeze a small Latin "m" into four pixels, where its three stems run
// together; the automatic hinter keeps them apart, as a bitmap font draws them.
void PrepareWindowFonts();

// A face of the window at 12 pixels, without antialiasing (grey smudges for the thin strokes of
// "mm" at this size) and hinted vertically only, so that every advance stays the design's and the
// pixel layout holds.
QFont WindowFont(const char* family, QFont::StyleHint hint);

}  // namespace phototrim::app
