#pragma once
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <chrono>
#include <functional>
#include <thread>

// Runs the event loop until `done` holds; the bound is generous, the wait ends early.
inline bool WaitUntil(const std::function<bool()>& done, int boundMs = 120000) {
  const QDeadlineTimer deadline(boundMs);
  while (!done()) {
    if (deadline.hasExpired()) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}
