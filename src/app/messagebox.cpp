#include "app/messagebox.h"

#include <QGuiApplication>

bool MessageBoxesVisible() {
  const QString platform = QGuiApplication::platformName();
  return platform != u"offscreen" && platform != u"minimal";
}
