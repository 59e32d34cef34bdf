#include "protocol/firmwareversion.h"

#include <cmath>
#include <cstdint>

#include "protocol/cp1251.h"
#include "protocol/datetime.h"
#include "protocol/scanformat.h"
#include "protocol/textformat.h"

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// White space and control characters count as blanks when the suffix is trimmed.
bool IsTrimmed(char c) {
  const auto b = static_cast<unsigned char>(c);
  return b <= 0x20 || b == 0x7F;
}

}  // namespace

bool TFirmwareVersion::Parse(std::string_view text) {
  text = text.substr(0, text.find('\0'));
  if (text == "Unknown") {
    FamilyCode = "unk";
    VersionNumber = 1;
    return true;
  }
  const size_t dash = text.find('-');
  FamilyCode = std::string(dash == std::string_view::npos ? std::string_view{} : text.substr(0, dash));
  const std::string_view rest = dash == std::string_view::npos ? text : text.substr(dash + 1);
  if (FamilyCode.empty()) return false;

  std::int32_t numbers[2] = {};
  if (ScanFormat(rest, "%d.%d", numbers, 2) < 2) return false;
  VersionNumber = static_cast<std::uint16_t>(static_cast<std::uint32_t>(numbers[0]) * 100u +
                                             static_cast<std::uint32_t>(numbers[1]));

  size_t start = 0;
  while (start < rest.size() && (IsDigit(rest[start]) || rest[start] == '.')) ++start;
  size_t end = rest.size();
  while (start < end && IsTrimmed(rest[start])) ++start;
  while (end > start && IsTrimmed(rest[end - 1])) --end;
  Suffix = std::string(rest.substr(start, end - start));
  return true;
}

std::string TFirmwareVersion::VersionText() const {
  if (FamilyCode == "unk") return "Empty";
  if (VersionNumber == 0) return "?????";
  return Cp1251ToPrintableUtf8(FamilyCode) +
         FormatText("-%d.%d", VersionNumber / 100, VersionNumber % 100) +
         Cp1251ToPrintableUtf8(Suffix);
}

std::string TFirmwareVersion::BuildDateText() const {
  if (std::trunc(BuildDate) == 0) return "неизвестна";
  const TDateTimeParts parts = DecodeDateTime(BuildDate);
  return FormatText("%02d-%02d-%04d %02d:%02d:%02d", parts.Day, parts.Month, parts.Year,
                    parts.Hour, parts.Minute, parts.Second);
}
