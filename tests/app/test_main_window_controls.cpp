// The main window's controls at start: names, kinds, places, captions, fonts, start states and tab order.
#include <gtest/gtest.h>

#include <set>

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QStyle>
#include <QStatusBar>

#include "app/window_style.h"
#include "window_fixture.h"

namespace phototrim {
namespace {

using testing::WindowUnderTest;

enum class Kind { Label, Edit, Button, Check, Radio, Group, Slider, Memo, Progress, Status };
enum Tri { No = 0, Yes = 1, NotApplicable = 2 };

struct ControlRow {
  const char* name;
  Kind kind;
  const char* parent;  // "" for the window itself
  QRect place;
  const char* caption;  // the text the control shows; nullptr where it shows none
  bool enabled, visible;
  Tri checked;
};

// Every control apart from the size buttons and their ratio labels, as the window must start.
const ControlRow kControls[] = {
    {"Label3", Kind::Label, "", {8, 16, 67, 12}, "入力フォルダ", true, true, NotApplicable},
    {"Edit1", Kind::Edit, "", {88, 8, 313, 20}, "", true, true, NotApplicable},
    {"BitBtn8", Kind::Button, "", {408, 2, 25, 25}, "", true, true, NotApplicable},
    {"Label4", Kind::Label, "", {8, 48, 67, 12}, "出力フォルダ", true, true, NotApplicable},
    {"Edit2", Kind::Edit, "", {88, 40, 249, 20}, "", true, true, NotApplicable},
    {"BitBtn1", Kind::Button, "", {344, 34, 25, 25}, "", true, true, NotApplicable},
    {"BitBtn4", Kind::Button, "", {374, 34, 97, 25}, "フォルダ作成", false, true, NotApplicable},
    {"CheckBox4", Kind::Check, "", {88, 64, 153, 17}, "サブフォルダは検索しない", true, true, No},
    {"CheckBox5", Kind::Check, "", {248, 64, 225, 17}, "元画像が320px×240px以下はスキップ", true, true, Yes},
    {"Label2", Kind::Label, "", {8, 88, 49, 12}, "Jpeg画質", true, true, NotApplicable},
    {"TrackBar1", Kind::Slider, "", {80, 80, 297, 25}, nullptr, true, true, NotApplicable},
    {"Label5", Kind::Label, "", {88, 112, 6, 12}, "0", true, true, NotApplicable},
    {"Label6", Kind::Label, "", {224, 112, 12, 12}, "50", true, true, NotApplicable},
    {"Label7", Kind::Label, "", {359, 112, 18, 12}, "100", true, true, NotApplicable},
    {"GroupBox1", Kind::Group, "", {8, 128, 233, 401}, "　　サイズ　　　　寸法　　　　　　　縦横比", true, true, NotApplicable},
    {"Label1", Kind::Label, "GroupBox1", {8, 200, 99, 12}, "▼　固定ﾋﾟｸｾﾙ寸法", true, true, NotApplicable},
    {"Edit3", Kind::Edit, "GroupBox1", {112, 195, 41, 20}, "", true, true, NotApplicable},
    {"Label8", Kind::Label, "GroupBox1", {160, 200, 12, 12}, "×", true, true, NotApplicable},
    {"Edit4", Kind::Edit, "GroupBox1", {176, 195, 41, 20}, "", true, true, NotApplicable},
    {"CheckBox1", Kind::Check, "", {256, 132, 97, 17}, "縦横比変更", true, false, Yes},
    {"CheckBox2", Kind::Check, "", {256, 148, 185, 17}, "解像度縮小(拡大は行いません)", true, true, No},
    {"CheckBox6", Kind::Check, "", {354, 131, 119, 17}, "HEIC/HEIFも変換", true, true, No},
    {"GroupBox2", Kind::Group, "", {256, 168, 209, 113}, "縮小後サイズ", false, true, NotApplicable},
    {"RadioButton11", Kind::Radio, "GroupBox2", {16, 16, 65, 17}, "150 dpi", false, true, No},
    {"RadioButton14", Kind::Radio, "GroupBox2", {104, 16, 65, 17}, "200 dpi", false, true, No},
    {"RadioButton12", Kind::Radio, "GroupBox2", {16, 40, 65, 17}, "300 dpi", false, true, No},
    {"RadioButton16", Kind::Radio, "GroupBox2", {104, 40, 65, 17}, "320 dpi", false, true, No},
    {"RadioButton13", Kind::Radio, "GroupBox2", {16, 64, 65, 17}, "400 dpi", false, true, Yes},
    {"CheckBox3", Kind::Check, "GroupBox2", {16, 88, 97, 17}, "高品質で圧縮", false, true, Yes},
    {"Memo1", Kind::Memo, "", {256, 288, 209, 185}, nullptr, true, true, NotApplicable},
    {"BitBtn2", Kind::Button, "", {248, 480, 105, 41}, "　　実　行", true, true, NotApplicable},
    {"BitBtn3", Kind::Button, "", {360, 480, 105, 41}, "　　中　断", false, true, NotApplicable},
    {"ProgressBar1", Kind::Progress, "", {3, 536, 465, 17}, nullptr, true, false, NotApplicable},
    {"StatusBar1", Kind::Status, "", {0, 555, 473, 34}, nullptr, true, true, NotApplicable},
};

struct SizeRow {
  int top;
  const char* button;
  const char* caption;
  const char* ratioLabel;
  const char* ratio;
};

const SizeRow kSizes[] = {
    {16, "RadioButton1", "L　     89mm×127mm", "StaticText1", "1.42"},
    {36, "RadioButton2", "はがき 102mm×152mm", "StaticText2", "1.49"},
    {56, "RadioButton3", "2L　   127mm×178mm", "StaticText3", "1.39"},
    {76, "RadioButton5", "八切　 165mm×216mm", "StaticText5", "1.309"},
    {96, "RadioButton6", "六切　 203mm×254mm", "StaticText6", "1.25"},
    {116, "RadioButton7", "W六切　203mm×305mm", "StaticText7", "1.50"},
    {136, "RadioButton8", "A4　   210mm×297mm", "StaticText8", "1.414"},
    {156, "RadioButton9", "四切　 254mm×305mm", "StaticText9", "1.20"},
    {176, "RadioButton10", "W四切　254mm×368mm", "StaticText10", "1.448"},
    {216, "RadioButton4", "4Base　1536px×1024px", "StaticText4", "1.50"},
    {236, "RadioButton15", "16Base 3072px×2048px", "StaticText11", "1.50"},
    {258, "RadioButton20", "QVGA    320px× 240px", "StaticText15", "1.33"},
    {278, "RadioButton23", "VGA     640px× 480px", "StaticText18", "1.33"},
    {298, "RadioButton17", "SVGA    800px× 600px", "StaticText12", "1.33"},
    {318, "RadioButton18", "XGA    1024px× 768px", "StaticText13", "1.33"},
    {338, "RadioButton19", "SXGA   1280px×1024px", "StaticText14", "1.33"},
    {358, "RadioButton21", "UXGA   1600px×1200px", "StaticText16", "1.33"},
    {378, "RadioButton22", "QXGA   2048px×1536px", "StaticText17", "1.33"},
};

QString Caption(QWidget* widget) {
  if (auto* label = qobject_cast<QLabel*>(widget)) return label->text();
  if (auto* button = qobject_cast<QAbstractButton*>(widget)) return button->text();
  if (auto* edit = qobject_cast<QLineEdit*>(widget)) return edit->text();
  if (auto* group = qobject_cast<QGroupBox*>(widget)) return group->title();
  return {};
}

bool IsKind(QWidget* widget, Kind kind) {
  switch (kind) {
    case Kind::Label: return qobject_cast<QLabel*>(widget);
    case Kind::Edit: return qobject_cast<QLineEdit*>(widget);
    case Kind::Button: return qobject_cast<QPushButton*>(widget);
    case Kind::Check: return qobject_cast<QCheckBox*>(widget);
    case Kind::Radio: return qobject_cast<QRadioButton*>(widget);
    case Kind::Group: return qobject_cast<QGroupBox*>(widget);
    case Kind::Slider: return qobject_cast<QSlider*>(widget);
    case Kind::Memo: return qobject_cast<QPlainTextEdit*>(widget);
    case Kind::Progress: return qobject_cast<QProgressBar*>(widget);
    case Kind::Status: return qobject_cast<QStatusBar*>(widget);
  }
  return false;
}

class MainWindowControls : public ::testing::Test {
 protected:
  void SetUp() override { window->show(); }
  QWidget* Find(const char* name) { return window->findChild<QWidget*>(QString::fromLatin1(name)); }
  WindowUnderTest window;
};

TEST_F(MainWindowControls, EveryControlStartsWithItsKindPlaceCaptionAndState) {
  for (const ControlRow& row : kControls) {
    SCOPED_TRACE(row.name);
    QWidget* widget = Find(row.name);
    ASSERT_NE(widget, nullptr);
    EXPECT_TRUE(IsKind(widget, row.kind));
    const QWidget* parent = *row.parent ? Find(row.parent) : window.form.get();
    EXPECT_EQ(widget->parentWidget(), parent);
    if (row.kind == Kind::Label) {
      // Labels size themselves to their text from their left edge; the widths given are the least.
      EXPECT_EQ(widget->pos(), row.place.topLeft());
      EXPECT_EQ(widget->height(), row.place.height());
      EXPECT_GE(widget->width(), row.place.width());
    } else {
      EXPECT_EQ(widget->geometry(), row.place);
    }
    if (row.caption) {
      EXPECT_EQ(Caption(widget).toStdString(), row.caption);
    }
    EXPECT_EQ(widget->isEnabled(), row.enabled);
    EXPECT_EQ(widget->isVisible(), row.visible);
    if (row.checked != NotApplicable) {
      EXPECT_EQ(qobject_cast<QAbstractButton*>(widget)->isChecked(), row.checked == Yes);
    }
  }
}

TEST_F(MainWindowControls, SizeButtonsStandInTheirRowsWithFixedPitchCaptionsAndRatios) {
  for (const SizeRow& row : kSizes) {
    SCOPED_TRACE(row.button);
    auto* button = qobject_cast<QRadioButton*>(Find(row.button));
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->parentWidget(), window->GroupBox1);
    const int width = std::string(row.button) == "RadioButton1" ? 137 : std::string(row.button) == "RadioButton3" ? 145 : 153;
    EXPECT_EQ(button->geometry(), QRect(8, row.top, width, 17));
    EXPECT_EQ(button->text().toStdString(), row.caption);
    EXPECT_EQ(button->isChecked(), std::string(row.button) == "RadioButton1");
    EXPECT_TRUE(button->isEnabled());
    EXPECT_EQ(button->font().family(), QStringLiteral("IPAGothic"));
    EXPECT_EQ(QFontInfo(button->font()).family(), QStringLiteral("IPAGothic")) << "the font is really there";
    EXPECT_EQ(button->font().pixelSize(), 12);

    auto* ratio = qobject_cast<QLabel*>(Find(row.ratioLabel));
    ASSERT_NE(ratio, nullptr);
    EXPECT_EQ(ratio->parentWidget(), window->GroupBox1);
    EXPECT_EQ(ratio->geometry(), QRect(168, row.top, 49, 16));
    EXPECT_EQ(ratio->text().toStdString(), row.ratio);
    EXPECT_EQ(ratio->frameShadow(), QFrame::Sunken);
    EXPECT_EQ(ratio->focusPolicy(), Qt::NoFocus);
  }
}

TEST_F(MainWindowControls, SizeCaptionsLineUpInColumns) {
  // Every × stands at the same place in its group of rows, and so do the numbers after it.
  std::set<int> printCross, pixelCross, printEnd, pixelEnd;
  for (std::size_t row = 0; row < window->SizeButtons.size(); ++row) {
    const QRadioButton* button = window->SizeButtons[row];
    const QFontMetrics metrics(button->font());
    const QString caption = button->text();
    const int cross = metrics.horizontalAdvance(caption.left(caption.indexOf(QChar(0x00D7))));
    const int end = metrics.horizontalAdvance(caption);
    (row < 9 ? printCross : pixelCross).insert(cross);
    (row < 9 ? printEnd : pixelEnd).insert(end);
    // The caption fits its button beside the indicator.
    EXPECT_LT(end + 18, button->width()) << caption.toStdString();
  }
  EXPECT_EQ(printCross.size(), 1u);
  EXPECT_EQ(pixelCross.size(), 1u);
  EXPECT_EQ(printEnd.size(), 1u);
  EXPECT_EQ(pixelEnd.size(), 1u);
}

TEST_F(MainWindowControls, NoCaptionIsClippedAndNothingOverlaps) {
  QStyle* style = window->style();
  for (QWidget* widget : window->findChildren<QWidget*>()) {
    const std::string name = widget->objectName().toStdString();
    if (name.empty() || !widget->isVisibleTo(window.form.get())) continue;
    const QFontMetrics metrics(widget->font());
    const int text = metrics.horizontalAdvance(Caption(widget));
    if (qobject_cast<QLabel*>(widget)) {
      EXPECT_LE(text, widget->width()) << name;
      EXPECT_GE(widget->height() + 1, metrics.ascent() + metrics.descent()) << name << ": at most a pixel of the feet";
    } else if (qobject_cast<QCheckBox*>(widget) || qobject_cast<QRadioButton*>(widget)) {
      const bool radio = qobject_cast<QRadioButton*>(widget);
      const int indicator = style->pixelMetric(radio ? QStyle::PM_ExclusiveIndicatorWidth : QStyle::PM_IndicatorWidth);
      const int gap = style->pixelMetric(radio ? QStyle::PM_RadioButtonLabelSpacing : QStyle::PM_CheckBoxLabelSpacing);
      EXPECT_LE(indicator + gap + text, widget->width()) << name;
    }
    // Inside the client area, and clear of its siblings.
    const QRect place = QRect(widget->mapTo(window.form.get(), QPoint()), widget->size());
    EXPECT_TRUE(window->rect().contains(place)) << name;
    for (QWidget* other : widget->parentWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
      if (other == widget || other->objectName().isEmpty() || !other->isVisibleTo(window.form.get())) continue;
      // The layout lets the check boxes' last row touch the slider's first: one pixel is by design.
      const QRect common = widget->geometry().intersected(other->geometry());
      EXPECT_TRUE(common.isEmpty() || common.height() <= 1 || common.width() <= 1)
          << name << " overlaps " << other->objectName().toStdString();
    }
  }
}

TEST_F(MainWindowControls, SizeGroupHeadingsStandOverTheirColumns) {
  auto* group = dynamic_cast<app::CaptionedGroupBox*>(window->GroupBox1);
  ASSERT_NE(group, nullptr);
  const std::vector<int> at = group->HeadingPositions();  // サイズ, 寸法, 縦横比, end
  ASSERT_EQ(at.size(), 4u);
  const QRadioButton* l = window->SizeButtons[0];
  const QFontMetrics fixed(l->font());
  const int captionLeft = l->x() + window->style()->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth) +
                          window->style()->pixelMetric(QStyle::PM_RadioButtonLabelSpacing);
  // サイズ over the names, 寸法 over the millimetres of L, 縦横比 over the ratio labels.
  EXPECT_NEAR(at[0], captionLeft, 6);
  const int dimensions = captionLeft + fixed.horizontalAdvance(QStringLiteral("L　     "));
  const int dimensionsEnd = captionLeft + fixed.horizontalAdvance(l->text());
  EXPECT_GE(at[1], dimensions);
  EXPECT_LE(at[2 - 1] + 24, dimensionsEnd);
  EXPECT_GE(at[2], window->RatioLabels[0]->x());
  EXPECT_LE(at[3], window->RatioLabels[0]->geometry().right() + 1);
  EXPECT_LE(at[3], group->width());
}

