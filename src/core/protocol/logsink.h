#pragma once
#include <cstdint>
#include <string>

#include "protocol/loglevel.h"

// Where core code (enumeration, identity query, write body) sends its log entries. On a
// worker thread the implementation hands each entry over to the main thread and returns
// only once it has been logged, so the entries of one thread keep their order.
// Texts are UTF-8. Serial number 0 means the entry is about no particular device.
class TLogSink {
public:
  virtual void LogText(TLogLevel level, std::int32_t serial, const std::string& text) = 0;

  void LogMessage(TLogLevel level, std::int32_t serial, const char* format, ...)
      __attribute__((format(printf, 4, 5)));

protected:
  ~TLogSink() = default;
};
