// How the window shows the rows of the size table: the size buttons and the ratio labels beside them.
#pragma once

#include <array>
#include <tuple>

#include "trim/geometry/size_table.h"

namespace phototrim::app {

struct SizeCaption {
  const char* control;       // RadioButton1 …
  const char* caption;       // as the button shows it, aligned for a fixed-pitch font
  const char* ratioControl;  // StaticText1 …
  const char* ratioText;     // display only
};

// By row of kSizeTable.
extern const std::array<SizeCaption, std::tuple_size_v<decltype(kSizeTable)>> kSizeCaptions;

}  // namespace phototrim::app
