#include "cli/station.h"

#include <cstdio>

#include "cli/console.h"
#include "cli/stationevents.h"
#include "resources/builtinimage.h"
#include "shell/appdirs.h"
#include "shell/logline.h"

namespace {

QString Text(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

TStation::TStation(const TStationOptions& options, TStationOutput& output, const QString& logDir,
                   TDeviceEnumerator* enumerator, TChannelFactory* channels)
    : Options(options), Run(options), Output(output) {
  if (!logDir.isEmpty()) {
    LogFile = std::make_unique<TLogFile>();
    LogFile->SetProgramDir(logDir);
    LogFile->SetFallbackDir(UserDataDirectory());
  }
  Devices = std::make_unique<TDeviceController>(*this, static_cast<TImageProvider&>(*this), nullptr,
                                                enumerator, channels);
  using TController = TDeviceController;
  connect(Devices.get(), &TController::DeviceListed, this, &TStation::OnListed);
  connect(Devices.get(), &TController::WriteEnded, this, &TStation::OnWriteEnded);
  connect(Devices.get(), &TController::ScanEnded, this, &TStation::OnScanEnded);
  connect(Devices.get(), &TController::DeviceProgress, this, [this](TController::TDeviceId id, int percent) {
    const auto write = Writes.find(id);
    if (write != Writes.end()) Output.Progress(write->second.Device.SerialNumber, percent);
  });
  connect(Devices.get(), &TController::DeviceRemoved, this,
          [this](TController::TDeviceId, std::int32_t serial) { Output.Event(GoneEvent(serial)); });
  // Plugs and unplugs reach the controller as they reach the window.
  DeviceWatch = std::make_unique<TDeviceWatch>(TDeviceWatch::SimBusPathFromEnvironment());
  connect(DeviceWatch.get(), &TDeviceWatch::DeviceChange, Devices.get(),
          &TDeviceController::OnDeviceChange);
  connect(DeviceWatch.get(), &TDeviceWatch::EndRequested, this, &TStation::Interrupt);
  // The system ends the program as soon as this returns; Interrupt returns once every
  // write has stopped with its closing frame and the summary is out.
  connect(DeviceWatch.get(), &TDeviceWatch::SessionEnding, this, [this] {
    Interrupt();
    std::fflush(stdout);
  });
  Timeout.setSingleShot(true);
  connect(&Timeout, &QTimer::timeout, this, &TStation::OnTimeout);
}

TStation::~TStation() { Devices->Shutdown(); }

void TStation::LogText(TLogLevel level, std::int32_t serial, const std::string& text) {
  if (LogFile) LogFile->Write(LogLinePrefix(serial) + text);
  if (level != llError) return;
  // Errors reach the person or script at the station as well; the rest is in the log.
  if (Output.Json()) {
    Output.Event(QStringLiteral("log"), {{"serial", serial}, {"level", "error"}, {"text", Text(text)}}, {});
  } else {
    WriteText(stderr, QByteArray::fromStdString(LogLinePrefix(serial) + text + '\n'));
  }
}

TFirmwareImage TStation::LoadImage() {
  return LoadChosenImage(!Options.Image.empty(), Options.Image, *this);
}

bool TStation::Prepare() {
  if (Options.Command != TStationCommand::Write && Options.Command != TStationCommand::Watch)
    return true;
  TFirmwareImage image = LoadImage();
  FreeBlocks(image.Blocks);
  if (!image.Loaded) {
    Exit = exUsage;
    return false;
  }
  ImageVersion = image.Version;
  Output.Event(ImageEvent(ImageVersion, Text(Options.Image)));
  if (!Options.Report.empty()) {
    Report = std::make_unique<TStationReport>(QString::fromStdString(Options.Report));
    QString error;
    if (Report->Open(error) != TStationReport::TOpenResult::Ready) {
      Output.Event(QStringLiteral("error"), {{"text", "report file: " + error}},
                   QStringLiteral("Файл отчёта %1 не записывается: %2")
                       .arg(QString::fromStdString(Options.Report), error));
      Exit = exUsage;
      return false;
    }
  }
  return true;
}

void TStation::Start() {
  Devices->Start();
  if (Options.Command == TStationCommand::Write) Timeout.start(Options.TimeoutSeconds * 1000);
}

void TStation::OnListed(TDeviceController::TDeviceId, const TDeviceIdentity& device) {
  emit Listed(device.SerialNumber);
  Output.Event(ListedEvent(device));
  if (device.MustReconnect) Output.Event(ReconnectEvent(device));
}

void TStation::OnScanEnded(int errorCode) {
  if (Ending) return;
  if (Options.Command == TStationCommand::List) {
    Finish(errorCode == 0 ? exWritten : exWriteFailed);
    return;
  }
  std::vector<std::int32_t> listed;
  for (const auto id : Devices->Devices()) listed.push_back(Devices->Device(id)->SerialNumber);
  Run.ScanEnded(listed);
  // Writes start once the merge has listed every device, in the order listed, as clicks
  // on their buttons would start them.
  for (const auto id : Devices->Devices()) {
    const TDeviceIdentity device = Devices->Device(id)->Identity();
    if (!Run.ShouldWrite(id, device.SerialNumber, device.BootMode)) continue;
    Run.WriteStarted(id);
    Writes[id] = {QDateTime::currentDateTime(), device};
    Output.Event(StartedEvent(device.SerialNumber));
    Devices->RequestWrite(id);
  }
}

void TStation::OnWriteEnded(TDeviceController::TDeviceId id, const TWriteOutcome& outcome) {
  const auto found = Writes.find(id);
  if (found == Writes.end()) return;
  const TWrite write = found->second;
  Writes.erase(found);
  const double seconds = write.Started.msecsTo(QDateTime::currentDateTime()) / 1000.0;
  Output.Event(ResultEvent(outcome, seconds));
  Record(write, outcome, seconds);
  Run.WriteEnded(outcome.SerialNumber, outcome.ResultCode == wrSuccess,
                 outcome.ResultCode == wrStopped && Ending);
  if (Ending) return;  // Interrupt finishes the run once every write has ended
  if (const auto exit = Run.ExitAfterWrite()) Finish(*exit);
}

void TStation::Record(const TWrite& write, const TWriteOutcome& outcome, double seconds) {
  if (!Report) return;
  const TDeviceIdentity& device = write.Device;
  const TStationReport::TRecord record{.Finished = QDateTime::currentDateTime(),
                                       .Serial = device.SerialNumber,
                                       .Adapter = AdapterKey(device.AdapterKind),
                                       .FirmwareBefore = Text(device.FirmwareVersion.VersionText()),
                                       .ImageVersion = Text(ImageVersion.VersionText()),
                                       .ResultCode = outcome.ResultCode,
                                       .ResultText = Text(outcome.StatusText),
                                       .Seconds = seconds};
  QString error;
  if (Report->Append(record, error)) return;
  // The line relies on the report: a record that is not there fails the run, and the
  // daily log keeps it whole so that it can be added by hand.
  Run.ReportLost();
  if (LogFile)
    LogFile->Write(LogLinePrefix(device.SerialNumber) + "Запись не добавлена в файл отчёта " +
                   Report->FilePath().toStdString() + ": " + TStationReport::Line(record).toStdString());
  Output.Event(QStringLiteral("error"),
               {{"serial", device.SerialNumber}, {"file", Report->FilePath()},
                {"text", "report file: " + error}},
               QStringLiteral("%1: запись не добавлена в файл отчёта %2: %3")
                   .arg(device.SerialNumber)
                   .arg(Report->FilePath(), error));
}

void TStation::OnTimeout() {
  if (Ending) return;
  if (const auto exit = Run.ExitOnTimeout()) Finish(*exit);
}

void TStation::Interrupt() {
  if (Ending) return;
  Ending = true;
  Timeout.stop();
  // Stops every write between sectors and waits for their ends, which are printed.
  Devices->Shutdown();
  Finish(exInterrupted);
}

void TStation::Finish(int exitCode) {
  exitCode = Run.FinalExit(exitCode);
  Exit = exitCode;
  Ending = true;
  Timeout.stop();
  if (Options.Command != TStationCommand::List) Output.Event(SummaryEvent(Run, exitCode));
  emit Finished(exitCode);
}
