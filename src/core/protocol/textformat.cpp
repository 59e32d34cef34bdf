#include "protocol/textformat.h"

#include <cstdio>
#include <vector>

std::string FormatTextV(const char* format, std::va_list args) {
  std::va_list measure;
  va_copy(measure, args);
  const int needed = std::vsnprintf(nullptr, 0, format, measure);
  va_end(measure);
  if (needed <= 0) return {};
  std::string text(static_cast<size_t>(needed), '\0');
  std::vsnprintf(text.data(), text.size() + 1, format, args);
  return text;
}

std::string FormatText(const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  std::string text = FormatTextV(format, args);
  va_end(args);
  return text;
}
