// The pictures of the window's buttons, drawn by code on transparent ground.
#pragma once

#include <QImage>

namespace phototrim::app {

QImage ClosedFolderPicture();   // 16 x 16, the folder buttons BitBtn8 and BitBtn1
QImage NewFolderPicture();      // 16 x 16, a folder with a sparkle, BitBtn4
QImage TickPicture();           // 18 x 18 green tick, BitBtn2
QImage DisabledTickPicture();   // 18 x 18 grey outline tick, BitBtn2 while disabled
QImage CrossPicture();          // 32 x 32 red cross, BitBtn3

}  // namespace phototrim::app
