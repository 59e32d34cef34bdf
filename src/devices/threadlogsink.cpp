#include "devices/threadlogsink.h"

#include "devices/handover.h"

void TThreadLogSink::LogText(TLogLevel level, std::int32_t serial, const std::string& text) {
  HandOver(Owner, [&] { Target.LogText(level, serial, text); });
}
