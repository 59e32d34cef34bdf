#pragma once
#include <QDateTime>
#include <QObject>
#include <QTimer>
#include <map>
#include <memory>
#include <set>

#include "app/devicewatch.h"
#include "app/logfile.h"
#include "cli/stationoptions.h"
#include "cli/stationoutput.h"
#include "cli/stationreport.h"
#include "workers/devicecontroller.h"

// The station command line's run: the device controller driven as a production line
// needs it (list, write the chosen devices, or write every device that shows up), each
// outcome printed and recorded, and the exit code the run ends with.
class TStation : public QObject, public TLogSink, private TImageProvider {
  Q_OBJECT
public:
  enum TExit {
    exWritten = 0,
    exWriteFailed = 1,
    exUsage = 2,  // also an image that does not load, or a report file that takes no line
    exNoDriver = 3,
    exOtherCopy = 4,
    exTimeout = 5,
    exDamaged = 6,     // the program's own file failed its seal check
    exReportLost = 7,  // a finished write's record could not be added to the report
    exInterrupted = 130,
  };

  // logDir: where the daily log file goes (ends in '/'); empty: no log file.
  TStation(const TStationOptions& options, TStationOutput& output, const QString& logDir,
           TDeviceEnumerator* enumerator = nullptr, TChannelFactory* channels = nullptr);
  ~TStation() override;

  // Loads the image and opens the report before any device is touched; false (and the
  // exit code set) when either fails.
  bool Prepare();
  // Starts scanning; the run ends with Finished.
  void Start();
  // Ctrl+C or a request to end: the writes stop between sectors (each device cut short
  // gets the closing frame of a failed run), then the summary.
  void Interrupt();

  int ExitCode() const { return Exit; }

  using TLogSink::LogMessage;
  void LogText(TLogLevel level, std::int32_t serial, const std::string& text) override;

signals:
  void Listed(std::int32_t serialNumber);
  void Finished(int exitCode);

private:
  struct TWrite {
    QDateTime Started;
    QString FirmwareBefore;
  };

  bool LoadImage(TFirmwareBlockList& blocks, TFirmwareVersion& version) override;
  void OnListed(TDeviceController::TDeviceId id);
  void OnStatus(TDeviceController::TDeviceId id, const QString& text, TLogLevel level);
  void OnWriteEnded(TDeviceController::TDeviceId id, TWriteOutcome outcome);
  void OnScanEnded(int errorCode);
  void OnTimeout();
  bool Chosen(std::int32_t serial) const;
  void Finish(int exitCode);

  TStationOptions Options;
  TStationOutput& Output;
  std::unique_ptr<TLogFile> LogFile;
  std::unique_ptr<TStationReport> Report;
  std::unique_ptr<TDeviceController> Devices;
  std::unique_ptr<TDeviceWatch> DeviceWatch;
  TFirmwareVersion ImageVersion;
  QTimer Timeout;
  std::map<TDeviceController::TDeviceId, TWrite> Writes;   // running
  std::map<TDeviceController::TDeviceId, QString> LastStatus;
  std::set<TDeviceController::TDeviceId> Handled;  // listings whose write was started
  std::map<TDeviceController::TDeviceId, std::int32_t> Serials;  // of what is listed
  std::set<std::int32_t> Written;  // serial numbers written well in this run
  int Target = 0;                  // write: devices to write before the run ends
  int Succeeded = 0;
  int Failed = 0;
  int Interrupted = 0;
  bool Scanned = false;
  bool Ending = false;
  bool TimedOut = false;
  bool ReportLost = false;  // a finished write's record is missing from the report
  int Exit = exWritten;
};
