// The baseline of the start-up benchmark: a bare Qt program that shows an empty window.
#include "startupprobe.h"

int main(int argc, char** argv) {
  const double atMain = MsSinceSpawn();
  QApplication app(argc, argv);
  std::printf("phases: main %.1f, application %.1f ms\n", atMain, MsSinceSpawn());
  QWidget window;
  TFirstPaintProbe probe(window);
  window.show();
  return QApplication::exec();
}
