// Choosing the input and output folders with the picker and by dropping, and the folder statistics.
#include <gtest/gtest.h>

#include <filesystem>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>

#include "app/dialogs.h"
#include "folder_fixture.h"
#include "folders/folder_statistics.h"
#include "folders/folder_texts.h"
#include "support/picture_files.h"
#include "trim/format.h"
#include "trim/messages.h"

namespace phototrim {
namespace {

using testing::FolderWindow;
using testing::WriteText;
using Kind = testing::ScriptedDialogs::Kind;
namespace fs = std::filesystem;

std::string Counts(int subfolders, int files, int jpegs) {
  return Format(folders::kFolderStatus, subfolders, files, jpegs);
}

class FolderChoice : public FolderWindow {
 protected:
  // a.jpg b.JPG c.Jpg d.jpeg e.txt: five files, three of them JPEG files by their name.
  std::string FiveFiles(const std::string& name) {
    const std::string path = folder / name;
    for (const char* file : {"a.jpg", "b.JPG", "c.Jpg", "d.jpeg", "e.txt"}) WriteText(path + "/" + file, "");
    return path;
  }
};

TEST(FolderStatusText, HasItsSpacingAndPlainNumbers) {
  EXPECT_EQ(folders::FolderStatusText({0, 5, 3}), "サブフォルダ数 0  全ファイル数 5   JPEGファイル数 3");
  EXPECT_EQ(folders::FolderStatusText({12, 3456, 789}), "サブフォルダ数 12  全ファイル数 3456   JPEGファイル数 789");
}

TEST(FolderPicker, RealPickerOffersFoldersOnlyFromHomeAndCancelGivesNothing) {
  app::QtDialogs real;
  bool seen = false;
  QTimer::singleShot(0, [&] {
    auto* picker = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(picker, nullptr);
    seen = true;
    EXPECT_EQ(picker->fileMode(), QFileDialog::Directory);
    EXPECT_TRUE(picker->testOption(QFileDialog::ShowDirsOnly));
    EXPECT_EQ(picker->directory().absolutePath(), QDir::homePath());
    picker->reject();
  });
  EXPECT_TRUE(real.GetFolder(QString()).isEmpty());
  EXPECT_TRUE(seen);
}

TEST_F(FolderChoice, PickedFolderGetsOneSeparatorIsEnteredAndScanned) {
  const std::string photos = FiveFiles("photos");
  PickInput(photos);
  EXPECT_EQ(InputFolder(), photos + "/");
  EXPECT_EQ(form->Edit1->text().toStdString(), photos + "/");
  EXPECT_EQ(CurrentFolder(), photos) << "entering the folder is the test that it can be used";
  EXPECT_EQ(Status(), Counts(0, 5, 3));
  EXPECT_EQ(MemoLines(), (std::vector<std::string>{photos + "/a.jpg", photos + "/b.JPG", photos + "/c.Jpg"}));
  EXPECT_EQ(form->workspace.Counters.JpegFileCount, 3);

  PickInput(photos + "/");
  EXPECT_EQ(InputFolder(), photos + "/") << "no second separator";

  form->CheckBox4->setChecked(true);  // the root's top level only
  PickInput("/");
  EXPECT_EQ(InputFolder(), "/");
  EXPECT_EQ(CurrentFolder(), "/");
  EXPECT_GT(form->workspace.Counters.SubfolderCount, 0);
  EXPECT_TRUE(Notices().empty());
}

TEST_F(FolderChoice, SubfolderSwitchDecidesWhetherSubfoldersAreEntered) {
  const std::string top = folder / "top";
  for (const char* file : {"t.jpg", "sub1/a.jpg", "sub2/b.jpg", "sub2/deep/c.jpg", "sub2/deep/d.txt"})
    WriteText(top + "/" + file, "");
  form->CheckBox4->setChecked(true);
  PickInput(top);
  EXPECT_EQ(Status(), Counts(2, 1, 1)) << "subfolders counted, not entered";
  EXPECT_EQ(MemoLines(), std::vector<std::string>{top + "/t.jpg"});

  form->CheckBox4->setChecked(false);
  EXPECT_EQ(Status(), Counts(2, 1, 1)) << "changing the switch does not scan again";
  PickInput(top);
  EXPECT_EQ(Status(), Counts(3, 5, 4));
  // Depth first: each subfolder's files where its entry stands among the names.
  EXPECT_EQ(MemoLines(), (std::vector<std::string>{top + "/sub1/a.jpg", top + "/sub2/b.jpg", top + "/sub2/deep/c.jpg",
                                                   top + "/t.jpg"}));
}

TEST_F(FolderChoice, HeifSwitchListsAndCountsHeifFilesBesideTheJpegOnes) {
  const std::string top = folder / "top";
  for (const char* file : {"a.jpg", "b.HEIC", "c.hif", "d.txt"}) WriteText(top + "/" + file, "");
  PickInput(top);
  EXPECT_EQ(Status(), Counts(0, 4, 1));
  form->CheckBox6->setChecked(true);
  PickInput(top);
  EXPECT_EQ(Status(), Counts(0, 4, 3));
  EXPECT_EQ(MemoLines(), (std::vector<std::string>{top + "/a.jpg", top + "/b.HEIC", top + "/c.hif"}));
}

TEST_F(FolderChoice, CancelledPickersChangeNothing) {
  const std::string photos = FiveFiles("photos");
  PickInput(photos);
  PickOutput(folder.Path());
  const std::string cwd = CurrentFolder();
  form->Memo1->appendPlainText(QStringLiteral("marker"));
  PickInput("");
  PickOutput("");
  EXPECT_EQ(InputFolder(), photos + "/");
  EXPECT_EQ(OutputFolder(), folder.Path() + "/");
  EXPECT_EQ(MemoLines().back(), "marker") << "no scan";
  EXPECT_EQ(Status(), Counts(0, 5, 3));
  EXPECT_EQ(CurrentFolder(), cwd);
  EXPECT_TRUE(Notices().empty());
  EXPECT_EQ(dialogs.boxes.size(), 4u) << "four pickers, nothing else";
}

TEST_F(FolderChoice, FolderThatCannotBeEnteredIsRefusedWithItsMessage) {
  const std::string photos = FiveFiles("photos");
  PickInput(photos);
  const std::string gone = folder / "gone";  // picked, then removed before it was used
  const std::string file = photos + "/e.txt";
  for (const std::string& path : {gone, file}) {
    SCOPED_TRACE(path);
    dialogs.boxes.clear();
    PickInput(path);
    PickOutput(path);
    EXPECT_EQ(Notices(), (std::vector<std::string>{"入力フォルダの指定が無効か使用不能です。",
                                                   "出力フォルダの指定が無効か使用不能です。"}));
    EXPECT_EQ(dialogs.boxes.back().title, form->MessageCaption.toStdString());
    EXPECT_EQ(InputFolder(), photos + "/");
    EXPECT_EQ(MemoLines().size(), 3u);
    EXPECT_EQ(Status(), Counts(0, 5, 3));
    EXPECT_EQ(OutputFolder(), "");
    EXPECT_FALSE(form->BitBtn4->isEnabled());
  }
}

TEST_F(FolderChoice, OutputFolderEnablesSubfolderCommandWithoutAScan) {
  const std::string photos = FiveFiles("photos");
  PickInput(photos);
  form->CheckBox4->setChecked(true);
  WriteText(folder / "out/x.jpg", "");
  PickOutput(folder / "out/");
  PickOutput(folder / "out");
  EXPECT_EQ(OutputFolder(), folder / "out/");
  EXPECT_TRUE(form->BitBtn4->isEnabled());
  EXPECT_EQ(MemoLines().size(), 3u);
  EXPECT_EQ(Status(), Counts(0, 5, 3));
  EXPECT_EQ(form->workspace.Counters.FileCount, 5);
}

TEST_F(FolderChoice, DroppedFolderIsTakenExactlyAsDroppedWhereverItLands) {
  const std::string photos = FiveFiles("photos");
  const std::string cwd = CurrentFolder();
  ASSERT_TRUE(Drop({photos}, form->Edit2));
  EXPECT_EQ(InputFolder(), photos) << "no separator added";
  EXPECT_EQ(Status(), Counts(0, 5, 3));
  EXPECT_EQ(MemoLines().front(), photos + "/a.jpg");
  EXPECT_EQ(CurrentFolder(), cwd) << "a drop is not entered";
  EXPECT_TRUE(OutputFolder().empty()) << "a drop never sets the output folder";

  ASSERT_TRUE(Drop({photos + "/"}, form->Label3));
  EXPECT_EQ(InputFolder(), photos + "/");

  const std::string other = FiveFiles("other");
  ASSERT_TRUE(Drop({other, photos, folder / "third"}, form->BitBtn2));
  EXPECT_EQ(InputFolder(), other) << "the first of three";
  EXPECT_EQ(MemoLines().front(), other + "/a.jpg");
  EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(FolderChoice, DroppedFileOrMissingPathGivesThreeZerosAndAnEmptyMemo) {
  const std::string photos = FiveFiles("photos");
  PickInput(photos);
  ASSERT_TRUE(Drop({photos + "/e.txt"}));
  EXPECT_EQ(InputFolder(), photos + "/e.txt");
  EXPECT_EQ(Status(), Counts(0, 0, 0));
  EXPECT_EQ(MemoLines(), std::vector<std::string>{""});
  ASSERT_TRUE(Drop({folder / "nowhere"}));
  EXPECT_EQ(InputFolder(), folder / "nowhere");
  EXPECT_EQ(Status(), Counts(0, 0, 0));
}

TEST_F(FolderChoice, EveryDropBringsTheWindowToTheFrontEvenOneThatChangesNothing) {
  QWidget other;
  other.show();
  other.activateWindow();
  QCoreApplication::processEvents();
  ASSERT_EQ(QApplication::activeWindow(), &other);
  form->Edit1->setText(QStringLiteral("before"));
  ASSERT_TRUE(DropUrls({QUrl(QStringLiteral("https://example.com/a.jpg")), QUrl(QStringLiteral("file://server/a"))}));
  QCoreApplication::processEvents();
  EXPECT_EQ(QApplication::activeWindow(), form.get());
  EXPECT_EQ(form->Edit1->text().toStdString(), "before");
  EXPECT_TRUE(form->StatusBar1->currentMessage().isEmpty());
}

TEST_F(FolderChoice, FolderNamedInOtherBytesThanUtf8IsScannedAndRunAsItIs) {
  // A Shift-JIS name from an old archive: 写真 as 0x8E 0xCA 0x90 0x5E, not UTF-8.
  const std::string archive = folder / "\x8E\xCA\x90\x5E";
  testing::WriteJpeg(archive + "/a.jpg", 400, 300);
  ASSERT_TRUE(Drop({archive}));
  EXPECT_EQ(InputFolder(), archive);
  EXPECT_EQ(Status(), Counts(0, 1, 1));
  EXPECT_NE(form->Edit1->text().toStdString(), archive) << "shown with replacement characters";

  testing::MakeFolders(folder / "out");
  PickOutput(folder / "out");
  form->BitBtn2->click();
  EXPECT_EQ(dialogs.Texts(Kind::Notice), std::vector<std::string>{Format(text::kFinishedStatus, 1, 0, 0)});
  EXPECT_TRUE(fs::exists(folder / "out/a.jpg"));
}

TEST_F(FolderChoice, AnOutputFolderInsideTheInputIsCountedAsASubfolderNotScanned) {
  const std::string photos = FiveFiles("photos");
  FiveFiles("photos/out/sub");  // an earlier run's outputs
  fs::create_directory_symlink(folder / "photos/out", folder / "outlink");
  for (const std::string out : {"photos/out", "photos//./out", "outlink"}) {
    PickOutput(folder / out);
    PickInput(photos);
    EXPECT_EQ(Status(), Counts(1, 5, 3)) << out;
    EXPECT_EQ(MemoLines(), (std::vector<std::string>{photos + "/a.jpg", photos + "/b.JPG", photos + "/c.Jpg"})) << out;
  }
}

TEST_F(FolderChoice, ScanDuringARunRewritesMemoAndCountersWhileTheRunKeepsItsList) {
  for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) testing::WriteJpeg(folder / (std::string("in/") + name), 400, 300);
  const std::string in2 = FiveFiles("in2");
  for (const char* name : {"out", "out2"}) testing::MakeFolders(folder / name);
  PickInput(folder / "in");
  PickOutput(folder / "out");
  // After the first file is saved: drop another input folder and pick another output folder.
  bool usable = false;
  QObject::connect(form->StatusBar1, &QStatusBar::messageChanged, [&](const QString& text) {
    if (text.toStdString() != Format(text::kProgressStatus, 33, 1, 3, 0, 0)) return;
    QTimer::singleShot(0, [&] {
      usable = form->BitBtn8->isEnabled() && form->BitBtn1->isEnabled() && form->BitBtn4->isEnabled() &&
               form->acceptDrops() && form->Running();
      Drop({in2});
      PickOutput(folder / "out2");
    });
  });
  form->BitBtn2->click();
  EXPECT_TRUE(usable) << "the folder commands stay usable during a run";
  EXPECT_EQ(dialogs.Texts(Kind::Notice), std::vector<std::string>{Format(text::kFinishedStatus, 3, 0, 0)});
  // The run went on with its list and its folders; the new ones show, for the next run.
  for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) EXPECT_TRUE(fs::exists(folder / "out/" + name)) << name;
  EXPECT_TRUE(testing::ListFilesBelow(folder / "out2").empty());
  EXPECT_EQ(form->Edit2->text().toStdString(), folder / "out2/");
  // The run logs b before it lets the drop in, so the scan's list replaces that line; then c.
  EXPECT_EQ(MemoLines(),
            (std::vector<std::string>{in2 + "/a.jpg", in2 + "/b.JPG", in2 + "/c.Jpg", folder / "in/c.jpg"}));
  EXPECT_EQ(form->workspace.Counters.FileCount, 5);
  EXPECT_EQ(Status(), Format(text::kFinishedStatus, 3, 0, 0));
}

}  // namespace
}  // namespace phototrim
