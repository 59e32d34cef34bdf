#pragma once

// Dates as the image container keeps them: days since 30 December 1899 as a double,
// the fraction being the time of day.
struct TDateTimeParts {
  int Year = 1899, Month = 12, Day = 30;
  int Hour = 0, Minute = 0, Second = 0, Millisecond = 0;
};

// False when the parts are no valid calendar date (years 1 to 9999) and time of day.
bool TryEncodeDateTime(const TDateTimeParts& parts, double& value);
TDateTimeParts DecodeDateTime(double value);
