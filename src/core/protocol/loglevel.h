#pragma once
#include <cstdint>

// Level of a log entry; it also colours a device panel's status line.
// Any other value is shown like llInfo.
enum TLogLevel : std::uint8_t {
  llInfo = 0,
  llError = 1,
  llSuccess = 2,
};
