#include "protocol/scanformat.h"

namespace {

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

bool ScanInt(std::string_view text, std::size_t& pos, std::int32_t& value) {
  std::size_t p = pos;
  while (p < text.size() && IsSpace(text[p])) ++p;
  bool negative = false;
  if (p < text.size() && (text[p] == '+' || text[p] == '-')) {
    negative = text[p] == '-';
    ++p;
  }
  if (p >= text.size() || !IsDigit(text[p])) return false;
  std::uint32_t magnitude = 0;
  while (p < text.size() && IsDigit(text[p]))
    magnitude = magnitude * 10u + static_cast<std::uint32_t>(text[p++] - '0');
  value = static_cast<std::int32_t>(negative ? 0u - magnitude : magnitude);
  pos = p;
  return true;
}

int ScanFormat(std::string_view text, std::string_view pattern, std::int32_t* values,
               int maxValues) {
  std::size_t pos = 0;
  int count = 0;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    const char c = pattern[i];
    if (c == '%' && i + 1 < pattern.size() && pattern[i + 1] == 'd') {
      ++i;
      if (count >= maxValues || !ScanInt(text, pos, values[count])) break;
      ++count;
    } else if (IsSpace(c)) {
      while (pos < text.size() && IsSpace(text[pos])) ++pos;
    } else {
      if (pos >= text.size() || text[pos] != c) break;
      ++pos;
    }
  }
  return count;
}
