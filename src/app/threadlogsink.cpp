#include "app/threadlogsink.h"

#include <QMetaObject>
#include <QThread>
#include <future>
#include <memory>

void TThreadLogSink::LogText(TLogLevel level, std::int32_t serial, const std::string& text) {
  if (QThread::currentThread() == Owner.thread()) {
    Target.LogText(level, serial, text);
    return;
  }
  // A queued call and a promise rather than a blocking connection: the wait is then
  // visible to the thread sanitizer, which cannot see inside the toolkit's semaphores.
  // Should the call be dropped unrun (its receiver gone), the promise is destroyed with
  // it and the wait ends all the same.
  auto delivered = std::make_shared<std::promise<void>>();
  std::future<void> done = delivered->get_future();
  QMetaObject::invokeMethod(
      &Owner,
      [this, level, serial, &text, delivered] {
        Target.LogText(level, serial, text);
        delivered->set_value();
      },
      Qt::QueuedConnection);
  delivered.reset();
  done.wait();
}
