// The main window's controls: each at its place in pixels, with its caption, font and start state.
#include <algorithm>

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QStatusBar>

#include "app/Unit1.h"
#include "app/app_texts.h"
#include "app/button_pictures.h"
#include "app/drawn_icon.h"
#include "app/size_captions.h"
#include "app/window_fonts.h"
#include "app/window_style.h"

namespace phototrim::app {

namespace {

QString U(const char* text) { return QString::fromUtf8(text); }

template <typename T>
T* Place(T* widget, const char* name, int left, int top, int width, int height) {
  widget->setObjectName(QString::fromLatin1(name));
  widget->setGeometry(left, top, width, height);
  return widget;
}

// A label sizes itself to its text, from its left edge: the widths of the layout are those of the
// classic face, whose digits are 6 pixels wide where these are 8.
QLabel* MakeLabel(QWidget* parent, const char* name, const char* text, int left, int top, int width, int height) {
  auto* label = new QLabel(U(text), parent);
  width = std::max(width, label->fontMetrics().horizontalAdvance(label->text()));
  Place(label, name, left, top, width, height);
  // The labels are exactly one line of the 12-pixel font high, so the text hangs from their top edge.
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  return label;
}

QLineEdit* MakePathField(QWidget* parent, const char* name, int left, int top, int width, int height) {
  auto* edit = Place(new QLineEdit(parent), name, left, top, width, height);
  edit->setReadOnly(true);  // filled only by the folder commands
  edit->setMaxLength(2000);
  return edit;
}

QLineEdit* MakeNumberField(QWidget* parent, const char* name, int left, int top, int width, int height) {
  auto* edit = Place(new QLineEdit(parent), name, left, top, width, height);
  edit->setMaxLength(32767);  // no limit of its own
  // Digits are typed: no input method while it has focus.
  edit->setAttribute(Qt::WA_InputMethodEnabled, false);
  edit->setInputMethodHints(Qt::ImhPreferNumbers | Qt::ImhPreferLatin);
  return edit;
}

QPushButton* MakePictureButton(QWidget* parent, const char* name, const char* caption, const QIcon& picture,
                               int pictureSize, int left, int top, int width, int height) {
  auto* button = Place(new QPushButton(picture, U(caption), parent), name, left, top, width, height);
  button->setIconSize(QSize(pictureSize, pictureSize));
  button->setAutoDefault(false);
  return button;
}


// Tops of the size buttons in the size table's order; the pixel sizes below the fixed-size row.
constexpr std::array<int, 18> kSizeButtonTops = {16, 36, 56, 76, 96, 116, 136, 156, 176,
                                                 216, 236, 258, 278, 298, 318, 338, 358, 378};

}  // namespace

void TForm1::CreateControls() {
  // Folder rows.
  Label3 = MakeLabel(this, "Label3", "入力フォルダ", 8, 16, 67, 12);
  Edit1 = MakePathField(this, "Edit1", 88, 8, 313, 20);
  const QIcon folder = DrawnIcon(ClosedFolderPicture);
  BitBtn8 = MakePictureButton(this, "BitBtn8", "", folder, 16, 408, 2, 25, 25);
  Label4 = MakeLabel(this, "Label4", "出力フォルダ", 8, 48, 67, 12);
  Edit2 = MakePathField(this, "Edit2", 88, 40, 249, 20);
  BitBtn1 = MakePictureButton(this, "BitBtn1", "", folder, 16, 344, 34, 25, 25);
  BitBtn4 = MakePictureButton(this, "BitBtn4", "フォルダ作成", DrawnIcon(NewFolderPicture), 16, 374, 34, 97, 25);

  // Options and quality.
  CheckBox4 = Place(new QCheckBox(U("サブフォルダは検索しない"), this), "CheckBox4", 88, 64, 153, 17);
  CheckBox5 = Place(new QCheckBox(U("元画像が320px×240px以下はスキップ"), this), "CheckBox5", 248, 64, 225, 17);
  CheckBox5->setChecked(true);
  Label2 = MakeLabel(this, "Label2", "Jpeg画質", 8, 88, 49, 12);
  TrackBar1 = Place(new QSlider(Qt::Horizontal, this), "TrackBar1", 80, 80, 297, 25);
  TrackBar1->setRange(0, 100);
  TrackBar1->setPageStep(10);
  TrackBar1->setSingleStep(1);
  TrackBar1->setTickInterval(10);
  TrackBar1->setTickPosition(QSlider::TicksBelow);
  TrackBar1->setValue(90);
  Label5 = MakeLabel(this, "Label5", "0", 88, 112, 6, 12);
  Label6 = MakeLabel(this, "Label6", "50", 224, 112, 12, 12);
  Label7 = MakeLabel(this, "Label7", "100", 359, 112, 18, 12);
  // In the free corner right of the quality slider, so that no control of the window moves.
  BitBtn9 = Place(new QPushButton(U("確認…"), this), "BitBtn9", 392, 84, 73, 25);
  BitBtn9->setAccessibleName(U("トリミングの確認"));

  // Size group. The caption heads the three columns: name and dimensions, then the ratio.
  GroupBox1 = Place(new CaptionedGroupBox(U("　　サイズ　　　　寸法　　　　　　　縦横比"), this), "GroupBox1", 8, 128, 233, 401);
  QFont fixed = WindowFont(kFixedFontFamily, QFont::Monospace);
  fixed.setFixedPitch(true);
  auto* sizeGroup = new QButtonGroup(this);
  for (std::size_t row = 0; row < kSizeCaptions.size(); ++row) {
    const SizeCaption& choice = kSizeCaptions[row];
    const int top = kSizeButtonTops[row];
    // RadioButton1 and RadioButton3 are narrower: their captions are shorter, and the layout stays the one users know.
    const int width = row == 0 ? 137 : row == 2 ? 145 : 153;
    auto* button = Place(new QRadioButton(U(choice.caption), GroupBox1), choice.control, 8, top, width, 17);
    button->setFont(fixed);
    sizeGroup->addButton(button);
    SizeButtons[row] = button;
    auto* ratio = Place(new QLabel(U(choice.ratioText), GroupBox1), choice.ratioControl, 168, top, 49, 16);
    ratio->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    ratio->setLineWidth(1);
    ratio->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    RatioLabels[row] = ratio;
  }
  RadioButton1 = SizeButtons[0], RadioButton2 = SizeButtons[1], RadioButton3 = SizeButtons[2];
  RadioButton5 = SizeButtons[3], RadioButton6 = SizeButtons[4], RadioButton7 = SizeButtons[5];
  RadioButton8 = SizeButtons[6], RadioButton9 = SizeButtons[7], RadioButton10 = SizeButtons[8];
  RadioButton4 = SizeButtons[9], RadioButton15 = SizeButtons[10], RadioButton20 = SizeButtons[11];
  RadioButton23 = SizeButtons[12], RadioButton17 = SizeButtons[13], RadioButton18 = SizeButtons[14];
  RadioButton19 = SizeButtons[15], RadioButton21 = SizeButtons[16], RadioButton22 = SizeButtons[17];
  RadioButton1->setChecked(true);

  Label1 = MakeLabel(GroupBox1, "Label1", "▼　固定ﾋﾟｸｾﾙ寸法", 8, 200, 99, 12);
  Edit3 = MakeNumberField(GroupBox1, "Edit3", 112, 195, 41, 20);
  Label8 = MakeLabel(GroupBox1, "Label8", "×", 160, 200, 12, 12);
  Edit4 = MakeNumberField(GroupBox1, "Edit4", 176, 195, 41, 20);

  // Reduction settings. CheckBox1 is never shown and nothing changes it: the crop is always on.
  CheckBox1 = Place(new QCheckBox(U("縦横比変更"), this), "CheckBox1", 256, 132, 97, 17);
  CheckBox1->setChecked(true);
  CheckBox1->hide();
  CheckBox2 = Place(new QCheckBox(U("解像度縮小(拡大は行いません)"), this), "CheckBox2", 256, 148, 185, 17);
  CheckBox2->setToolTip(U("拡大は行われません"));
  GroupBox2 = Place(new CaptionedGroupBox(U("縮小後サイズ"), this), "GroupBox2", 256, 168, 209, 113);
  RadioButton11 = Place(new QRadioButton(U("150 dpi"), GroupBox2), "RadioButton11", 16, 16, 65, 17);
  RadioButton14 = Place(new QRadioButton(U("200 dpi"), GroupBox2), "RadioButton14", 104, 16, 65, 17);
  RadioButton12 = Place(new QRadioButton(U("300 dpi"), GroupBox2), "RadioButton12", 16, 40, 65, 17);
  RadioButton16 = Place(new QRadioButton(U("320 dpi"), GroupBox2), "RadioButton16", 104, 40, 65, 17);
  RadioButton13 = Place(new QRadioButton(U("400 dpi"), GroupBox2), "RadioButton13", 16, 64, 65, 17);
  DpiButtons = {RadioButton11, RadioButton14, RadioButton12, RadioButton16, RadioButton13};
  RadioButton13->setChecked(true);
  CheckBox3 = Place(new QCheckBox(U("高品質で圧縮"), GroupBox2), "CheckBox3", 16, 88, 97, 17);
  CheckBox3->setToolTip(U("綺麗に縮小されますが時間がかかります。"));
  CheckBox3->setChecked(true);
  // Phone photos: beside the hidden CheckBox1, above CheckBox2, where no control stands.
  CheckBox6 = Place(new QCheckBox(U("HEIC/HEIFも変換"), this), "CheckBox6", 354, 131, 119, 17);

  // Log, progress, status and run buttons.
  Memo1 = Place(new QPlainTextEdit(this), "Memo1", 256, 288, 209, 185);
  Memo1->setReadOnly(true);
  Memo1->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  Memo1->setFocusPolicy(Qt::StrongFocus);
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  BitBtn2 = MakePictureButton(this, "BitBtn2", "　　実　行", DrawnIcon(TickPicture, DisabledTickPicture), 18,
                              248, 480, 105, 41);
  BitBtn3 = MakePictureButton(this, "BitBtn3", "　　中　断", DrawnIcon(CrossPicture), 32, 360, 480, 105, 41);
  ProgressBar1 = Place(new QProgressBar(this), "ProgressBar1", 3, 536, 465, 17);
  ProgressBar1->setRange(0, 100);
  ProgressBar1->setValue(0);
  ProgressBar1->setTextVisible(false);
  StatusBar1 = Place(new QStatusBar(this), "StatusBar1", 0, 555, 473, 34);
  StatusBar1->setSizeGripEnabled(false);
}

void TForm1::SetTabOrder() {
  std::vector<QWidget*> order = {Edit1, Edit2};
  order.insert(order.end(), {RadioButton1, RadioButton2, RadioButton3, RadioButton4, RadioButton5, RadioButton6,
                             RadioButton7, RadioButton8, RadioButton9, RadioButton10, RadioButton15, RadioButton17,
                             RadioButton18, RadioButton19, RadioButton20, RadioButton21, RadioButton22,
                             RadioButton23, Edit3, Edit4});
  order.push_back(CheckBox2);
  order.insert(order.end(), {RadioButton11, RadioButton12, RadioButton13, CheckBox3, RadioButton14, RadioButton16});
  order.insert(order.end(), {BitBtn8, BitBtn1, BitBtn2, Memo1, BitBtn3, BitBtn4, CheckBox4, CheckBox5, TrackBar1, BitBtn9});
  order.push_back(CheckBox6);  // last: Tab goes through the other controls in the order users know, then to it
  for (std::size_t i = 1; i < order.size(); ++i) QWidget::setTabOrder(order[i - 1], order[i]);
}

}  // namespace phototrim::app
