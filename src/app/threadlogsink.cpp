#include "app/threadlogsink.h"

#include <QMetaObject>
#include <QThread>

void TThreadLogSink::LogText(TLogLevel level, std::int32_t serial, const std::string& text) {
  if (QThread::currentThread() == Owner.thread()) {
    Target.LogText(level, serial, text);
    return;
  }
  QMetaObject::invokeMethod(
      &Owner, [this, level, serial, &text] { Target.LogText(level, serial, text); },
      Qt::BlockingQueuedConnection);
}
