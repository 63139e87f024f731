// The application icon: a photograph in a film frame crossed by red crop lines, drawn at any size.
#pragma once

#include <QIcon>
#include <QImage>

namespace phototrim::app {

QImage ApplicationIconImage(int size);
// The icon at 16, 32, 48 and 64 pixels, for the taskbar and the window manager.
QIcon ApplicationIcon();

}  // namespace phototrim::app
