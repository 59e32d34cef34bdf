// The loader's start-up as the program runs it, up to the first paint of its window: the
// check of the program's seal (of VLFWLoader beside this file, or of the sealed program
// named second), the window with its settings, the built-in image and both driver
// libraries.
// The single-instance lock is left out: it is one lock file and one local socket, and
// taking it here would turn away a copy of the program that a test runs meanwhile.
//   startup_loader <program directory for settings and logs> [sealed program]
#include <QDir>

#include "app/integritycheck.h"
#include "app/mainform.h"
#include "link/driverlibs.h"
#include "startupprobe.h"

int main(int argc, char** argv) {
  const double atMain = MsSinceSpawn();
  QApplication app(argc, argv);
  const double atApplication = MsSinceSpawn();
  QCoreApplication::setApplicationName(QStringLiteral("VLFWLoader"));
  const QString program = argc > 2 ? QString::fromLocal8Bit(argv[2])
                                   : QCoreApplication::applicationDirPath() + QStringLiteral("/VLFWLoader");
  if (CheckExecutableSeal(program) != TIntegrity::Intact) {
    std::fprintf(stderr, "startup_loader: %s is not sealed\n", qPrintable(program));
    return 1;
  }
  const double atSeal = MsSinceSpawn();
  TMainFormSetup setup;
  setup.ProgramDir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::tempPath() + u'/';
  setup.ShowMessage = [](const QString& text) {
    std::fprintf(stderr, "start-up message: %s\n", qPrintable(text));
  };
  TMainForm form(std::move(setup));
  const double atWindow = MsSinceSpawn();
  TFirstPaintProbe probe(form);
  form.show();
  // Where the time goes, for the closing note; the benchmark reads only "shown".
  std::printf("phases: main %.1f, application %.1f, seal %.1f, window built %.1f, shown %.1f ms\n",
              atMain, atApplication, atSeal, atWindow, MsSinceSpawn());
  if (!form.BuiltInLoaded || !FtdiDriverLoaded() || !QnDriverLoaded()) {
    std::fprintf(stderr, "startup_loader: the image or a driver library did not load\n");
    return 1;
  }
  return QApplication::exec();
}
