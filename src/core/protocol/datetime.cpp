#include "protocol/datetime.h"

#include <cmath>
#include <cstdint>

namespace {

// Days from 1970-01-01 to the given civil date (proleptic Gregorian calendar).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, int& year, int& month, int& day) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (month <= 2));
}

constexpr std::int64_t kEpochOffset = 25569;  // 1899-12-30 to 1970-01-01, in days
constexpr double kMsPerDay = 86400000.0;

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : days[m - 1];
}

}  // namespace

bool TryEncodeDateTime(const TDateTimeParts& p, double& value) {
  if (p.Year < 1 || p.Year > 9999 || p.Month < 1 || p.Month > 12) return false;
  if (p.Day < 1 || p.Day > DaysInMonth(p.Year, p.Month)) return false;
  if (p.Hour < 0 || p.Hour > 23 || p.Minute < 0 || p.Minute > 59 || p.Second < 0 ||
      p.Second > 59 || p.Millisecond < 0 || p.Millisecond > 999)
    return false;
  const std::int64_t days =
      DaysFromCivil(p.Year, static_cast<unsigned>(p.Month), static_cast<unsigned>(p.Day)) +
      kEpochOffset;
  const double time =
      ((p.Hour * 60.0 + p.Minute) * 60.0 + p.Second) * 1000.0 + p.Millisecond;
  // Before the epoch the fraction still counts forward from midnight of the day.
  value = days >= 0 ? static_cast<double>(days) + time / kMsPerDay
                    : static_cast<double>(days) - time / kMsPerDay;
  return true;
}

TDateTimeParts DecodeDateTime(double value) {
  TDateTimeParts parts;
  if (!std::isfinite(value) || std::fabs(value) > 3e6) return parts;
  std::int64_t days = static_cast<std::int64_t>(std::trunc(value));
  std::int64_t ms = std::llround(std::fabs(value - static_cast<double>(days)) * kMsPerDay);
  if (ms >= static_cast<std::int64_t>(kMsPerDay)) {
    ms -= static_cast<std::int64_t>(kMsPerDay);
    days += value >= 0 ? 1 : -1;
  }
  CivilFromDays(days - kEpochOffset, parts.Year, parts.Month, parts.Day);
  parts.Millisecond = static_cast<int>(ms % 1000);
  parts.Second = static_cast<int>(ms / 1000 % 60);
  parts.Minute = static_cast<int>(ms / 60000 % 60);
  parts.Hour = static_cast<int>(ms / 3600000);
  return parts;
}
