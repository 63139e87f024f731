// Start-up, the splash window, the message boxes and the error box for exceptions.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <stdexcept>

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>

#include "app/Unit1.h"
#include "app/Unit2.h"
#include "app/app_texts.h"
#include "app/application.h"
#include "app/dialogs.h"
#include "platform/file_system.h"
#include "window_fixture.h"

namespace phototrim {
namespace {

using app::SplashOptions;
using app::TForm1;
using app::TForm2;
using testing::ScriptedDialogs;

void SendClick(QWidget* widget, QPoint at) {
  QMouseEvent press(QEvent::MouseButtonPress, at, widget->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QMouseEvent release(QEvent::MouseButtonRelease, at, widget->mapToGlobal(at), Qt::LeftButton, Qt::NoButton,
                      Qt::NoModifier);
  QCoreApplication::sendEvent(widget, &press);
  QCoreApplication::sendEvent(widget, &release);
}

void SendKey(QWidget* widget, int key) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
  QCoreApplication::sendEvent(widget, &press);
}

TEST(StartUp, WindowCreationSetsCaptionBitmapsAndTheExecutablesFolder) {
  const std::string before = CurrentFolder();
  ASSERT_TRUE(SetCurrentFolder("/"));
  ScriptedDialogs dialogs;
  {
    TForm1 form(&dialogs, testing::NoSplash());
    EXPECT_EQ(QString::fromStdString(CurrentFolder()), QDir(QCoreApplication::applicationDirPath()).canonicalPath());
    EXPECT_EQ(form.MessageCaption.toStdString(), "写真トリミングツ－ル（カルネラ付属ツール）");
    EXPECT_EQ(form.workspace.WorkBitmap.Width(), 10);
    EXPECT_EQ(form.workspace.WorkBitmap.Height(), 10);
    EXPECT_EQ(form.workspace.ScratchBitmap.Width(), 10);
    EXPECT_EQ(form.workspace.ScratchBitmap.Height(), 10);
    // The work memory of the high-quality reduction is taken only when a reduction needs it.
    EXPECT_EQ(form.workspace.Planes.Bytes(), 0u);
  }
  SetCurrentFolder(before);
}

class Splash : public ::testing::Test {
 protected:
  SplashOptions Options(int intervalMs) {
    return {.show = true, .intervalMs = intervalMs, .openUrl = [this](const QUrl& url) { opened.push_back(url.toString().toStdString()); }};
  }
  std::vector<std::string> opened;
};

TEST_F(Splash, IsABorderlessBlackPictureWithTheRedMinchoLine) {
  QWidget owner;
  TForm2 splash(&owner, Options(10000));
  EXPECT_EQ(splash.size(), QSize(800, 600));
  EXPECT_TRUE(splash.windowFlags() & Qt::FramelessWindowHint);
  EXPECT_EQ(splash.palette().color(QPalette::Window), QColor(Qt::black));
  EXPECT_EQ(splash.Image1->geometry(), QRect(0, 0, 800, 600));
  // 800 x 600 on the screen, drawn with as many pixels as the screen has there.
  EXPECT_EQ(splash.Image1->pixmap().deviceIndependentSize(), QSizeF(800, 600));
  EXPECT_EQ(splash.Image1->pixmap().size(), (QSizeF(800, 600) * splash.devicePixelRatioF()).toSize());
  EXPECT_EQ(splash.Label2->geometry(), QRect(24, 580, 265, 12));
  EXPECT_EQ(splash.Label2->text().toStdString(), "画面をクリックするとＵＲＬをブラウザで開けます。");
  EXPECT_EQ(splash.Label2->font().family(), QStringLiteral("IPAPMincho"));
  EXPECT_TRUE(splash.Label2->font().bold());
  EXPECT_EQ(splash.Label2->font().pixelSize(), 12);
  EXPECT_EQ(splash.Label2->palette().color(QPalette::WindowText), QColor(Qt::red));
  EXPECT_FALSE(splash.acceptDrops());
  EXPECT_FALSE(splash.Timer1->isActive()) << "stored disabled";
  EXPECT_EQ(splash.Timer1->interval(), 5000);
}

TEST_F(Splash, ClicksOpenTheTwoPagesAndKeysDoNotCloseIt) {
  QWidget owner;
  TForm2 splash(&owner, Options(10000));
  splash.show();
  EXPECT_EQ(splash.Timer1->interval(), 10000) << "FormShow sets ten seconds";
  ASSERT_TRUE(splash.Timer1->isActive());

  SendClick(splash.Image1, {400, 300});
  SendClick(splash.Image1, {700, 100});
  SendClick(splash.Label2, {10, 6});
  EXPECT_EQ(opened, (std::vector<std::string>{app::kFamilyPageUrl, app::kFamilyPageUrl, app::kAuthorPageUrl}));

  for (int key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter}) SendKey(&splash, key);
  EXPECT_TRUE(splash.isVisible());
  EXPECT_TRUE(splash.Timer1->isActive()) << "clicks and keys leave the timer running";
  EXPECT_EQ(splash.Timer1->interval(), 10000);
  splash.Timer1Timer();
  EXPECT_FALSE(splash.isVisible());
  EXPECT_FALSE(splash.Timer1->isActive());
}

TEST_F(Splash, ComesBeforeTheMainWindowWhichAppearsWhenItHasClosed) {
  ScriptedDialogs dialogs;
  TForm1 form(&dialogs, Options(50));
  bool formVisibleDuringSplash = true, splashUp = false;
  QTimer::singleShot(10, [&] {
    splashUp = form.Form2 && form.Form2->isVisible();
    formVisibleDuringSplash = form.isVisible();
  });
  form.show();  // returns once the splash has closed itself
  EXPECT_TRUE(splashUp);
  EXPECT_FALSE(formVisibleDuringSplash);
  EXPECT_TRUE(form.isVisible());
  EXPECT_FALSE(form.Form2->isVisible());
  EXPECT_EQ(form.Form2->parent(), &form) << "owned by the main window";
  form.hide();
  form.show();
  EXPECT_FALSE(form.Form2->isVisible()) << "shown once per start";
}

TEST(MessageBoxes, QuestionsHaveNoIconAndYesFirstAndDefault) {
  QWidget parent;
  std::unique_ptr<QMessageBox> box(
      app::MakeMessageBox(app::BoxKind::Question, &parent, QStringLiteral("題"), QStringLiteral("中断しますか？")));
  EXPECT_EQ(box->icon(), QMessageBox::NoIcon);
  EXPECT_EQ(box->windowTitle(), QStringLiteral("題"));
  ASSERT_EQ(box->buttons().size(), 2);
  auto* yes = qobject_cast<QPushButton*>(box->defaultButton());
  ASSERT_NE(yes, nullptr);
  EXPECT_EQ(yes->text().toStdString(), "はい");
  box->show();
  QAbstractButton* other = box->buttons()[0] == yes ? box->buttons()[1] : box->buttons()[0];
  EXPECT_EQ(other->text().toStdString(), "いいえ");
  EXPECT_LT(yes->mapTo(box.get(), QPoint()).x(), other->mapTo(box.get(), QPoint()).x()) << "はい stands first";

  std::unique_ptr<QMessageBox> notice(
      app::MakeMessageBox(app::BoxKind::Notice, &parent, QStringLiteral("題"), QStringLiteral("<b>a&b</b>")));
  EXPECT_EQ(notice->icon(), QMessageBox::NoIcon);
  ASSERT_EQ(notice->buttons().size(), 1);
  EXPECT_EQ(notice->buttons()[0]->text(), QStringLiteral("OK"));
  EXPECT_EQ(notice->textFormat(), Qt::PlainText) << "paths show as they are";

  std::unique_ptr<QMessageBox> error(app::MakeMessageBox(app::BoxKind::Error, nullptr, QStringLiteral("題"), {}));
  EXPECT_EQ(error->icon(), QMessageBox::Critical);
}

TEST(MessageBoxes, EscapeAndClosingAQuestionAnswerStopAsHaiDoes) {
  // Each way out of a real question, taken while it is up; only いいえ itself means go on.
  const std::pair<std::function<void(QMessageBox*)>, bool> ways[] = {
      {[](QMessageBox* box) { SendKey(box, Qt::Key_Escape); }, true},
      {[](QMessageBox* box) { box->close(); }, true},
      {[](QMessageBox* box) { SendKey(box, Qt::Key_Return); }, true},
      {[](QMessageBox* box) { box->buttons().at(1 - box->buttons().indexOf(box->defaultButton()))->click(); }, false}};
  for (const auto& [take, stop] : ways) {
    QTimer::singleShot(0, [&take = take] { take(qobject_cast<QMessageBox*>(QApplication::activeModalWidget())); });
    EXPECT_EQ(app::QtDialogs().Ask(QStringLiteral("題"), QString::fromUtf8("中断しますか？")), stop);
  }
}

TEST(MessageBoxes, EveryBoxIsWideEnoughForItsWholeTitle) {
  const QString caption = QString::fromUtf8(app::kMessageCaption);
  for (const app::BoxKind kind : {app::BoxKind::Notice, app::BoxKind::Question, app::BoxKind::Error}) {
    std::unique_ptr<QMessageBox> box(app::MakeMessageBox(kind, nullptr, caption, QString::fromUtf8("中断しました。")));
    box->show();
    EXPECT_GE(box->width(), app::TitleRoom(caption));
  }
  std::unique_ptr<QInputDialog> name(app::MakeTextDialog(nullptr, QString::fromUtf8("サブフォルダの作成"), QString(), 255));
  name->show();
  EXPECT_GE(name->width(), app::TitleRoom(name->windowTitle()));
}

TEST(ExceptionBox, AnExceptionInAHandlerIsShownAndTheProgramGoesOn) {
  auto* application = static_cast<app::TApplication*>(QCoreApplication::instance());
  ScriptedDialogs dialogs;
  application->SetDialogs(&dialogs);
  bool laterEventRan = false;
  QTimer::singleShot(0, [] { throw std::runtime_error("壊れたデータ"); });
  QTimer::singleShot(0, [] { throw 42; });
  QTimer::singleShot(0, [&] { laterEventRan = true; });
  QEventLoop loop;
  QTimer::singleShot(20, &loop, &QEventLoop::quit);
  loop.exec();
  application->SetDialogs(nullptr);

  ASSERT_EQ(dialogs.boxes.size(), 2u);
  EXPECT_EQ(dialogs.boxes[0].kind, ScriptedDialogs::Kind::Error);
  EXPECT_EQ(dialogs.boxes[0].title, "写真トリミングツ－ル");
  EXPECT_EQ(dialogs.boxes[0].text, "壊れたデータ");
  EXPECT_EQ(dialogs.boxes[1].text, "") << "a thrown object that is not an exception has no text";
  EXPECT_TRUE(laterEventRan);
}

}  // namespace
}  // namespace phototrim
