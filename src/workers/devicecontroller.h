#pragma once
#include <QObject>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <memory>
#include <vector>

#include "scan/devicescan.h"
#include "workers/devicechange.h"
#include "workers/writethread.h"
#include "protocol/loglevel.h"
#include "protocol/logsink.h"

class TReadVersion;

// Where a write takes its image from: the front end's selected image, loaded afresh for
// every write (and shown, where the front end shows it). Called on the main thread.
class TImageProvider {
public:
  virtual TFirmwareImage LoadImage() = 0;

protected:
  ~TImageProvider() = default;
};

// The devices of the program: scans on device changes, the list of attached devices,
// their writes, automatic writing and the shutdown. Lives on the main thread; only the
// main thread touches the list. Front ends (the window, the station command line) show
// what it says through its signals and forward the user's requests to it.
class TDeviceController : public QObject {
  Q_OBJECT
public:
  using TDeviceId = std::uint64_t;
  static constexpr int kScanIntervalMs = 100;

  // The enumerator and channel factory default to the driver libraries.
  TDeviceController(TLogSink& log, TImageProvider& images, QObject* parent = nullptr,
                    TDeviceEnumerator* enumerator = nullptr, TChannelFactory* channels = nullptr);
  ~TDeviceController() override;

  // The first scan, one interval from now: called once the driver libraries are loaded.
  // Device changes heard before are covered by it.
  void Start();
  // The system's device-change notification: kDevNodesChanged restarts the scan timer, so
  // that a burst of notifications gives one scan, one interval after the last of them.
  void OnDeviceChange(int eventCode);
  // Writes every device that is listed in boot-loader mode from now on, as it is listed.
  void SetAutoWrite(bool on) { AutoWrite = on; }
  // The user's write request for a listed device.
  void RequestWrite(TDeviceId id);
  // Stops the scan and the writes, waits for them (serving their hand-overs meanwhile)
  // and forgets every device. Nothing is scanned or written afterwards.
  void Shutdown();

  // What is listed, in the order it was listed.
  std::vector<TDeviceId> Devices() const;
  const TDevEntry* Device(TDeviceId id) const;  // null once the device is no longer listed
  // The first listed device with the serial number; 0 when none is.
  TDeviceId DeviceBySerial(std::int32_t serialNumber) const;
  bool IsWriting(TDeviceId id) const;
  bool IsGone(TDeviceId id) const;  // unplugged, listed until its write has ended
  bool ScanRunning() const { return ScanThread != nullptr; }
  int WritesRunning() const { return RunningWrites; }
  const QTimer& ScanTimer() const { return *DevTimer; }

signals:
  // A device was listed, with what it said of itself.
  void DeviceListed(TDeviceId id, const TDeviceIdentity& identity);
  // The device's status line, from its listing until its write ends (WriteEnded carries
  // the status from then on).
  void DeviceStatus(TDeviceId id, const QString& text, TLogLevel level);
  void DeviceProgress(TDeviceId id, int position);  // 0..100
  void WriteAllowed(TDeviceId id, bool allowed);
  void WriteEnded(TDeviceId id, const TWriteOutcome& outcome);
  // The device is no longer listed; the id is not used again.
  void DeviceRemoved(TDeviceId id, std::int32_t serialNumber);
  void DeviceCountChanged(int count);
  // A scan has ended and what it found is merged; errorCode 0 unless it failed.
  void ScanEnded(int errorCode);

private:
  struct TSlot {
    TDeviceId Id = 0;
    std::unique_ptr<TDevEntry> Entry;
    TWriteThread* Write = nullptr;  // owned until its end is handled
    bool Gone = false;
  };

  TSlot* Find(TDeviceId id);
  const TSlot* Find(TDeviceId id) const;
  void DevTimerTimer();
  void StartScan();
  void MarkGone(const std::vector<TDeviceId>& gone);
  void ScanFinished();
  void ListDevice(std::unique_ptr<TDevEntry> entry);
  void StartWrite(TSlot& slot);
  void OnWriteEnd(TWriteThread* thread);
  void Remove(TDeviceId id);
  void Status(const TSlot& slot, const char* text, TLogLevel level);

  TLogSink& Log;
  TImageProvider& Images;
  std::unique_ptr<TDeviceEnumerator> OwnEnumerator;
  std::unique_ptr<TChannelFactory> OwnChannels;
  TDeviceEnumerator& Enumerator;
  TChannelFactory& Channels;
  QTimer* DevTimer;
  std::vector<TSlot> DevList;  // in the order listed
  TDeviceId LastId = 0;
  TReadVersion* ScanThread = nullptr;
  bool Started = false;
  bool ScanPending = false;  // a scan was asked for while one ran
  bool Closing = false;      // shutdown has begun: no new scans or writes
  bool AutoWrite = false;
  int RunningWrites = 0;
};
