// A main window destroyed on the X server under the program closes it, once; nothing else does.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>

#include <QWidget>

#include "app/lost_window_watch.h"

namespace phototrim {
namespace {

TEST(LostWindow, OnlyTheDestructionOfTheWindowsOwnXWindowClosesIt) {
  QWidget window;
  window.show();
  const auto own = static_cast<std::uint32_t>(window.winId());
  struct Case {
    const char* type;
    std::uint8_t code;  // 17 is DestroyNotify; the top bit marks one sent by a client
    std::uint32_t window;
    int closes;
  } const cases[] = {{"xcb_generic_event_t", 17, own, 1},     {"xcb_generic_event_t", 17 | 0x80, own, 1},
                     {"xcb_generic_event_t", 17, own + 1, 0}, {"xcb_generic_event_t", 18, own, 0},
                     {"windows_generic_MSG", 17, own, 0}};
  for (const Case& c : cases) {
    std::array<std::uint8_t, 32> event{c.code};  // an X event as it comes off the wire
    std::memcpy(event.data() + 8, &c.window, sizeof c.window);
    int closes = 0;
    app::LostWindowWatch watch(window, [&closes] { ++closes; });
    for (int twice = 0; twice < 2; ++twice) EXPECT_FALSE(watch.nativeEventFilter(c.type, event.data(), nullptr));
    EXPECT_EQ(closes, c.closes) << c.type << " " << int(c.code) << " " << c.window;
  }
}

}  // namespace
}  // namespace phototrim
