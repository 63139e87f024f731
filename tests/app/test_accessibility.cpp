// The main window as a screen reader reads it: every control named, its rows without padding, no hidden control.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include <QAccessible>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QStatusBar>

#include "window_fixture.h"

namespace phototrim {
namespace {

using testing::WindowUnderTest;

struct Node {
  std::string name, description;
  QAccessible::Role role;
};

// Every object of the accessible tree under `parent`, by object name.
void Walk(QAccessibleInterface* parent, std::map<std::string, Node>& nodes) {
  for (int i = 0; i < parent->childCount(); ++i) {
    QAccessibleInterface* child = parent->child(i);
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(child->parent()->object(), parent->object()) << "the tree is the same both ways";
    EXPECT_EQ(parent->indexOfChild(child), i);
    nodes[child->object()->objectName().toStdString()] = {child->text(QAccessible::Name).toStdString(),
                                                          child->text(QAccessible::Description).toStdString(),
                                                          child->role()};
    Walk(child, nodes);
  }
}

TEST(Accessibility, EveryControlHasANameAndTheHiddenSwitchIsLeftOut) {
  WindowUnderTest window;
  window->show();
  std::map<std::string, Node> nodes;
  Walk(QAccessible::queryAccessibleInterface(window.form.get()), nodes);

  const std::map<std::string, std::string> names = {
      {"Edit1", "入力フォルダ"}, {"BitBtn8", "入力フォルダの選択"}, {"Edit2", "出力フォルダ"},
      {"BitBtn1", "出力フォルダの選択"}, {"BitBtn4", "フォルダ作成"}, {"TrackBar1", "Jpeg画質"},
      {"RadioButton1", "L 89mm×127mm 縦横比 1.42"}, {"RadioButton2", "はがき 102mm×152mm 縦横比 1.49"},
      {"RadioButton7", "W六切 203mm×305mm 縦横比 1.50"}, {"RadioButton20", "QVGA 320px×240px 縦横比 1.33"},
      {"Edit3", "固定ﾋﾟｸｾﾙ寸法 長辺"}, {"Edit4", "固定ﾋﾟｸｾﾙ寸法 短辺"}, {"Memo1", "ログ"},
      {"BitBtn2", "実行"}, {"BitBtn3", "中断"}, {"CheckBox2", "解像度縮小(拡大は行いません)"}, {"RadioButton13", "400 dpi"}};
  for (const auto& [object, name] : names) EXPECT_EQ(nodes[object].name, name) << object;
  // Every control a user can reach or read has a name; the buttons that only show a picture, or
  // whose caption does not say what they do, a description too.
  for (const auto& [object, node] : nodes)
    if (object != "" && object.rfind("qt_", 0) != 0 && node.role != QAccessible::StaticText && object != "StatusBar1")
      EXPECT_NE(node.name, "") << object;
  for (const char* object : {"BitBtn8", "BitBtn1", "BitBtn4", "BitBtn2", "BitBtn3", "TrackBar1", "Edit3", "CheckBox2"})
    EXPECT_NE(nodes[object].description, "") << object;
  EXPECT_EQ(nodes.count("CheckBox1"), 0u) << "never shown, never read";
  EXPECT_EQ(nodes.count("ProgressBar1"), 0u) << "shown only during a run";

  // The progress bar, once shown, reads its name and value; the status line reads its last text.
  window->ProgressBar1->show();
  window->ProgressBar1->setValue(33);
  QAccessibleInterface* progress = QAccessible::queryAccessibleInterface(window->ProgressBar1);
  EXPECT_EQ(progress->text(QAccessible::Name).toStdString(), "進行状況");
  ASSERT_NE(progress->valueInterface(), nullptr);
  EXPECT_EQ(progress->valueInterface()->currentValue().toInt(), 33);
  EXPECT_GE(QAccessible::queryAccessibleInterface(window.form.get())->indexOfChild(progress), 0);
  window->StatusBar1->showMessage(QString::fromUtf8("作業が終了しました。"));
  EXPECT_EQ(QAccessible::queryAccessibleInterface(window->StatusBar1)->text(QAccessible::Name).toStdString(),
            "作業が終了しました。");
}

}  // namespace
}  // namespace phototrim
