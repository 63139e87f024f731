// The window's folder commands: choosing the input and output folders, dropped folders, and the
// subfolder command. Connected to their buttons already; what they do comes with the folder picker.
#include <QUrl>

#include "app/Unit1.h"

namespace phototrim::app {

void TForm1::BitBtn8Click() {}

void TForm1::BitBtn1Click() {}

void TForm1::BitBtn4Click() {}

void TForm1::WMDropFiles(const QList<QUrl>& /*urls*/) {}

}  // namespace phototrim::app
