#pragma once
// Shared by the two start-up programs the start-up benchmark runs: the time from the
// moment the benchmark started the process (VL_BENCH_T0_NS, steady clock) until the
// window's first paint, printed as "shown <ms>", after which the program quits.
#include <QApplication>
#include <QEvent>
#include <QWidget>
#include <cstdio>
#include <ctime>

inline double MsSinceSpawn() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  const double nowNs = static_cast<double>(now.tv_sec) * 1e9 + static_cast<double>(now.tv_nsec);
  return (nowNs - qEnvironmentVariable("VL_BENCH_T0_NS").toDouble()) / 1e6;
}

class TFirstPaintProbe : public QObject {
public:
  explicit TFirstPaintProbe(QWidget& window) { window.installEventFilter(this); }

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && !Seen) {
      Seen = true;
      std::printf("shown %.3f\n", MsSinceSpawn());
      std::fflush(stdout);
      QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    }
    return QObject::eventFilter(watched, event);
  }

private:
  bool Seen = false;
};
