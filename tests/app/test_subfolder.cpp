// The subfolder command フォルダ作成: its name dialog, its checks in their order, and the folder it makes.
#include <gtest/gtest.h>

#include <filesystem>

#include <QApplication>
#include <QDialogButtonBox>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>

#include "app/dialogs.h"
#include "folder_fixture.h"
#include "folders/subfolder_name.h"

namespace phototrim {
namespace {

using testing::FolderWindow;
using testing::ListFilesBelow;
namespace fs = std::filesystem;

constexpr char kEmpty[] = "文字列が入力されていません。";
constexpr char kForbidden[] = "不正な記号が含まれています。";
constexpr char kTooLong[] = "フォルダ名が2040文字を超えています。";
std::string Exists(const std::string& path) { return "出力先フォルダが既に存在しています。\n" + path; }
std::string NotCreated(const std::string& path) { return "出力先フォルダが作成出来ませんでした。\n" + path; }
std::string Repeat(const std::string& text, int times) {
  std::string result;
  for (int i = 0; i < times; ++i) result += text;
  return result;
}

class Subfolder : public FolderWindow {
 protected:
  void SetUp() override {
    FolderWindow::SetUp();
    testing::MakeFolders(out);
    PickOutput(out);
    form->StatusBar1->showMessage(QStringLiteral("status"));
    form->Memo1->setPlainText(QStringLiteral("memo"));
  }
  // A click on フォルダ作成 with `name` typed and OK chosen; the message it gave, if any.
  std::string Create(const std::string& name) {
    dialogs.boxes.clear();
    dialogs.texts.push_back(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
    form->BitBtn4->click();
    const auto notices = Notices();
    EXPECT_LE(notices.size(), 1u);
    return notices.empty() ? std::string() : notices.front();
  }
  // Nothing but the message: the output folder, status line and memo as they were.
  void ExpectUnchanged(const std::string& outputFolder) {
    EXPECT_EQ(OutputFolder(), outputFolder);
    EXPECT_EQ(Status(), "status");
    EXPECT_EQ(MemoLines(), std::vector<std::string>{"memo"});
  }
  const std::string out = folder / "out";
};

TEST_F(Subfolder, NameDialogHasItsCaptionPromptAndLimit) {
  Create("2024");
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_EQ(dialogs.boxes[0].title, "サブフォルダの作成");
  EXPECT_EQ(dialogs.boxes[0].text, "作成するサブフォルダ名");
  EXPECT_EQ(dialogs.nameMaxLength, 255);
}

TEST_F(Subfolder, NewFolderBecomesTheOutputFolderAndTheNextBase) {
  EXPECT_EQ(Create("2024"), "");
  EXPECT_TRUE(fs::is_directory(out + "/2024"));
  ExpectUnchanged(out + "/2024/");
  const std::string cwd = CurrentFolder();
  EXPECT_EQ(Create("2024"), "");
  ExpectUnchanged(out + "/2024/2024/");
  EXPECT_EQ(cwd, CurrentFolder()) << "success leaves the current folder where it was";

  PickOutput(out + "/2024");
  EXPECT_EQ(Create("2024"), Exists(out + "/2024/2024"));
  EXPECT_EQ(dialogs.boxes.back().title, form->MessageCaption.toStdString());
  ExpectUnchanged(out + "/2024/");
  EXPECT_EQ(CurrentFolder(), out + "/2024/2024") << "the existence test enters the folder and stays there";
  EXPECT_EQ(Create("."), Exists(out + "/2024/."));
}

TEST_F(Subfolder, EmptyNameAndForbiddenCharactersAreRefused) {
  EXPECT_EQ(Create(""), kEmpty);
  for (const char c : std::string("<>'\"=?*;:]")) EXPECT_EQ(Create(std::string("a") + c + "b"), kForbidden) << c;
  ExpectUnchanged(out + "/");
  EXPECT_EQ(ListFilesBelow(out), std::vector<std::string>{}) << "nothing made";
}

TEST_F(Subfolder, CharactersOutsideTheListPass) {
  // Backslash and opening bracket are ordinary name characters here; 写真 is six bytes of 0x80 and up.
  for (const std::string name : {"a\\b", "[x", "写真", "   "}) {
    SCOPED_TRACE(name);
    PickOutput(out);
    EXPECT_EQ(Create(name), "");
    EXPECT_TRUE(fs::is_directory(out + "/" + name));
    EXPECT_EQ(OutputFolder(), out + "/" + name + "/") << "spaces kept as typed";
  }
}

TEST_F(Subfolder, SlashMakesEveryLevelAndTheDeepestBecomesTheOutputFolder) {
  EXPECT_EQ(Create("2024/05/01"), "");
  EXPECT_TRUE(fs::is_directory(out + "/2024/05/01"));
  EXPECT_EQ(OutputFolder(), out + "/2024/05/01/");
}

TEST_F(Subfolder, LengthCountsBytesOfBaseAndNameUpTo2040) {
  // A base of exactly 1800 bytes, made of folders of at most 200 bytes each.
  std::string deep = folder.Path();
  while (deep.size() < 1799) {
    deep += '/';
    deep.append(std::min<std::size_t>(200, 1799 - deep.size()), 'd');
  }
  ASSERT_EQ(deep.size(), 1799u);
  testing::MakeFolders(deep);
  PickOutput(deep);
  const std::string base = deep + "/";
  ASSERT_EQ(OutputFolder(), base);

  const std::string tooLong(241, 'n');
  EXPECT_EQ(Create(tooLong), kTooLong);
  EXPECT_EQ(Create(Repeat("写", 80) + "n"), kTooLong) << "81 characters, 241 bytes";
  EXPECT_EQ(Create(tooLong + "?"), kForbidden) << "characters before length";
  testing::MakeFolders(base + tooLong);
  EXPECT_EQ(Create(tooLong), kTooLong) << "length before the file system";
  EXPECT_EQ(OutputFolder(), base);
  EXPECT_EQ(Create(std::string(240, 'n')), "");
  EXPECT_TRUE(fs::is_directory(base + std::string(240, 'n')));
  // 2041 bytes: more than the field shows, all of it kept for the run.
  EXPECT_EQ(OutputFolder(), base + std::string(240, 'n') + "/");
}

TEST_F(Subfolder, ExistingFileOfThatNameCannotBeMadeAFolder) {
  testing::WriteText(out + "/2024", "");
  EXPECT_EQ(Create("2024"), NotCreated(out + "/2024"));
  ExpectUnchanged(out + "/");
}

TEST_F(Subfolder, CancelChangesNothing) {
  dialogs.texts.push_back(QString());  // キャンセル
  form->BitBtn4->click();
  EXPECT_EQ(dialogs.boxes.size(), 2u) << "the picker of SetUp and the name dialog";
  ExpectUnchanged(out + "/");
  EXPECT_EQ(ListFilesBelow(out), std::vector<std::string>{});
}

TEST(SubfolderName, UsesAtMost2000BytesAndNeverHalfACharacter) {
  EXPECT_EQ(folders::UsedNameBytes(std::string(2001, 'a')), std::string(2000, 'a'));
  // 写 is three bytes: 1998 + 3 would end inside it at 2000.
  const std::string name = std::string(1998, 'a') + "写写";
  EXPECT_EQ(folders::UsedNameBytes(name), std::string(1998, 'a'));
  EXPECT_EQ(folders::UsedNameBytes(std::string(1997, 'a') + "写x"), std::string(1997, 'a') + "写");
}

TEST(SubfolderName, RealNameDialogIsPlainWithLimitOkAndCancel) {
  app::QtDialogs real;
  QString seenTitle, seenLabel, okText, cancelText;
  int limit = 0;
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    seenTitle = dialog->windowTitle();
    seenLabel = dialog->labelText();
    okText = dialog->okButtonText();
    cancelText = dialog->cancelButtonText();
    auto* edit = dialog->findChild<QLineEdit*>();
    ASSERT_NE(edit, nullptr);
    limit = edit->maxLength();
    EXPECT_TRUE(edit->text().isEmpty());
    edit->setText(QStringLiteral("  2024 "));
    dialog->accept();
  });
  const auto text = real.GetText(QStringLiteral("サブフォルダの作成"), QStringLiteral("作成するサブフォルダ名"), 255);
  EXPECT_EQ(text, QStringLiteral("  2024 "));
  EXPECT_EQ(seenTitle, QStringLiteral("サブフォルダの作成"));
  EXPECT_EQ(seenLabel, QStringLiteral("作成するサブフォルダ名"));
  EXPECT_EQ(okText, QStringLiteral("OK"));
  EXPECT_EQ(cancelText, QStringLiteral("キャンセル"));
  EXPECT_EQ(limit, 255);
}

}  // namespace
}  // namespace phototrim
