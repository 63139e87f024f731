// Notices when the X server destroys the main window under the program, so that it ends as if closed.
#pragma once

#include <functional>

#include <QAbstractNativeEventFilter>

class QWidget;

namespace phototrim::app {

// While this object lives, a DestroyNotify for `window`'s own X window (another client destroyed it)
// calls `onLost` once: the window closes, which stops a run going on as 中断 does, and the program
// ends instead of running on with nothing on the screen. Other platforms never send such an event.
class LostWindowWatch : public QAbstractNativeEventFilter {
 public:
  LostWindowWatch(const QWidget& window, std::function<void()> onLost);
  ~LostWindowWatch() override;
  LostWindowWatch(const LostWindowWatch&) = delete;
  LostWindowWatch& operator=(const LostWindowWatch&) = delete;

  bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

 private:
  const QWidget& window_;
  std::function<void()> onLost_;
  bool lost_ = false;
};

}  // namespace phototrim::app
