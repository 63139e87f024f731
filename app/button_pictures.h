// The pictures of the window's buttons, drawn by code on transparent ground.
#pragma once

#include <QImage>

namespace phototrim::app {

// Each is designed at the size its button shows it; `pixels` draws it larger for a scaled screen.
QImage ClosedFolderPicture(int pixels = 16);  // the folder buttons BitBtn8 and BitBtn1
QImage NewFolderPicture(int pixels = 16);     // a folder with a sparkle, BitBtn4
QImage TickPicture(int pixels = 18);          // green tick, BitBtn2
QImage DisabledTickPicture(int pixels = 18);  // grey outline tick, BitBtn2 while disabled
QImage CrossPicture(int pixels = 32);         // red cross, BitBtn3

}  // namespace phototrim::app
