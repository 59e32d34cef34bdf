// A second baseline of the start-up benchmark, for the reading of its figure: a bare Qt
// program whose window shows one line of text in each of the loader window's four fonts.
// What it costs beyond the empty window is the toolkit's font set-up, which any window
// with text pays and the empty window never does.
#include <QLabel>
#include <QVBoxLayout>

#include "startupprobe.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QWidget window;
  auto* layout = new QVBoxLayout(&window);
  const struct {
    int PointSize;
    bool Bold;
  } fonts[] = {{8, false}, {10, false}, {12, false}, {10, true}};
  for (const auto& font : fonts) {
    auto* label = new QLabel(QStringLiteral("Файл прошивки: Неизвестна"), &window);
    QFont face;
    face.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("Nimbus Sans"),
                      QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    face.setPointSize(font.PointSize);
    face.setBold(font.Bold);
    label->setFont(face);
    layout->addWidget(label);
  }
  TFirstPaintProbe probe(window);
  window.show();
  return QApplication::exec();
}
