// vlfwflash: the station command line, the device controller's second front end beside
// the window. Usage and the JSON lines it prints: README.md.
#include <QCoreApplication>
#include <QDir>
#include <QJsonValue>
#include <QMetaObject>
#include <algorithm>
#include <cstdio>
#include <initializer_list>

#include "shell/appdirs.h"
#include "shell/devicelock.h"
#include "shell/integritycheck.h"
#include "shell/programversion.h"
#include "shell/timerthrottling.h"
#include "cli/console.h"
#include "cli/imageinfo.h"
#include "cli/interrupt.h"
#include "cli/station.h"
#include "link/driverlibs.h"

int main(int argc, char** argv) {
  // Before any file is opened: a file must never take the place of a closed output.
  KeepStandardStreamsOpen();
  KeepTimerResolutionWhenHidden();  // a console minimised or covered throttles as a window does
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("VLFWLoader"));
  std::vector<std::string> arguments;
  for (const QString& argument : QCoreApplication::arguments().mid(1))
    arguments.push_back(argument.toStdString());
  const auto asked = [&arguments](std::initializer_list<const char*> words) {
    return std::any_of(arguments.begin(), arguments.end(), [&words](const std::string& argument) {
      return std::find(words.begin(), words.end(), argument) != words.end();
    });
  };
  if (asked({"--help", "-h"})) {
    WriteText(stdout, kStationUsage);
    return 0;
  }
  if (asked({"--version"})) {
    WriteText(stdout, QByteArray("vlfwflash ") + kProgramVersion + '\n');
    return 0;
  }
  const TStationParse parse = ParseStationArguments(arguments);
  if (!parse.Options) {
    WriteText(stderr, "vlfwflash: " + QByteArray::fromStdString(parse.Error) + '\n' + kStationUsage);
    return TStation::exUsage;
  }
  const TStationOptions& options = *parse.Options;
  TStationOutput output(options.Json);
  output.Event(StartEvent({TStation::StationId(options),
                           QString::fromStdString(options.Operator),
                           QCoreApplication::arguments().mid(1)}));
  // A program whose file changed after the build writes no device.
  const TIntegrity integrity = CheckExecutableSeal(QCoreApplication::applicationFilePath());
  if (integrity != TIntegrity::Intact) {
    output.Event(ErrorEvent(QStringLiteral("program_damaged"),
                            QStringLiteral("the program file is damaged or changed"),
                            IntegrityFailureText(integrity)));
    return TStation::exDamaged;
  }
  if (options.Command == TStationCommand::Info) return PrintImageInfo(options.Image, output);

  // The window and the station never drive the same devices at once, whoever runs them.
  TDeviceLock devices(QStringLiteral("vlfwflash"));
  if (!devices.TryAcquire()) {
    const QString holder = devices.Holder();
    output.Event(ErrorEvent(
        QStringLiteral("devices_held"),
        "the devices are held by " + (holder.isEmpty() ? QStringLiteral("another program") : holder),
        TDeviceLock::RefusalText(holder),
        {{"holder", holder.isEmpty() ? QJsonValue() : QJsonValue(holder)}}));
    return TStation::exOtherCopy;
  }
  const TLoadedDrivers drivers = LoadDriverLibraries();
  if (!drivers.Ftdi && !drivers.Qn) {
    output.Event(ErrorEvent(QStringLiteral("no_driver"),
                            QStringLiteral("no driver library is installed"),
                            QStringLiteral("Драйверы устройств FTDI и QN не установлены.")));
    return TStation::exNoDriver;
  }

  // The log goes where the window keeps it: beside the program, or in the user's data
  // directory for a copy installed for all users.
  const QString logDir =
      options.Log ? LogFolderFor(QCoreApplication::applicationDirPath()) : QString();
  TStation station(options, output, logDir);
  QObject::connect(&station, &TStation::Finished, &app, [](int code) { QCoreApplication::exit(code); },
                   Qt::QueuedConnection);
  // Before anything is printed: a request to end that comes while the image loads waits
  // for the event loop and ends the run there, instead of killing the program unsaid.
  InstallInterruptHandler(station, [&station] { station.Interrupt(); });
  // An output nobody reads any more is a request to end as well: the writes stop between
  // sectors with their closing frames and the report still gets its lines.
  output.OnBroken([&station] {
    QMetaObject::invokeMethod(&station, [&station] { station.Interrupt(); }, Qt::QueuedConnection);
  });
  if (!station.Prepare()) return station.ExitCode();
  station.Start();
  const int code = QCoreApplication::exec();
  RunEnded();
  return code;
}