TEST_F(MainWindowControls, WindowHasItsCaptionFixedClientAreaAndFonts) {
  EXPECT_EQ(window->windowTitle().toStdString(), "写真トリミングツ－ル（カルネラ付属ツール）");
  EXPECT_EQ(window->MessageCaption, window->windowTitle());
  EXPECT_EQ(window->size(), QSize(473, 589));
  EXPECT_EQ(window->minimumSize(), window->maximumSize()) << "the frame cannot be resized";
  const Qt::WindowFlags flags = window->windowFlags();
  EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
  EXPECT_FALSE(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
  EXPECT_EQ(window->font().family(), QStringLiteral("IPAPGothic"));
  EXPECT_EQ(window->font().pixelSize(), 12);
  EXPECT_EQ(window->Label3->font().family(), QStringLiteral("IPAPGothic")) << "controls inherit the window's font";
  EXPECT_TRUE(window->acceptDrops());
}

TEST_F(MainWindowControls, WindowIsScaledByTheDesktopsFactorInLogicalPixels) {
  // The suite runs once per desktop scale; each run names the factor its screen was given.
  const QByteArray expected = qgetenv("PHOTOTRIM_EXPECTED_SCALE");
  EXPECT_DOUBLE_EQ(window->devicePixelRatioF(), expected.isEmpty() ? 1.0 : expected.toDouble());
  EXPECT_EQ(window->size(), QSize(473, 589)) << "the same layout, in logical pixels";
  EXPECT_EQ(window->font().pixelSize(), 12);
  const QPixmap picture = window->grab();
  EXPECT_EQ(picture.size(), (QSizeF(473, 589) * window->devicePixelRatioF()).toSize()) << "1.5 x at 150 %";
}

TEST_F(MainWindowControls, FieldsSliderMemoAndStatusLineStartAsTheToolNeedsThem) {
  EXPECT_TRUE(window->Edit1->isReadOnly());
  EXPECT_TRUE(window->Edit2->isReadOnly());
  EXPECT_EQ(window->Edit1->maxLength(), 2000);
  EXPECT_EQ(window->Edit2->maxLength(), 2000);
  EXPECT_FALSE(window->Edit3->isReadOnly());
  EXPECT_FALSE(window->Edit3->testAttribute(Qt::WA_InputMethodEnabled));
  EXPECT_FALSE(window->Edit4->testAttribute(Qt::WA_InputMethodEnabled));

  EXPECT_EQ(window->TrackBar1->minimum(), 0);
  EXPECT_EQ(window->TrackBar1->maximum(), 100);
  EXPECT_EQ(window->TrackBar1->value(), 90);
  EXPECT_EQ(window->TrackBar1->pageStep(), 10);
  EXPECT_EQ(window->TrackBar1->tickInterval(), 10);
  EXPECT_EQ(window->TrackBar1->tickPosition(), QSlider::TicksBelow);

  EXPECT_TRUE(window->Memo1->isReadOnly());
  EXPECT_EQ(window.MemoLines(), std::vector<std::string>{""}) << "one empty line";
  EXPECT_EQ(window->Memo1->lineWrapMode(), QPlainTextEdit::WidgetWidth);
  EXPECT_EQ(window->Memo1->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  EXPECT_EQ(window->Memo1->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);

  EXPECT_EQ(window->ProgressBar1->minimum(), 0);
  EXPECT_EQ(window->ProgressBar1->maximum(), 100);
  EXPECT_EQ(window.Status(), "");
}

TEST_F(MainWindowControls, OnlyTheTwoReductionSwitchesShowHints) {
  for (QWidget* widget : window->findChildren<QWidget*>()) {
    const std::string name = widget->objectName().toStdString();
    if (name == "CheckBox2")
      EXPECT_EQ(widget->toolTip().toStdString(), "拡大は行われません");
    else if (name == "CheckBox3")
      EXPECT_EQ(widget->toolTip().toStdString(), "綺麗に縮小されますが時間がかかります。");
    else
      EXPECT_TRUE(widget->toolTip().isEmpty()) << name;
  }
}

TEST_F(MainWindowControls, ButtonsCarryTheirPictures) {
  struct {
    QPushButton* button;
    int size;
  } pictures[] = {{window->BitBtn8, 16}, {window->BitBtn1, 16}, {window->BitBtn4, 16}, {window->BitBtn2, 18},
                  {window->BitBtn3, 32}};
  for (const auto& [button, size] : pictures) {
    SCOPED_TRACE(button->objectName().toStdString());
    EXPECT_FALSE(button->icon().isNull());
    EXPECT_EQ(button->iconSize(), QSize(size, size));
    // On a scaled screen the picture is drawn with the screen's pixels, not enlarged.
    for (const qreal ratio : {1.0, 1.25, 1.5, 2.0})
      EXPECT_EQ(button->icon().pixmap(QSize(size, size), ratio).size(), (QSizeF(size, size) * ratio).toSize()) << ratio;
  }
  // The grey tick of a disabled 実行 differs from its green tick.
  const QIcon tick = window->BitBtn2->icon();
  EXPECT_NE(tick.pixmap(18, QIcon::Normal).toImage(), tick.pixmap(18, QIcon::Disabled).toImage());
}

TEST_F(MainWindowControls, TabGoesThroughTheControlsInTheirOrder) {
  // The chain from Edit1, the unchosen radio buttons included (Tab passes over those).
  const std::vector<std::string> expected = {
      "Edit1", "Edit2", "RadioButton1", "RadioButton2", "RadioButton3", "RadioButton4", "RadioButton5",
      "RadioButton6", "RadioButton7", "RadioButton8", "RadioButton9", "RadioButton10", "RadioButton15",
      "RadioButton17", "RadioButton18", "RadioButton19", "RadioButton20", "RadioButton21", "RadioButton22",
      "RadioButton23", "Edit3", "Edit4", "CheckBox2", "RadioButton11", "RadioButton12", "RadioButton13", "CheckBox3",
      "RadioButton14", "RadioButton16", "BitBtn8", "BitBtn1", "BitBtn2", "Memo1", "BitBtn3", "BitBtn4", "CheckBox4",
      "CheckBox5", "TrackBar1", "BitBtn9", "CheckBox6"};
  std::vector<std::string> chain;
  QWidget* widget = window->Edit1;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    chain.push_back(widget->objectName().toStdString());
    do widget = widget->nextInFocusChain();
    while (!(widget->focusPolicy() & Qt::ClickFocus) || widget->objectName().isEmpty() ||
           widget->objectName() == QLatin1String("CheckBox1"));
  }
  EXPECT_EQ(chain, expected);
}

TEST_F(MainWindowControls, TabStopsAtTheChosenButtonOfEachGroupOnly) {
  QApplication::setActiveWindow(window.form.get());
  window->SizeButtons[3]->click();  // 八切
  window->Edit2->setFocus();
  auto tab = [] {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
    QCoreApplication::sendEvent(QApplication::focusWidget(), &press);
    return QApplication::focusWidget()->objectName().toStdString();
  };
  EXPECT_EQ(tab(), "RadioButton5");
  EXPECT_EQ(tab(), "Edit3");
  EXPECT_EQ(tab(), "Edit4");
  EXPECT_EQ(tab(), "CheckBox2");
  EXPECT_EQ(tab(), "BitBtn8") << "the disabled resolution group takes no focus";
}

}  // namespace
}  // namespace phototrim
