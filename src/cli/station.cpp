#include "cli/station.h"

#include <QCryptographicHash>
#include <QFile>
#include <QSysInfo>
#include <cstdio>

#include "cli/console.h"
#include "cli/stationevents.h"
#include "resources/builtinimage.h"
#include "shell/appdirs.h"
#include "shell/logline.h"

namespace {

QString Text(const std::string& text) { return QString::fromStdString(text); }

// The bytes the image is loaded from; empty when there are none to read.
QByteArray ImageBytes(const std::string& file) {
  if (file.empty()) {
    const auto builtIn = ReadBuiltInImageBytes();
    return builtIn ? QByteArray(reinterpret_cast<const char*>(builtIn->data()),
                                static_cast<qsizetype>(builtIn->size()))
                   : QByteArray();
  }
  QFile image(QString::fromStdString(file));
  return image.open(QIODevice::ReadOnly) ? image.readAll() : QByteArray();
}

QString Sha256(const QByteArray& bytes) {
  return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

}  // namespace

QString TStation::StationId(const TStationOptions& options) {
  return options.Station.empty() ? QSysInfo::machineHostName() : Text(options.Station);
}

TStation::TStation(const TStationOptions& options, TStationOutput& output, const QString& logDir,
                   TDeviceEnumerator* enumerator, TChannelFactory* channels)
    : Options(options), Station(StationId(options)), Run(options), Output(output) {
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
  if (Output.Json())
    Output.Event(LogEvent(serial, Text(text)));
  else
    Output.ErrorLine(Text(LogLinePrefix(serial) + text));
}

// Every write is handed the image as it is now, and the hash it was checked against is
// the hash of those very bytes: a file changed since the start of the run is written
// only when it still matches --image-sha256.
TFirmwareImage TStation::LoadImage() {
  LastLoadSha256 = Sha256(ImageBytes(Options.Image));
  if (!Options.ImageSha256.empty() && LastLoadSha256 != Text(Options.ImageSha256)) {
    LogMessage(llError, 0, "SHA-256 прошивки %s не совпадает с заданным %s",
               LastLoadSha256.toStdString().c_str(), Options.ImageSha256.c_str());
    return {};
  }
  return LoadChosenImage(!Options.Image.empty(), Options.Image, *this);
}

bool TStation::Prepare() {
  if (Options.Command != TStationCommand::Write && Options.Command != TStationCommand::Watch)
    return true;
  const QByteArray bytes = ImageBytes(Options.Image);
  ImageSha256 = Sha256(bytes);
  if (!Options.ImageSha256.empty() && ImageSha256 != Text(Options.ImageSha256)) {
    Output.Event(ErrorEvent(QStringLiteral("image_hash_mismatch"),
                            QStringLiteral("the image's SHA-256 %1 is not the one given").arg(ImageSha256),
                            QStringLiteral("SHA-256 прошивки %1 не совпадает с заданным %2")
                                .arg(ImageSha256, Text(Options.ImageSha256)),
                            {{"sha256", ImageSha256}}));
    Exit = exUsage;
    return false;
  }
  TFirmwareImage image = LoadImage();
  FreeBlocks(image.Blocks);
  if (!image.Loaded) {
    const QString file = Options.Image.empty() ? QStringLiteral("built-in") : Text(Options.Image);
    Output.Event(ErrorEvent(QStringLiteral("image_not_loaded"),
                            QStringLiteral("the image does not load: ") + file,
                            QStringLiteral("Прошивка не загружается: ") + file));
    Exit = exImageNotLoaded;
    return false;
  }
  ImageVersion = image.Version;
  Output.Event(ImageEvent(ImageVersion, Text(Options.Image), ImageSha256, bytes.size()));
  if (!Options.Report.empty()) {
    Report = std::make_unique<TStationReport>(QString::fromStdString(Options.Report));
    QString error;
    const TStationReport::TOpenResult opened = Report->Open(error);
    if (opened == TStationReport::TOpenResult::HeaderMismatch) {
      // Columns of two layouts in one file would mislead whoever reads it.
      Output.Event(ErrorEvent(QStringLiteral("report_header_mismatch"), "report file: " + error,
                              QStringLiteral("В файле отчёта %1 другие столбцы: %2")
                                  .arg(Report->FilePath(), error),
                              {{"file", Report->FilePath()}}));
      Exit = exUsage;
      return false;
    }
    if (opened != TStationReport::TOpenResult::Ready) {
      Output.Event(ErrorEvent(QStringLiteral("report_unwritable"), "report file: " + error,
                              QStringLiteral("Файл отчёта %1 не записывается: %2")
                                  .arg(Report->FilePath(), error),
                              {{"file", Report->FilePath()}}));
      Exit = exReportUnwritable;
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
  std::vector<std::int32_t> listed;
  for (const auto id : Devices->Devices()) listed.push_back(Devices->Device(id)->SerialNumber);
  Run.ScanEnded(listed, errorCode != 0);
  if (Options.Command == TStationCommand::List) {
    Finish(Run.ExitCode());
    return;
  }
  StartWrites();
  EndIfOver();
}

// Writes start once the merge has listed every device, in the order listed, as clicks
// on their buttons would start them.
void TStation::StartWrites() {
  const std::string imageVersion = ImageVersion.VersionText();
  for (const auto id : Devices->Devices()) {
    const TDeviceIdentity device = Devices->Device(id)->Identity();
    const bool current = device.FirmwareVersion.VersionText() == imageVersion;
    switch (Run.Decide(id, device.SerialNumber, device.BootMode, current)) {
      case TStationRun::TDecision::Pass:
        break;
      case TStationRun::TDecision::AlreadyWritten:
        Output.Event(SkippedEvent(device.SerialNumber, QStringLiteral("written")));
        break;
      case TStationRun::TDecision::Current: {
        TWriteOutcome outcome;
        outcome.SerialNumber = device.SerialNumber;
        outcome.StatusText = "Прошивка этой версии уже установлена";
        Conclude(ResultOf(device, outcome, QStringLiteral("current"), ImageSha256, 0));
        break;
      }
      case TStationRun::TDecision::Write: {
        Run.WriteStarted();
        TWrite& write = Writes[id];
        write.Device = device;
        write.Clock.start();
        Output.Event(StartedEvent(device.SerialNumber));
        Devices->RequestWrite(id);  // loads the image for this write
        write.ImageSha256 = LastLoadSha256;
        break;
      }
    }
  }
}

TDeviceResult TStation::ResultOf(const TDeviceIdentity& device, const TWriteOutcome& outcome,
                                 const QString& result, const QString& imageSha256,
                                 double seconds) const {
  return {outcome,
          result,
          Station,
          Text(Options.Operator),
          device.AdapterKind,
          Text(device.FirmwareVersion.VersionText()),
          Text(ImageVersion.VersionText()),
          imageSha256,
          seconds};
}

void TStation::OnWriteEnded(TDeviceController::TDeviceId id, const TWriteOutcome& outcome) {
  const auto found = Writes.find(id);
  if (found == Writes.end()) return;
  const TWrite write = found->second;
  Writes.erase(found);
  const bool succeeded = outcome.ResultCode == wrSuccess;
  const bool interrupted = outcome.ResultCode == wrStopped && Ending;
  Output.EndProgress(outcome.SerialNumber);
  Run.WriteEnded(outcome.SerialNumber, outcome.ResultCode, succeeded, interrupted);
  const QString result = succeeded     ? QStringLiteral("written")
                         : interrupted ? QStringLiteral("interrupted")
                                       : QStringLiteral("failed");
  Conclude(ResultOf(write.Device, outcome, result, write.ImageSha256,
                    static_cast<double>(write.Clock.elapsed()) / 1000.0));
  if (Ending) return;  // Interrupt finishes the run once every write has ended
  EndIfOver();
}

void TStation::Conclude(TDeviceResult result) {
  Output.Event(ResultEvent(result));
  Record(result);
}

void TStation::EndIfOver() {
  if (Ending) return;
  if (const auto exit = Run.ExitIfOver()) Finish(*exit);
}

void TStation::Record(const TDeviceResult& result) {
  if (!Report) return;
  const TWriteOutcome& outcome = result.Outcome;
  TStationReport::TRecord record;
  record.Finished = QDateTime::currentDateTime();
  record.Station = result.Station;
  record.Operator = result.Operator;
  record.Serial = outcome.SerialNumber;
  record.Adapter = AdapterKey(result.Adapter);
  record.FirmwareBefore = result.FirmwareBefore;
  record.ImageVersion = result.ImageVersion;
  record.ImageSha256 = result.ImageSha256;
  record.Result = result.Result;
  if (result.Written()) {
    record.ResultCode = outcome.ResultCode;
    record.LastReply = outcome.LastReplyCode;
  }
  record.ResultText = Text(outcome.StatusText);
  record.Seconds = result.Seconds;
  QString error;
  if (Report->Append(record, error)) return;
  // The line relies on the report: a record that is not there fails the run, and the
  // daily log keeps it whole so that it can be added by hand.
  Run.ReportLost();
  if (LogFile)
    LogFile->Write(LogLinePrefix(outcome.SerialNumber) + "Запись не добавлена в файл отчёта " +
                   Report->FilePath().toStdString() + ": " + TStationReport::Line(record).toStdString());
  Output.Event(ErrorEvent(QStringLiteral("report_lost"), "report file: " + error,
                          QStringLiteral("%1: запись не добавлена в файл отчёта %2: %3")
                              .arg(outcome.SerialNumber)
                              .arg(Report->FilePath(), error),
                          {{"serial", outcome.SerialNumber}, {"file", Report->FilePath()}}));
}

void TStation::OnTimeout() {
  if (Ending) return;
  if (const auto exit = Run.ExitOnTimeout()) Finish(*exit);
}

void TStation::Interrupt() {
  if (Ending) return;
  Ending = true;
  Timeout.stop();
  Run.Interrupted();
  // Stops every write between sectors and waits for their ends, which are printed.
  Devices->Shutdown();
  Finish(Run.ExitCode());
}

void TStation::Finish(int exitCode) {
  Exit = exitCode;
  Ending = true;
  Timeout.stop();
  Output.Event(SummaryEvent(Run, Station, exitCode));
  emit Finished(exitCode);
}
