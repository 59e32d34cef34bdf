#pragma once
#include <QElapsedTimer>
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

  // This station's id: --station, or the machine's host name.
  static QString StationId(const TStationOptions& options);

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
    QElapsedTimer Clock;
    TDeviceIdentity Device;
    QString ImageSha256;  // of the image loaded for this write
  };

  TFirmwareImage LoadImage() override;
  void OnListed(TDeviceController::TDeviceId id, const TDeviceIdentity& device);
  void OnWriteEnded(TDeviceController::TDeviceId id, const TWriteOutcome& outcome);
  void OnScanEnded(int errorCode);
  void OnTimeout();
  void StartWrites();
  void Conclude(TDeviceResult result);
  void Record(const TDeviceResult& result);
  void EndIfOver();
  void Finish(int exitCode);
  TDeviceResult ResultOf(const TDeviceIdentity& device, const TWriteOutcome& outcome,
                         const QString& result, const QString& imageSha256, double seconds) const;

  TStationOptions Options;
  QString Station;
  TStationRun Run;
  TStationOutput& Output;
  std::unique_ptr<TLogFile> LogFile;
  std::unique_ptr<TStationReport> Report;
  std::unique_ptr<TDeviceController> Devices;
  std::unique_ptr<TDeviceWatch> DeviceWatch;
  TFirmwareVersion ImageVersion;
  QString ImageSha256;      // of the image checked before the run
  QString LastLoadSha256;   // of the image the latest write was handed
  QTimer Timeout;
  std::map<TDeviceController::TDeviceId, TWrite> Writes;  // running
  bool Ending = false;
  int Exit = exWritten;
};
