// The watch for a main window destroyed on the X server.
#include "app/lost_window_watch.h"

#include <cstdint>
#include <cstring>
#include <utility>

#include <QCoreApplication>
#include <QWidget>

namespace phototrim::app {

namespace {
// The X protocol's DestroyNotify on the wire: its code in the first byte (the top bit marks an event
// sent by a client), the destroyed window's id at byte 8.
constexpr std::uint8_t kDestroyNotify = 17;
constexpr std::size_t kDestroyedWindowOffset = 8;
}  // namespace

LostWindowWatch::LostWindowWatch(const QWidget& window, std::function<void()> onLost)
    : window_(window), onLost_(std::move(onLost)) {
  QCoreApplication::instance()->installNativeEventFilter(this);
}

LostWindowWatch::~LostWindowWatch() {
  if (QCoreApplication* application = QCoreApplication::instance()) application->removeNativeEventFilter(this);
}

bool LostWindowWatch::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
  if (lost_ || eventType != "xcb_generic_event_t" || !message) return false;
  const auto* bytes = static_cast<const std::uint8_t*>(message);
  if ((bytes[0] & 0x7f) != kDestroyNotify) return false;
  std::uint32_t destroyed = 0;
  std::memcpy(&destroyed, bytes + kDestroyedWindowOffset, sizeof destroyed);
  const WId own = window_.internalWinId();
  if (own == 0 || destroyed != own) return false;
  lost_ = true;
  onLost_();
  return false;  // Qt may still tidy up after its window
}

}  // namespace phototrim::app
