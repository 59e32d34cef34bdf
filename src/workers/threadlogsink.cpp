#include "workers/threadlogsink.h"

#include "workers/handover.h"

void TThreadLogSink::LogText(TLogLevel level, std::int32_t serial, const std::string& text) {
  HandOver(Owner, [&] { Target.LogText(level, serial, text); });
}
