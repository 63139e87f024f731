// A main window destroyed on the X server under the program closes it, once; nothing else does.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>

#include <QWidget>

#include "app/lost_window_watch.h"

namespace phototrim {
namespace {

// A 32-byte X event as it comes off the wire: its code, and a window id at byte 8.
std::array<std::uint8_t, 32> XEvent(std::uint8_t code, std::uint32_t window) {
  std::array<std::uint8_t, 32> bytes{};
  bytes[0] = code;
  std::memcpy(bytes.data() + 8, &window, sizeof window);
  return bytes;
}

TEST(LostWindow, OnlyTheDestructionOfTheWindowsOwnXWindowClosesIt) {
  QWidget window;
  window.show();
  const auto own = static_cast<std::uint32_t>(window.winId());
  struct Case {
    const char* what;
    const char* type;
    std::uint8_t code;
    std::uint32_t window;
    int closes;
  };
  const Case cases[] = {
      {"its window destroyed", "xcb_generic_event_t", 17, own, 1},
      {"destroyed, as sent by a client", "xcb_generic_event_t", 17 | 0x80, own, 1},
      {"another window destroyed", "xcb_generic_event_t", 17, own + 1, 0},
      {"its window unmapped", "xcb_generic_event_t", 18, own, 0},
      {"another platform's event", "windows_generic_MSG", 17, own, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    int closes = 0;
    app::LostWindowWatch watch(window, [&closes] { ++closes; });
    auto event = XEvent(c.code, c.window);
    for (int twice = 0; twice < 2; ++twice) EXPECT_FALSE(watch.nativeEventFilter(c.type, event.data(), nullptr));
    EXPECT_EQ(closes, c.closes) << "at most once";
  }
}

}  // namespace
}  // namespace phototrim
