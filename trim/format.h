// printf-style formatting into a std::string, for the run's fixed message formats.
#pragma once

#include <cstdio>
#include <string>

namespace phototrim {

template <typename... Args>
std::string Format(const char* format, Args... args) {
  const int length = std::snprintf(nullptr, 0, format, args...);
  if (length <= 0) return {};
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  std::snprintf(text.data(), text.size(), format, args...);
  text.resize(static_cast<std::size_t>(length));
  return text;
}

}  // namespace phototrim
