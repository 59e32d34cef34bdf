#pragma once
#include <QDateTime>
#include <QObject>
#include <QTimer>
#include <map>
#include <memory>

#include "cli/stationoptions.h"
#include "cli/stationoutput.h"
#include "cli/stationreport.h"
#include "cli/stationrun.h"
#include "shell/devicewatch.h"
#include "shell/logfile.h"
#include "workers/devicecontroller.h"

// The station command line's run: the device controller driven as a production line
// needs it (list, write the chosen devices, or write every device that shows up), each
// outcome printed and recorded. The run's rules (which devices, how many, the exit code)
// are TStationRun's; what is printed is made in stationevents.h.
class TStation : public QObject, public TLogSink, private TImageProvider {
  Q_OBJECT
public:
  using enum TStationRun::TExit;

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
  // A write the station started, with what its record needs.
  struct TWrite {
    QDateTime Started;
    TDeviceIdentity Device;
  };

  TFirmwareImage LoadImage() override;
  void OnListed(TDeviceController::TDeviceId id, const TDeviceIdentity& device);
  void OnWriteEnded(TDeviceController::TDeviceId id, const TWriteOutcome& outcome);
  void OnScanEnded(int errorCode);
  void OnTimeout();
  void Record(const TWrite& write, const TWriteOutcome& outcome, double seconds);
  void Finish(int exitCode);

  TStationOptions Options;
  TStationRun Run;
  TStationOutput& Output;
  std::unique_ptr<TLogFile> LogFile;
  std::unique_ptr<TStationReport> Report;
  std::unique_ptr<TDeviceController> Devices;
  std::unique_ptr<TDeviceWatch> DeviceWatch;
  TFirmwareVersion ImageVersion;
  QTimer Timeout;
  std::map<TDeviceController::TDeviceId, TWrite> Writes;  // running
  bool Ending = false;
  int Exit = exWritten;
};
