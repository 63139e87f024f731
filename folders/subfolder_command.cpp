// The subfolder command フォルダ作成: a new folder below the output folder becomes the output folder.
#include "folders/folder_commands.h"
#include "folders/folder_texts.h"
#include "folders/subfolder_name.h"
#include "platform/file_system.h"
#include "platform/path_text.h"
#include "trim/format.h"

namespace phototrim::folders {

void MakeSubfolder(FolderHost& window) {
  const auto entered = window.AskText(QString::fromUtf8(kNameDialogTitle), QString::fromUtf8(kNameDialogPrompt),
                                      kNameDialogMaxCharacters);
  if (!entered) return;
  // Used as typed: leading and trailing spaces belong to the name.
  const std::string name = UsedNameBytes(entered->toUtf8().toStdString());
  const std::string base = SubfolderBase(window.OutputFolderPath());
  const auto tell = [&window](const std::string& message) {
    window.Notice(QString::fromUtf8(message.data(), static_cast<qsizetype>(message.size())));
  };
  switch (CheckSubfolderName(name, base)) {
    case NameCheck::Empty: return tell(kNameEmpty);
    case NameCheck::ForbiddenCharacter: return tell(kNameForbiddenCharacter);
    case NameCheck::TooLong: return tell(kNameTooLong);
    case NameCheck::Ok: break;
  }
  // A '/' in the name makes nested folders; the folder creation makes every missing level.
  const std::string folder = base + name;
  // A NUL ends a path for the system: a name holding one could only reach a shorter folder.
  const bool nameFitsTheSystem = folder.find('\0') == std::string::npos;
  // Entering the folder is the test that it exists (and leaves it the current folder).
  if (nameFitsTheSystem && SetCurrentFolder(folder)) return tell(Format(kFolderExists, folder.c_str()));
  if (!nameFitsTheSystem || !CreateFolderTree(folder)) return tell(Format(kFolderNotCreated, folder.c_str()));
  window.ShowOutputFolder(EndsWithSeparator(folder) == 1 ? folder : folder + '/');
}

}  // namespace phototrim::folders
