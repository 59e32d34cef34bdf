// The loader's start-up as the program runs it, up to the first paint of its window: the
// fonts loaded and the window built while the program's seal is checked (of VLFWLoader
// beside this file), then shown with its settings, the built-in image and both driver
// libraries.
// The single-instance lock is left out: it is one lock file and one local socket, and
// taking it here would turn away a copy of the program that a test runs meanwhile.
//   startup_loader <program directory for settings and logs>
#include <QLabel>
#include <QDir>

#include "app/programstart.h"
#include "link/driverlibs.h"
#include "startupprobe.h"

int main(int argc, char** argv) {
  const double atMain = MsSinceSpawn();
  TFontWarmUp fonts;
  QApplication app(argc, argv);
  const double atApplication = MsSinceSpawn();
  QCoreApplication::setApplicationName(QStringLiteral("VLFWLoader"));
  TMainFormSetup setup;
  setup.ProgramDir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::tempPath() + u'/';
  setup.ShowMessage = [](const QString& text) {
    std::fprintf(stderr, "start-up message: %s\n", qPrintable(text));
  };
  TProgramStart start = BuildWindowCheckingSeal(
      QCoreApplication::applicationDirPath() + QStringLiteral("/VLFWLoader"), std::move(setup),
      fonts);
  if (!start.Window) {
    std::fprintf(stderr, "startup_loader: the program's seal does not hold\n");
    return 1;
  }
  const double atWindow = MsSinceSpawn();
  TFirstPaintProbe probe(*start.Window);
  start.Window->show();
  // Where the time goes, for the closing note; the benchmark reads only "shown".
  std::printf("phases: main %.1f, application %.1f, window built and seal checked %.1f, "
              "shown %.1f ms\n", atMain, atApplication, atWindow, MsSinceSpawn());
  if (start.Window->findChild<QLabel*>("lblFileVer")->text() == QStringLiteral("Неизвестна") || !FtdiDriverLoaded() || !QnDriverLoaded()) {
    std::fprintf(stderr, "startup_loader: the image or a driver library did not load\n");
    return 1;
  }
  return QApplication::exec();
}
