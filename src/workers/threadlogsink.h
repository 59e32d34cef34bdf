#pragma once
#include <QObject>

#include "protocol/logsink.h"

// The log sink of worker threads (scan, writes). Each entry is handed over to the thread
// of `owner`, where `target` logs it, and LogText returns only once it has been logged,
// so the entries of one worker keep their order. Called on the owner's thread itself it
// logs directly, since waiting there for the owner's own event loop would never end.
// The caller must hold no lock that the owner's thread may wait for, and the owner's
// event loop must be running while a worker logs; both must outlive every worker.
class TThreadLogSink final : public TLogSink {
public:
  TThreadLogSink(QObject& owner, TLogSink& target) : Owner(owner), Target(target) {}

  void LogText(TLogLevel level, std::int32_t serial, const std::string& text) override;

private:
  QObject& Owner;
  TLogSink& Target;
};
