#include "protocol/logsink.h"

#include "protocol/textformat.h"

void TLogSink::LogMessage(TLogLevel level, std::int32_t serial, const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  const std::string text = FormatTextV(format, args);
  va_end(args);
  LogText(level, serial, text);
}
