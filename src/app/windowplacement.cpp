#include "app/windowplacement.h"

#include <QStringList>
#include <limits>

namespace {

// Reads one number at `pos`; false (pos unchanged) when none is there or it overflows.
bool ReadNumber(QStringView text, qsizetype& pos, int* value) {
  qsizetype at = pos;
  while (at < text.size() && (text[at] == u' ' || text[at] == u'\t')) ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == u'-' || text[at] == u'+')) {
    negative = text[at] == u'-';
    ++at;
  }
  const qsizetype digitsStart = at;
  long long magnitude = 0;
  const long long limit = static_cast<long long>(std::numeric_limits<int>::max()) + 1;
  while (at < text.size() && text[at] >= u'0' && text[at] <= u'9') {
    magnitude = magnitude * 10 + (text[at].unicode() - u'0');
    if (magnitude > limit) return false;
    ++at;
  }
  if (at == digitsStart) return false;
  if (!negative && magnitude == limit) return false;
  *value = static_cast<int>(negative ? -magnitude : magnitude);
  pos = at;
  return true;
}

}  // namespace

TWindowPlacement ParseWindowPlacement(QStringView text) {
  TWindowPlacement setting;
  qsizetype pos = 0;
  for (int i = 0; i < TWindowPlacement::kFieldCount; ++i) {
    if (i > 0) {
      if (pos >= text.size() || text[pos] != u',') break;
      ++pos;
    }
    int value = 0;
    if (!ReadNumber(text, pos, &value)) break;
    setting.Values[static_cast<size_t>(i)] = value;
    setting.Found = i + 1;
  }
  while (pos < text.size() && (text[pos] == u' ' || text[pos] == u'\t')) ++pos;
  setting.Trailing = pos < text.size();
  return setting;
}

QString FormatWindowPlacement(const std::array<int, TWindowPlacement::kFieldCount>& values) {
  QStringList parts;
  for (int value : values) parts << QString::number(value);
  return parts.join(u',');
}
