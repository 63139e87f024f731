// The main window's folder commands, worked on the window's FolderHost side. The window's handlers
// (TForm1::BitBtn8Click and the others) are these commands.
#pragma once

#include <string>

#include <QList>

#include "folders/folder_host.h"

class QUrl;

namespace phototrim::folders {

// The input folder's picker: the chosen folder becomes the input folder and is scanned.
void ChooseInputFolder(FolderHost& window);
// The output folder's picker: the chosen folder becomes the output folder.
void ChooseOutputFolder(FolderHost& window);
// A drop on the window: its first item becomes the input folder, scanned first.
void TakeDroppedFolder(FolderHost& window, const QList<QUrl>& urls);
// フォルダ作成: a new folder below the output folder, named in the name dialog, becomes the output folder.
void MakeSubfolder(FolderHost& window);
// The folder statistics of a path: its JPEG files listed in the memo, the window's counters set.
void ScanFolder(FolderHost& window, const std::string& path);

}  // namespace phototrim::folders
