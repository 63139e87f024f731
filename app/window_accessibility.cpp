// Accessible names and descriptions of the main window, and a tree without its hidden controls.
#include "app/window_accessibility.h"

#include <QAccessible>
#include <QAccessibleWidget>
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

namespace phototrim::app {

namespace {

QString U(const char* text) { return QString::fromUtf8(text); }

void Describe(QWidget* widget, const char* name, const char* description = nullptr) {
  widget->setAccessibleName(U(name));
  if (description) widget->setAccessibleDescription(U(description));
}

// The main window, as a screen reader sees it: only the controls that are shown (the crop switch
// is never shown; the progress bar only during a run).
class ShownChildrenAccessible : public QAccessibleWidget {
 public:
  explicit ShownChildrenAccessible(QWidget* window) : QAccessibleWidget(window, QAccessible::Window) {}

  int childCount() const override { return static_cast<int>(Shown().size()); }
  QAccessibleInterface* child(int index) const override {
    const QWidgetList shown = Shown();
    return index >= 0 && index < shown.size() ? QAccessible::queryAccessibleInterface(shown[index]) : nullptr;
  }
  int indexOfChild(const QAccessibleInterface* child) const override {
    return child ? static_cast<int>(Shown().indexOf(qobject_cast<QWidget*>(child->object()))) : -1;
  }

 private:
  QWidgetList Shown() const {
    QWidgetList shown;
    for (QObject* object : widget()->children())
      if (auto* child = qobject_cast<QWidget*>(object); child && !child->isWindow() && !child->isHidden())
        shown.append(child);
    return shown;
  }
};

QAccessibleInterface* MainWindowAccessible(const QString&, QObject* object) {
  auto* widget = qobject_cast<QWidget*>(object);
  if (widget && widget->isWindow() && dynamic_cast<TForm1*>(widget)) return new ShownChildrenAccessible(widget);
  return nullptr;
}

}  // namespace

void DescribeForScreenReaders(TForm1& form) {
  static const bool installed = (QAccessible::installFactory(MainWindowAccessible), true);
  (void)installed;

  Describe(form.Edit1, "入力フォルダ");
  Describe(form.BitBtn8, "入力フォルダの選択", "写真を読み込むフォルダを選びます。");
  Describe(form.Edit2, "出力フォルダ");
  Describe(form.BitBtn1, "出力フォルダの選択", "切り抜いた写真を保存するフォルダを選びます。");
  Describe(form.BitBtn4, "フォルダ作成", "出力フォルダの中にフォルダを作り、新しい出力フォルダにします。");
  Describe(form.TrackBar1, "Jpeg画質", "保存するJpegの画質です。0から100まで、大きいほど綺麗です。");
  Describe(form.GroupBox1, "サイズ");
  // Each size reads as its row does: name, dimensions and aspect ratio, without the column padding.
  for (std::size_t row = 0; row < form.SizeButtons.size(); ++row)
    form.SizeButtons[row]->setAccessibleName(form.SizeButtons[row]->text().simplified().replace(U("× "), U("×")) +
                                             U(" 縦横比 ") + form.RatioLabels[row]->text());
  Describe(form.Edit3, "固定ﾋﾟｸｾﾙ寸法 長辺", "長辺と短辺の両方を入れると、選んだサイズに代わってこの寸法になります。");
  Describe(form.Edit4, "固定ﾋﾟｸｾﾙ寸法 短辺", "長辺と短辺の両方を入れると、選んだサイズに代わってこの寸法になります。");
  Describe(form.Memo1, "ログ");
  Describe(form.BitBtn2, "実行", "入力フォルダの写真を切り抜いて、出力フォルダに保存します。");
  Describe(form.BitBtn3, "中断", "実行中の作業を止めます。");
  Describe(form.ProgressBar1, "進行状況");
  // The status line paints its text itself; as its name, a screen reader hears each new text.
  QObject::connect(form.StatusBar1, &QStatusBar::messageChanged, form.StatusBar1,
                   [bar = form.StatusBar1](const QString& text) { bar->setAccessibleName(text); });
}

}  // namespace phototrim::app
