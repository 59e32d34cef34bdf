// The loader's start-up as the program runs it, up to the first paint of its window: the
// check of the program's seal (of VLFWLoader beside this file, which is sealed the same
// way), the window with its settings, the built-in image and both driver libraries.
// The single-instance lock is left out: it is one lock file and one local socket, and
// taking it here would turn away a copy of the program that a test runs meanwhile.
//   startup_loader <program directory for settings and logs>
#include <QDir>

#include "app/integritycheck.h"
#include "app/mainform.h"
#include "link/driverlibs.h"
#include "startupprobe.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("VLFWLoader"));
  const QString program = QCoreApplication::applicationDirPath() + QStringLiteral("/VLFWLoader");
  if (CheckExecutableSeal(program) != TIntegrity::Intact) {
    std::fprintf(stderr, "startup_loader: %s is not sealed\n", qPrintable(program));
    return 1;
  }
  TMainFormSetup setup;
  setup.ProgramDir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::tempPath() + u'/';
  setup.ShowMessage = [](const QString& text) {
    std::fprintf(stderr, "start-up message: %s\n", qPrintable(text));
  };
  TMainForm form(std::move(setup));
  TFirstPaintProbe probe(form);
  form.show();
  if (!form.BuiltInLoaded || !FtdiDriverLoaded() || !QnDriverLoaded()) {
    std::fprintf(stderr, "startup_loader: the image or a driver library did not load\n");
    return 1;
  }
  return QApplication::exec();
}
