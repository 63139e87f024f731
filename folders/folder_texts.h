// The fixed texts of the folder commands: the status line of a scan, the name dialog and the messages.
#pragma once

#include "trim/messages.h"

namespace phototrim::folders {

// The spacing is part of the text: one space before each number, two more before 全, three before JPEG.
inline constexpr char kFolderStatus[] = "サブフォルダ数 %d  全ファイル数 %d   JPEGファイル数 %d";

using text::kInputFolderUnusable;  // phototrim-batch refuses such a folder with the same words
using text::kOutputFolderUnusable;

inline constexpr char kNameDialogTitle[] = "サブフォルダの作成";
inline constexpr char kNameDialogPrompt[] = "作成するサブフォルダ名";
inline constexpr int kNameDialogMaxCharacters = 255;

inline constexpr char kNameEmpty[] = "文字列が入力されていません。";
inline constexpr char kNameForbiddenCharacter[] = "不正な記号が含まれています。";
inline constexpr char kNameTooLong[] = "フォルダ名が2040文字を超えています。";
inline constexpr char kFolderExists[] = "出力先フォルダが既に存在しています。\n%s";
inline constexpr char kFolderNotCreated[] = "出力先フォルダが作成出来ませんでした。\n%s";

}  // namespace phototrim::folders
