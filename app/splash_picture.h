// The splash picture: an evening scene at a mountain lake with the program's title, made by code.
#pragma once

#include <QImage>

namespace phototrim::app {

inline constexpr int kSplashWidth = 800;
inline constexpr int kSplashHeight = 600;

// Renders the 800 x 600 picture; the same every time (fixed seeds). Needs an application object for the title's font.
// On a scaled screen it is drawn with `devicePixelRatio` pixels to each of its own, not enlarged.
QImage SplashPicture(qreal devicePixelRatio = 1.0);

}  // namespace phototrim::app
