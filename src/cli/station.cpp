#include "cli/station.h"

#include <QJsonObject>
#include <algorithm>
#include <cstdio>

#include "app/appdirs.h"
#include "app/logline.h"
#include "cli/console.h"
#include "firmware/imageload.h"
#include "resources/builtinimage.h"

namespace {

QString Text(const std::string& text) { return QString::fromStdString(text); }

QString AdapterName(const TDevEntry& device) {
  return device.AdapterKind == 0 ? QStringLiteral("ftdi") : QStringLiteral("qn");
}

}  // namespace

TStation::TStation(const TStationOptions& options, TStationOutput& output, const QString& logDir,
                   TDeviceEnumerator* enumerator, TChannelFactory* channels)
    : Options(options), Output(output) {
  if (!logDir.isEmpty()) {
    LogFile = std::make_unique<TLogFile>();
    LogFile->SetProgramDir(logDir);
    LogFile->SetFallbackDir(UserDataDirectory());
  }
  Devices = std::make_unique<TDeviceController>(*this, static_cast<TImageProvider&>(*this), nullptr,
                                                enumerator, channels);
  using TController = TDeviceController;
  connect(Devices.get(), &TController::DeviceListed, this, &TStation::OnListed);
  connect(Devices.get(), &TController::DeviceStatus, this, &TStation::OnStatus);
  connect(Devices.get(), &TController::WriteEnded, this, &TStation::OnWriteEnded);
  connect(Devices.get(), &TController::ScanEnded, this, &TStation::OnScanEnded);
  connect(Devices.get(), &TController::DeviceProgress, this, [this](TController::TDeviceId id, int percent) {
    if (const TDevEntry* device = Devices->Device(id)) Output.Progress(device->SerialNumber, percent);
  });
  connect(Devices.get(), &TController::DeviceRemoved, this, [this](TController::TDeviceId id) {
    const auto serial = Serials.find(id);
    if (serial == Serials.end()) return;
    Output.Event(QStringLiteral("gone"), {{"serial", serial->second}},
                 QStringLiteral("%1: отключен").arg(serial->second));
    Serials.erase(serial);
  });
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

bool TStation::LoadImage(TFirmwareBlockList& blocks, TFirmwareVersion& version) {
  TImageSource source;
  source.ExternalFirmware = !Options.Image.empty();
  source.FilePath = Options.Image;
  source.ReadBuiltIn = ReadBuiltInImageBytes;
  const TImageLoadResult result = ::LoadImage(source, blocks, version, *this);
  if (!result.BlockSizeError.empty()) LogText(llError, 0, result.BlockSizeError);
  return result.Success;
}

bool TStation::Prepare() {
  if (Options.Command != TStationCommand::Write && Options.Command != TStationCommand::Watch)
    return true;
  TFirmwareBlockList blocks;
  const bool loaded = LoadImage(blocks, ImageVersion);
  FreeBlocks(blocks);
  if (!loaded) {
    Exit = exUsage;
    return false;
  }
  const QString version = Text(ImageVersion.VersionText());
  const QString date = Text(ImageVersion.BuildDateText());
  Output.Event(QStringLiteral("image"),
               {{"version", version}, {"date", date},
                {"file", Options.Image.empty() ? QJsonValue() : QJsonValue(Text(Options.Image))}},
               QStringLiteral("Прошивка %1 от %2").arg(version, date));
  if (!Options.Report.empty()) {
    Report = std::make_unique<TStationReport>(QString::fromStdString(Options.Report));
    QString error;
    if (!Report->Open(error)) {
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

bool TStation::Chosen(std::int32_t serial) const {
  return Options.Serials.empty() ||
         std::find(Options.Serials.begin(), Options.Serials.end(), serial) != Options.Serials.end();
}

void TStation::OnListed(TDeviceController::TDeviceId id) {
  const TDevEntry& device = *Devices->Device(id);
  Serials[id] = device.SerialNumber;
  emit Listed(device.SerialNumber);
  const QString mode = device.BootMode ? QStringLiteral("boot") : QStringLiteral("application");
  const QString firmware = Text(device.FirmwareVersion.VersionText());
  const QString loader = device.BootMode ? Text(device.LoaderVersion.VersionText()) : QString();
  const QString processor = QStringLiteral("0x%1").arg(device.ProcessorId, 8, 16, QLatin1Char('0')).toUpper().replace("0X", "0x");
  Output.Event(QStringLiteral("listed"),
               {{"serial", device.SerialNumber}, {"adapter", AdapterName(device)}, {"mode", mode},
                {"firmware", firmware}, {"loader", loader}, {"processor", processor}},
               device.BootMode
                   ? QStringLiteral("%1: %2, загрузчик %3, прошивка %4, процессор %5")
                         .arg(device.SerialNumber)
                         .arg(device.AdapterKind == 0 ? "FTDI" : "QN", loader, firmware, processor)
                   : QStringLiteral("%1: %2, работает прошивка %3")
                         .arg(device.SerialNumber)
                         .arg(device.AdapterKind == 0 ? "FTDI" : "QN", firmware));
}

void TStation::OnStatus(TDeviceController::TDeviceId id, const QString& text, TLogLevel) {
  LastStatus[id] = text;
  const TDevEntry* device = Devices->Device(id);
  if (device && !device->BootMode && device->BootStarted)
    Output.Event(QStringLiteral("reconnect"), {{"serial", device->SerialNumber}, {"text", text}},
                 QStringLiteral("%1: %2").arg(device->SerialNumber).arg(text));
}

void TStation::OnScanEnded(int errorCode) {
  if (Ending) return;
  if (Options.Command == TStationCommand::List) {
    Finish(errorCode == 0 ? exWritten : exWriteFailed);
    return;
  }
  if (!Scanned) {
    Scanned = true;
    if (Options.Command == TStationCommand::Write) {
      Target = Options.Count;
      if (Target == 0) {
        // The devices present now, at least one; application ones come back to be written.
        for (const auto id : Devices->Devices())
          if (Chosen(Devices->Device(id)->SerialNumber)) ++Target;
        Target = std::max(Target, 1);
      }
    }
  }
  // Writes start once the merge has listed every device, in the order listed, as clicks
  // on their buttons would start them.
  for (const auto id : Devices->Devices()) {
    const TDevEntry& device = *Devices->Device(id);
    if (!device.BootMode || Handled.count(id) != 0 || !Chosen(device.SerialNumber)) continue;
    if (Options.Command == TStationCommand::Write &&
        (Written.count(device.SerialNumber) != 0 ||
         Succeeded + Failed + static_cast<int>(Writes.size()) >= Target))
      continue;
    Handled.insert(id);
    Writes[id] = {QDateTime::currentDateTime(), Text(device.FirmwareVersion.VersionText())};
    Output.Event(QStringLiteral("started"), {{"serial", device.SerialNumber}},
                 QStringLiteral("%1: прошивается").arg(device.SerialNumber));
    Devices->RequestWrite(id);
  }
}

void TStation::OnWriteEnded(TDeviceController::TDeviceId id, TWriteOutcome outcome) {
  const auto write = Writes.find(id);
  if (write == Writes.end()) return;
  const TDevEntry& device = *Devices->Device(id);
  const double seconds = write->second.Started.msecsTo(QDateTime::currentDateTime()) / 1000.0;
  const QString text = LastStatus[id];
  Output.Event(QStringLiteral("result"),
               {{"serial", device.SerialNumber}, {"code", outcome.ResultCode}, {"text", text},
                {"last_reply", static_cast<int>(outcome.LastReplyCode)}, {"seconds", seconds}},
               QStringLiteral("%1: %2 (код %3, %4 с)")
                   .arg(device.SerialNumber)
                   .arg(text)
                   .arg(outcome.ResultCode)
                   .arg(seconds, 0, 'f', 1));
  QString reportError;
  const TStationReport::TRecord record{QDateTime::currentDateTime(), device.SerialNumber,
                                       AdapterName(device), write->second.FirmwareBefore,
                                       Text(ImageVersion.VersionText()), outcome.ResultCode, text,
                                       seconds};
  if (Report && !Report->Append(record, reportError)) {
    // The line relies on the report: a record that is not there fails the run, and the
    // daily log keeps it whole so that it can be added by hand.
    ReportLost = true;
    if (LogFile)
      LogFile->Write(LogLinePrefix(device.SerialNumber) + "Запись не добавлена в файл отчёта " +
                     Report->FilePath().toStdString() + ": " + TStationReport::Line(record).toStdString());
    Output.Event(QStringLiteral("error"),
                 {{"serial", device.SerialNumber}, {"file", Report->FilePath()},
                  {"text", "report file: " + reportError}},
                 QStringLiteral("%1: запись не добавлена в файл отчёта %2: %3")
                     .arg(device.SerialNumber)
                     .arg(Report->FilePath(), reportError));
  }
  Writes.erase(write);
  if (outcome.ResultCode == wrSuccess) {
    ++Succeeded;
    Written.insert(device.SerialNumber);
  } else if (outcome.ResultCode == wrStopped && Ending) {
    ++Interrupted;
  } else {
    ++Failed;
  }
  if (Ending) return;  // Interrupt finishes the run once every write has ended
  if (Options.Command == TStationCommand::Write) {
    if (Succeeded + Failed >= Target) Finish(Failed > 0 ? exWriteFailed : exWritten);
    else if (TimedOut && Writes.empty()) Finish(Failed > 0 ? exWriteFailed : exTimeout);
  }
}

void TStation::OnTimeout() {
  if (Ending) return;
  TimedOut = true;
  if (Writes.empty()) Finish(Failed > 0 ? exWriteFailed : exTimeout);
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
  if (ReportLost && exitCode == exWritten) exitCode = exReportLost;
  Exit = exitCode;
  Ending = true;
  Timeout.stop();
  if (Options.Command != TStationCommand::List) {
    Output.Event(QStringLiteral("summary"),
                 {{"written", Succeeded}, {"failed", Failed}, {"interrupted", Interrupted},
                  {"exit", exitCode}},
                 QStringLiteral("Итого: прошито %1, ошибок %2, прервано %3")
                     .arg(Succeeded)
                     .arg(Failed)
                     .arg(Interrupted));
  }
  emit Finished(exitCode);
}
