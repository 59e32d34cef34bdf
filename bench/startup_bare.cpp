// The baseline of the start-up benchmark: a bare Qt program that shows an empty window.
#include "startupprobe.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QWidget window;
  TFirstPaintProbe probe(window);
  window.show();
  return QApplication::exec();
}
