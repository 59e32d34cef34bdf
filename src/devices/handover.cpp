#include "devices/handover.h"

#include <QMetaObject>
#include <QThread>
#include <future>
#include <memory>

void HandOver(QObject& owner, const std::function<void()>& work) {
  if (QThread::currentThread() == owner.thread()) {
    work();
    return;
  }
  // A queued call and a promise rather than a blocking connection: the wait is then
  // visible to the thread sanitizer, which cannot see inside the toolkit's semaphores.
  // Should the call be dropped unrun (its receiver gone), the promise is destroyed with
  // it and the wait ends all the same.
  auto delivered = std::make_shared<std::promise<void>>();
  std::future<void> done = delivered->get_future();
  QMetaObject::invokeMethod(
      &owner,
      [&work, delivered] {
        work();
        delivered->set_value();
      },
      Qt::QueuedConnection);
  delivered.reset();
  done.wait();
}
