// Icons drawn from their vectors at the size each screen needs, so that no picture is enlarged.
#pragma once

#include <functional>

#include <QIcon>
#include <QImage>

namespace phototrim::app {

// Draws a square picture `pixels` wide and high.
using PictureDrawing = std::function<QImage(int pixels)>;

// An icon whose pixmaps are drawn for the size and device pixel ratio asked. `disabled` draws the
// look of a disabled button; without it the style derives that look from the normal drawing, as it
// does for any icon.
QIcon DrawnIcon(PictureDrawing normal, PictureDrawing disabled = {});

}  // namespace phototrim::app
