#pragma once
// Shared by the baseline programs of the start-up benchmark: at the window's first paint
// they say "first paint" on their error stream, as the loader's own start-up log does,
// and quit.
#include <QApplication>
#include <QEvent>
#include <QWidget>
#include <cstdio>

class TFirstPaintProbe : public QObject {
public:
  explicit TFirstPaintProbe(QWidget& window) { window.installEventFilter(this); }

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && !Seen) {
      Seen = true;
      std::fprintf(stderr, "first paint\n");
      std::fflush(stderr);
      QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    }
    return QObject::eventFilter(watched, event);
  }

private:
  bool Seen = false;
};
