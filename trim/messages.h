// Every text a run shows, word for word. Formats are printf formats and are used as they stand.
#pragma once

namespace phototrim::text {

// Start of a run.
inline constexpr char kNoInputFolder[] = "入力フォルダが指定されていません。";
inline constexpr char kNoOutputFolder[] = "出力フォルダが指定されていません。";
inline constexpr char kNoStepChosen[] = "縦横比変更か解像度縮小のどちらか１つはチェックしてください。";
inline constexpr char kFixedSizeNotPositive[] = "固定ﾋﾟｸｾﾙ寸法には1以上の整数を指定してください。";
inline constexpr char kNoJpegFiles[] = "入力フォルダにJPEGファイルが存在しません。";
// An input folder that cannot be entered: the window's folder picker refuses it, phototrim-batch too.
inline constexpr char kInputFolderUnusable[] = "入力フォルダの指定が無効か使用不能です。";
// An output folder that could never take a file: the window's folder picker refuses such a folder too.
inline constexpr char kOutputFolderUnusable[] = "出力フォルダの指定が無効か使用不能です。";
inline constexpr char kOutputFolderReadOnly[] = "出力フォルダは読み取り専用のため保存できません。";
// The same folder for both, whatever the spelling: the run would replace every original.
inline constexpr char kOutputIsInput[] =
    "出力フォルダが入力フォルダと同じです。\nこのまま実行すると元画像がすべて上書きされるため、別の出力フォルダを指定してください。";

// Questions; Yes stops the run.
inline constexpr char kAskVanished[] = "入力フォルダにJPEGファイルが存在しません。中断しますか？\n\n%s";
inline constexpr char kAskDecode[] = "JPEGファイルを読み込めませんでした。中断しますか？\n\n%s";
inline constexpr char kAskCrop[] = "JPEGファイルのトリミングが実行出来ませんでした。中断しますか？\n\n%s\n%s";
inline constexpr char kAskBadName[] = "JPEGファイルのファイル名が不正です。中断しますか？\n\n%s";
inline constexpr char kAskExisting[] = "既に同名のJPEGファイルが存在します。中断しますか？\n\n%s";
inline constexpr char kAskSave[] = "JPEGファイルの保存が出来ませんでした。中断しますか？\n\n%s";

// Memo lines.
inline constexpr char kMemoAborted[] = "中断";
inline constexpr char kMemoVanished[] = "JPEGファイルが存在しません";
inline constexpr char kMemoDecode[] = "JPEGファイルを読み込めません";
inline constexpr char kMemoSkipped[] = "320px×240px以下なのでスキップ";
inline constexpr char kMemoCrop[] = "トリミング失敗";
inline constexpr char kMemoNotReduced[] = "元画像が指定サイズより小さいので縮小は行われません";
inline constexpr char kMemoBadName[] = "ファイル名が不正";
inline constexpr char kMemoNameTooLong[] = "ファイル名が長すぎます";
inline constexpr char kMemoSave[] = "保存に失敗";

// Notices and status texts.
inline constexpr char kAbortedNotice[] = "中断しました。";
inline constexpr char kProgressStatus[] = "処理中...　%3d%%     %5d / %5d  エラー %4d   スキップ  %4d";
inline constexpr char kFinishedStatus[] = "作業が終了しました。保存ファイル数 %4d  エラー %4d   スキップ  %4d";
inline constexpr char kAbortedStatus[] = "作業を中断しました。保存ファイル数 %4d  エラー %4d   スキップ  %4d";

// Saving.
inline constexpr char kSaveNoFolder[] = "保存先フォルダが指定されていません。";
inline constexpr char kSaveCannotCreate[] = "保存先フォルダを作成出来ません。\n%s";
inline constexpr char kSaveFailed[] = "保存先フォルダを作成出来ません。";
// A write that failed in a folder that exists, with the reason.
inline constexpr char kSaveWriteFailedBecause[] = "JPEGファイルを書き込めませんでした。\n%s";

// Refusals of the high-quality reduction.
inline constexpr char kHqAspect[] = "比率が違うので高画質圧縮を中断しました。(幅 %d  高さ%d)";
inline constexpr char kHqSameSize[] = "画像サイズが同じなので高画質圧縮を中断しました。(幅 %d  高さ%d)";
inline constexpr char kHqSourceTooLarge[] =
    "元画像が大きすぎるので高画質圧縮を中断しました。(幅 %d  高さ%d)\n最大サイズは幅　%dpx　高さ%dpxです。";
inline constexpr char kHqTargetTooLarge[] =
    "縮小後画像が大きすぎるので高画質圧縮を中断しました。(幅 %d  高さ%d)\n最大サイズは幅　%dpx　高さ%dpxです。";
inline constexpr char kHqRatio[] = "縮小率が大きすぎるので高画質圧縮を中断しました。最大1/100です。";
inline constexpr char kHqEnlarge[] = "拡大なので高画質圧縮を中断しました。";

// Why a file failed, in the system's words or ours, for hosts that show it next to the question
// (libjpeg's own messages are passed on as they are).
inline constexpr char kReasonNotRegularFile[] = "通常のファイルではありません";
inline constexpr char kReasonEmptyFile[] = "空のファイルです";
inline constexpr char kReasonFileTooLarge[] = "ファイルが大きすぎます（1 GiB を超えています）";
inline constexpr char kReasonTooManyPixels[] = "画素数が多すぎます（%u×%u、最大 %llu 画素）";
inline constexpr char kReasonTooLittleData[] = "画素数に比べてデータが少なすぎます";
inline constexpr char kReasonTooManyScans[] = "スキャンが多すぎます（最大 %d）";
inline constexpr char kReasonComponentMissing[] = "データのない色成分があります";
inline constexpr char kReasonNoPicture[] = "画像を取り出せません";
// A HEIF file whose coded pictures are checked before libheif decodes them, and fail the check.
inline constexpr char kReasonHeifBoxes[] = "HEIF のボックスを読み取れません（%s）";
inline constexpr char kReasonHeifNoSize[] = "寸法（ispe）のない画像があります";
inline constexpr char kReasonHeifCodedSize[] = "符号化データの寸法（%llu×%llu）がファイルの示す寸法（%u×%u）を超えています";
inline constexpr char kReasonHeifStream[] = "符号化データを読み取れません（%s）";
inline constexpr char kReasonWouldReplaceOwnOutput[] =
    "この実行で先に保存したファイルを上書きすることになるため保存しませんでした（大文字と小文字を区別しない保存先では、大文字・小文字だけが違う名前は同じファイルです）";
inline constexpr char kReasonSizeLimit[] = "%dpx を超えるため処理できません（--no-size-limit で処理できます）";

// phototrim-batch: the log on stdout could not be written whole; the pictures are not concerned.
inline constexpr char kLogLost[] = "ログを標準出力に書き込めませんでした（保存したファイルには影響ありません）";

// Any failure the run did not foresee, such as memory running out.
inline constexpr char kOutOfMemory[] = "メモリが不足しているため処理を続けられません。\n\n%s";

}  // namespace phototrim::text
